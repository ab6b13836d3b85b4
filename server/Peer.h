#pragma once

#include <QByteArray>

// One accepted connection as the server sees it: where its bytes go and how
// it is closed. The server's own connections wrap a TSock (SockPeer); tests
// and the fuzz harness plug in their own, and feed what the peer "sent"
// through TServer::feed().
class Peer {
public:
    virtual ~Peer() = default;
    // Sends exactly these bytes (already framed).
    virtual void send(const QByteArray& bytes) = 0;
    // Closes the connection. The server frees the seat itself right after
    // calling this, so a close report that the peer gives on the way is
    // harmless.
    virtual void close() = 0;
};
