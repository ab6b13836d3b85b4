#pragma once

#include "net/SockAddress.h"

#include <QString>

#include <optional>

// Makes the socket a TSock listener takes connections on: bound, listening
// (backlog 5) and non-blocking. The wildcard IPv6 address gives one
// dual-stack socket that takes IPv4 peers too; where that cannot be had, an
// IPv4 socket on every address instead.
class ListenerSocket {
public:
    // The address to bind for a listener's bind address: :: for an empty
    // one, else a dotted IPv4 address or an IPv6 address (with or without
    // [brackets]); nothing for anything else.
    static std::optional<SockAddress> bindAddress(const QString& text);
    // The socket's descriptor. Raises ESockException "Listen - Error Binding
    // Socket" or "Listen - Error Starting Listen"; a socket that failed is
    // released, so a later try starts afresh.
    static int open(SockAddress address);

private:
    // Bound and listening, or -1 with nothing left behind; `failure` tells
    // which step refused.
    enum class Step { Socket, Bind, Listen };
    static int tryOpen(const SockAddress& address, bool dualStack, Step& failure);
};
