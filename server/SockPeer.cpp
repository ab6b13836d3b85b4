#include "server/SockPeer.h"

#include "net/TSock.h"

#include <QTimer>

SockPeer::~SockPeer() {
    m_sock->deleteLater();
}

void SockPeer::send(const QByteArray& bytes) {
    if (m_overflowed)
        return; // on its way out: nothing more piles up
    try {
        m_sock->Send(bytes);
    } catch (const ESockException&) {
        // The connection is gone; its close report frees the seat.
    }
    if (m_sock->pendingOutput() <= maxBacklog)
        return;
    m_overflowed = true;
    // Closed from the event loop, not here: the server may be in the middle
    // of sending to every seat, and the close report frees this seat and
    // this peer. The socket's deletion cancels the call.
    QTimer::singleShot(0, m_sock, [sock = m_sock] { sock->Close(); });
}

void SockPeer::close() {
    m_sock->Close();
}
