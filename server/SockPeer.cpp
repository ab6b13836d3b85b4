#include "server/SockPeer.h"

#include "net/TSock.h"

SockPeer::~SockPeer() {
    m_sock->deleteLater();
}

void SockPeer::send(const QByteArray& bytes) {
    try {
        m_sock->Send(bytes);
    } catch (const ESockException&) {
        // The connection is gone; its close report frees the seat.
    }
}

void SockPeer::close() {
    m_sock->Close();
}
