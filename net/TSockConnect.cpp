// How a TSock comes to hold a socket: resolving the names, connecting
// address by address, listening and accepting. Reading, writing and closing
// are in TSock.cpp.
#include "net/TSock.h"

#include "net/HostLookup.h"
#include "net/ListenerSocket.h"

#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Messages are small and answered at once; without this, a message sent
// while the peer still holds back its acknowledgement of the previous one
// (delayed ACK, up to 40 ms) would wait for it.
void setNoDelay(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

} // namespace

// ---- lookups --------------------------------------------------------------

QList<SockAddress> TSock::lookupHost(const QString& name) {
    report(TSocketInfo::Lookup, QStringLiteral("Lookup Of Host ") + name);
    const QList<SockAddress> found = HostLookup::addresses(name);
    if (found.isEmpty())
        throw ESockException("Host Lookup - Could Not Find Host Entry");
    return found;
}

quint16 TSock::lookupPort(const QString& name) {
    report(TSocketInfo::Lookup, QStringLiteral("Lookup Of Port ") + name);
    return HostLookup::port(name);
}

// ---- connecting -----------------------------------------------------------

bool TSock::Open() {
    if (m_fd >= 0)
        return m_connected;
    // Names are resolved before the socket is made, so a failed lookup
    // leaves nothing behind and Open may simply be tried again.
    const quint16 port = lookupPort(m_portName);
    QList<SockAddress> addresses = lookupHost(m_hostName);
    for (SockAddress& a : addresses)
        a.setPort(port);
    m_addresses = addresses;
    m_nextAddress = 0;
    m_firstConnectError = 0;
    int error = 0;
    if (!connectNext(error)) {
        report(TSocketInfo::Error, errorText(error));
        return false;
    }
    return m_connected;
}

bool TSock::connectNext(int& error) {
    while (m_nextAddress < m_addresses.size()) {
        const SockAddress to = m_addresses.at(m_nextAddress++);
        const int fd = ::socket(to.family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            // No socket of this family here (IPv6 switched off, say): the
            // next address may still be reached.
            if (error == 0)
                error = errno;
            continue;
        }
        if (m_fd >= 0) {
            stopNotifiers();
            ::close(m_fd);
        }
        setNoDelay(fd);
        m_fd = fd;
        m_connected = false;
        m_connecting = true;
        m_writeBroken = false;
        m_writeEventDue = false;
        const int attempt = ++m_connectAttempt;
        startNotifiers(false);
        m_readNotifier->setEnabled(false);

        int rc;
        do {
            rc = ::connect(fd, to.data(), to.size());
        } while (rc < 0 && errno == EINTR);
        if (rc < 0 && errno != EINPROGRESS) {
            // An immediate failure is delivered like any connect result:
            // later, from the event loop.
            const int failure = errno;
            QPointer<TSock> self(this);
            QMetaObject::invokeMethod(
                this,
                [self, attempt, failure] {
                    if (self && self->m_connectAttempt == attempt)
                        self->onConnectResult(failure);
                },
                Qt::QueuedConnection);
            m_writeNotifier->setEnabled(false);
            return true;
        }
        updateWriteNotifier();
        return true;
    }
    return false;
}

void TSock::onConnectResult(int error) {
    if (!m_connecting)
        return;
    m_connecting = false;
    if (error != 0) {
        // The next address of the name is tried quietly; only when none is
        // left is the failure reported, with the first address's error.
        if (m_firstConnectError == 0)
            m_firstConnectError = error;
        int ignored = 0;
        if (connectNext(ignored))
            return;
        // The object keeps its socket, unconnected; a failed socket stays
        // ready for ever, so it is no longer watched.
        if (m_readNotifier)
            m_readNotifier->setEnabled(false);
        updateWriteNotifier();
        report(TSocketInfo::Error, errorText(m_firstConnectError));
        return;
    }
    m_connected = true;
    m_writeEventDue = true;
    if (m_readNotifier)
        m_readNotifier->setEnabled(true);
    updateWriteNotifier();
    QPointer<TSock> self(this);
    report(TSocketInfo::Connect, QStringLiteral("Non-Blocking Socket Connected"));
    if (self && OnConnect)
        OnConnect(this);
}

// ---- listening ------------------------------------------------------------

bool TSock::Accept(TSock*& newSock) {
    newSock = nullptr;
    if (!m_listening)
        throw ESockException("Accept - Socket Not In Listening Mode");
    // The next waiting connection may announce itself again.
    if (m_readNotifier)
        m_readNotifier->setEnabled(true);
    sockaddr_storage peer{};
    socklen_t len = sizeof(peer);
    int fd;
    do {
        fd =
            ::accept4(m_fd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        report(TSocketInfo::Accept, QStringLiteral("Could Not Accept Connection"));
        return false;
    }
    setNoDelay(fd);
    auto* sock = new TSock(this);
    sock->m_fd = fd;
    sock->OnRead = OnRead;
    sock->OnWrite = OnWrite;
    sock->OnDisconnect = OnDisconnect;
    sock->OnInfo = OnInfo;
    sock->m_portName = m_portName;
    // An IPv4 peer of a dual-stack listener is named in dotted form, as
    // on an IPv4 listener.
    const SockAddress from = SockAddress::fromSockaddr(peer, len);
    sock->m_hostName = from.text();
    sock->m_peerPort = from.port();
    sock->m_connected = true;
    sock->m_writeEventDue = true;
    sock->startNotifiers(false);
    sock->updateWriteNotifier();
    newSock = sock;
    report(TSocketInfo::Accept, QStringLiteral("Created New TSock Structure"));
    return true;
}

void TSock::setListen(bool on) {
    if (!on) {
        if (m_listening) {
            Close();
            report(TSocketInfo::Listen, QStringLiteral("Listening Stopped"));
        }
        return;
    }
    if (m_listening) {
        report(TSocketInfo::Listen, QStringLiteral("Listening Already Running"));
        return;
    }
    if (m_fd >= 0)
        throw ESockException("Listen - Socket Already In Use");

    const std::optional<SockAddress> address = ListenerSocket::bindAddress(m_bindAddress);
    if (!address)
        throw ESockException("Listen - Error Binding Socket");
    SockAddress bound = *address;
    bound.setPort(lookupPort(m_portName));
    const int fd = ListenerSocket::open(bound);
    m_fd = fd;
    m_listening = true;
    m_connected = false;
    startNotifiers(true);
    report(TSocketInfo::Listen, QStringLiteral("Listening Started"));
}
