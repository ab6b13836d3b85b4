#pragma once

#include "net/SockAddress.h"

#include <QList>
#include <QString>

// Turns a host name into the addresses to try, in order. Numeric addresses
// never reach the resolver: a name that begins with a digit is a dotted IPv4
// address (or an IPv6 address such as "2001:db8::1"), and one that holds a
// colon or is in [brackets] is an IPv6 address. Other names are resolved once
// per program run and then served from a cache. The ports of the addresses
// are left 0.
class HostLookup {
public:
    // The most addresses of one name that are kept: each one that does not
    // answer may cost a connect timeout.
    static constexpr int MaxAddresses = 8;

    // Empty when the name is malformed or the resolver finds nothing. Of a
    // resolved name the IPv4 addresses come first, then the IPv6 ones, each
    // family in the resolver's order: a host known by both is reached as it
    // was before IPv6 was tried at all.
    static QList<SockAddress> addresses(const QString& name);

    // A port name: a number (a conversion error, std::invalid_argument,
    // when it is not one from 0 to 65535) or a TCP service name (raises
    // ESockException "Port Lookup - Could Not Find Service Entry" when it
    // is unknown). In host byte order.
    static quint16 port(const QString& name);

    // Forgets the cache (for tests).
    static void clearCache();
    // How many names the resolver was asked for since program start (for tests).
    static int resolverCalls();
    // Puts a name's answer into the cache as if the resolver had given it
    // (for tests of names with several or only IPv6 addresses).
    static void remember(const QString& name, const QList<SockAddress>& addresses);
};
