#include "net/TSock.h"

#include "net/WinsockError.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The most taken from the network per read notification.
constexpr int ReceiveArea = 32768;

bool isWouldBlock(int err) {
    return err == EAGAIN || err == EWOULDBLOCK || err == EINTR;
}

} // namespace

TSock::TSock(QObject* parent) : QObject(parent) {}

TSock::~TSock() {
    // Accepted connections report their close while this listener is whole.
    QList<QPointer<TSock>> accepted;
    for (TSock* child : findChildren<TSock*>(QString(), Qt::FindDirectChildrenOnly))
        accepted << child;
    for (const QPointer<TSock>& child : accepted)
        delete child.data();
    if (m_listening || m_connected) {
        Close();
    } else if (m_fd >= 0) {
        // A connection that never came up goes quietly.
        stopNotifiers();
        ::close(m_fd);
        m_fd = -1;
    }
}

// ---- reports --------------------------------------------------------------

void TSock::report(TSocketInfo kind, const QString& msg) {
    if (!OnInfo)
        return;
    try {
        OnInfo(this, kind, msg);
    } catch (...) {
        throw ESockException("Error here");
    }
}

// ---- settings -------------------------------------------------------------

void TSock::setHostName(const QString& name) {
    if (m_connected)
        report(TSocketInfo::Lookup,
               QStringLiteral("Setting HostName While Connected Has No Effect"));
    m_hostName = name;
}

void TSock::setPortName(const QString& name) {
    if (m_connected)
        report(TSocketInfo::Lookup,
               QStringLiteral("Setting PortName While Connected Has No Effect"));
    m_portName = name;
}

SockAddress TSock::localSockAddress() const {
    if (m_fd < 0)
        return {};
    sockaddr_storage storage{};
    socklen_t len = sizeof(storage);
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&storage), &len) != 0)
        return {};
    return SockAddress::fromSockaddr(storage, len);
}

int TSock::localPort() const {
    return localSockAddress().port();
}

QString TSock::localAddress() const {
    const SockAddress local = localSockAddress();
    if (!local.isValid())
        return {};
    // The wildcard reads the same whether or not IPv6 is taken too.
    if (local.isWildcard())
        return QStringLiteral("0.0.0.0");
    return local.text();
}

bool TSock::acceptsIpv6() const {
    return m_listening && localSockAddress().family() == AF_INET6;
}

// ---- notifiers ------------------------------------------------------------

void TSock::startNotifiers(bool forListener) {
    stopNotifiers();
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &TSock::onReadable);
    if (!forListener) {
        m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
        m_writeNotifier->setEnabled(false);
        connect(m_writeNotifier, &QSocketNotifier::activated, this, &TSock::onWritable);
    }
}

void TSock::stopNotifiers() {
    // The notifier may be the one whose signal is running right now, so it is
    // disabled at once and deleted later.
    for (QSocketNotifier** n : {&m_readNotifier, &m_writeNotifier}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->disconnect(this);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
}

void TSock::updateWriteNotifier() {
    if (!m_writeNotifier)
        return;
    const bool want =
        m_connecting ||
        (m_connected && (m_writeEventDue || (!m_pending.isEmpty() && !m_writeBroken)));
    if (m_writeNotifier->isEnabled() != want)
        m_writeNotifier->setEnabled(want);
}

void TSock::onReadable() {
    if (m_listening)
        handleAcceptEvent();
    else if (m_connected)
        handleReadEvent();
}

void TSock::onWritable() {
    if (m_connecting) {
        int error = 0;
        socklen_t len = sizeof(error);
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
            error = errno;
        onConnectResult(error);
    } else if (m_connected) {
        handleWriteEvent();
    }
}

void TSock::handleAcceptEvent() {
    // Like the socket layer, one accept event per accept call: without this
    // a connection nobody accepts would wake the loop without end.
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    if (OnAccept)
        OnAccept(this);
}

void TSock::handleReadEvent() {
    QPointer<TSock> self(this);
    char area[ReceiveArea];
    ssize_t got;
    do {
        got = ::recv(m_fd, area, sizeof(area), 0);
    } while (got < 0 && errno == EINTR);

    if (got == 0) {
        // Orderly close by the peer. The object closes even when the handler
        // raises, or the end of the stream would be reported again and again.
        try {
            if (OnDisconnect)
                OnDisconnect(this);
        } catch (...) {
            if (self)
                Close();
            throw;
        }
        if (self)
            Close();
        return;
    }
    if (got < 0 && !isWouldBlock(errno)) {
        // The connection died (reset, timed out). It is reported and then
        // closed, so its owner learns of it through "Socket Closed" instead of
        // waiting on a dead socket.
        const int error = errno;
        try {
            report(TSocketInfo::Error, errorText(error));
        } catch (...) {
            if (self)
                Close();
            throw;
        }
        if (self)
            Close();
        return;
    }
    if (got > 0)
        m_received.append(area, int(got));
    report(TSocketInfo::Receive, QStringLiteral("Non-Blocking Incoming Data"));
    if (self && OnRead)
        OnRead(this, int(m_received.size()));
}

void TSock::handleWriteEvent() {
    QPointer<TSock> self(this);
    m_writeEventDue = false;
    if (!m_pending.isEmpty())
        flushPending();
    updateWriteNotifier();
    report(TSocketInfo::Send, QStringLiteral("Non-Blocking Outgoing Data"));
    if (self && OnWrite)
        OnWrite(this);
}

bool TSock::flushPending() {
    ssize_t sent;
    do {
        sent = ::send(m_fd, m_pending.constData(), size_t(m_pending.size()), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent > 0) {
        m_pending.remove(0, int(sent));
        m_writeBroken = false;
        return true;
    }
    if (sent < 0 && !isWouldBlock(errno) && errno != ENOTCONN) {
        m_writeBroken = true;
        return false;
    }
    return true;
}

// ---- reading and writing ------------------------------------------------

bool TSock::Close() {
    bool result = false;
    const bool wasListener = m_listening;
    try {
        stopNotifiers();
        if (m_fd >= 0)
            result = ::close(m_fd) == 0;
        m_fd = -1;
        m_connected = false;
        m_connecting = false;
        m_listening = false;
        m_writeEventDue = false;
        m_writeBroken = false;
        // The handler may delete this object: nothing is touched after it.
        if (!wasListener)
            report(TSocketInfo::Close, QStringLiteral("Socket Closed"));
    } catch (...) {
    }
    return result;
}

bool TSock::Send(const QByteArray& bytes) {
    if (m_fd < 0)
        throw ESockException("Send - Socket Not Connected");
    if (m_listening)
        throw ESockException("Send - Cannot Send On A Listener Socket");
    m_pending.append(bytes);
    if (m_pending.isEmpty())
        return true;
    QPointer<TSock> self(this);
    report(TSocketInfo::Send, QStringLiteral("Non-Blocking Outgoing Data"));
    if (!self || m_fd < 0)
        return true;
    // While connecting, the bytes wait for the connection's first write event.
    if (m_connected)
        flushPending();
    updateWriteNotifier();
    return true;
}

QByteArray TSock::Receive() {
    return Receive(-1);
}

QByteArray TSock::Receive(int count) {
    if (m_listening)
        throw ESockException("Receive - Cannot Receive On A Listener Socket");
    if (m_fd < 0 && m_received.isEmpty())
        throw ESockException("Receive - Socket Not Connected");
    if (count < 0 || count >= m_received.size()) {
        QByteArray all;
        all.swap(m_received);
        return all;
    }
    QByteArray part = m_received.left(count);
    m_received.remove(0, count);
    return part;
}
