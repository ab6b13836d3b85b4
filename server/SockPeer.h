#pragma once

#include "server/Peer.h"

class TSock;

// A seat's connection over a TSock accepted by the listener. Releasing the
// peer schedules the socket for deletion on the event loop (it may be inside
// one of its own events at that moment).
class SockPeer : public Peer {
public:
    explicit SockPeer(TSock* sock) : m_sock(sock) {}
    ~SockPeer() override;

    void send(const QByteArray& bytes) override;
    void close() override;
    TSock* sock() const { return m_sock; }

private:
    TSock* m_sock;
};
