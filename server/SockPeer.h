#pragma once

#include "server/Peer.h"

class TSock;

// A seat's connection over a TSock accepted by the listener. Releasing the
// peer schedules the socket for deletion on the event loop (it may be inside
// one of its own events at that moment).
class SockPeer : public Peer {
public:
    // Output the peer has not taken yet, beyond what the network holds, at
    // which its connection is closed: every message to all is queued for
    // each connection, so one that stops reading would otherwise grow the
    // server without bound (a few megabytes a second with long chat lines).
    static constexpr int maxBacklog = 1024 * 1024;

    explicit SockPeer(TSock* sock) : m_sock(sock) {}
    ~SockPeer() override;

    void send(const QByteArray& bytes) override;
    void close() override;
    TSock* sock() const { return m_sock; }

private:
    TSock* m_sock;
    bool m_overflowed = false;
};
