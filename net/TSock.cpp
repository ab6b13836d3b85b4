#include "net/TSock.h"

#include <QHash>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The most taken from the network per read notification.
constexpr int ReceiveArea = 32768;

// Names and codes follow the Windows Sockets numbering (10000 + the BSD
// number), so reports look the same on every platform.
struct WinsockEntry {
    int code;
    const char* name;
};

constexpr WinsockEntry winsockNames[] = {
    {10004, "WSAEINTR"},           {10009, "WSAEBADF"},        {10013, "WSAEACCES"},
    {10014, "WSAEFAULT"},          {10022, "WSAEINVAL"},       {10024, "WSAEMFILE"},
    {10035, "WSAEWOULDBLOCK"},     {10036, "WSAEINPROGRESS"},  {10037, "WSAEALREADY"},
    {10038, "WSAENOTSOCK"},        {10039, "WSAEDESTADDRREQ"}, {10040, "WSAEMSGSIZE"},
    {10041, "WSAEPROTOTYPE"},      {10042, "WSAENOPROTOOPT"},  {10043, "WSAEPROTONOSUPPORT"},
    {10044, "WSAESOCKTNOSUPPORT"}, {10045, "WSAEOPNOTSUPP"},   {10046, "WSAEPFNOSUPPORT"},
    {10047, "WSAEAFNOSUPPORT"},    {10048, "WSAEADDRINUSE"},   {10049, "WSAEADDRNOTAVAIL"},
    {10050, "WSAENETDOWN"},        {10051, "WSAENETUNREACH"},  {10052, "WSAENETRESET"},
    {10053, "WSAECONNABORTED"},    {10054, "WSAECONNRESET"},   {10055, "WSAENOBUFS"},
    {10056, "WSAEISCONN"},         {10057, "WSAENOTCONN"},     {10058, "WSAESHUTDOWN"},
    {10059, "WSAETOOMANYREFS"},    {10060, "WSAETIMEDOUT"},    {10061, "WSAECONNREFUSED"},
    {10062, "WSAELOOP"},           {10063, "WSAENAMETOOLONG"}, {10064, "WSAEHOSTDOWN"},
    {10065, "WSAEHOSTUNREACH"},    {10066, "WSAENOTEMPTY"},    {10067, "WSAEPROCLIM"},
    {10068, "WSAEUSERS"},          {10069, "WSAEDQUOT"},       {10070, "WSAESTALE"},
    {10071, "WSAEREMOTE"},         {10091, "WSASYSNOTREADY"},  {10092, "WSAVERNOTSUPPORTED"},
    {10093, "WSANOTINITIALISED"},  {10101, "WSAEDISCON"},      {11001, "WSAHOST_NOT_FOUND"},
    {11002, "WSATRY_AGAIN"},       {11003, "WSANO_RECOVERY"},  {11004, "WSANO_DATA"},
};

struct ErrnoEntry {
    int errnoValue;
    int code;
};

constexpr ErrnoEntry errnoCodes[] = {
    {EINTR, 10004},           {EBADF, 10009},        {EACCES, 10013},
    {EPERM, 10013},           {EFAULT, 10014},       {EINVAL, 10022},
    {EMFILE, 10024},          {ENFILE, 10024},       {EWOULDBLOCK, 10035},
    {EAGAIN, 10035},          {EINPROGRESS, 10036},  {EALREADY, 10037},
    {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},        {ENETUNREACH, 10051},  {ENETRESET, 10052},
    {ECONNABORTED, 10053},    {ECONNRESET, 10054},   {ENOBUFS, 10055},
    {ENOMEM, 10055},          {EISCONN, 10056},      {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},       {EPIPE, 10058},        {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},       {ECONNREFUSED, 10061}, {ELOOP, 10062},
    {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066},       {EUSERS, 10068},       {EDQUOT, 10069},
    {ESTALE, 10070},          {EREMOTE, 10071},
};

// Host names resolved during this run, so each name is asked for only once.
QHash<QString, quint32>& hostCache() {
    static QHash<QString, quint32> cache;
    return cache;
}

int g_resolverCalls = 0;

bool startsWithDigit(const QString& name) {
    return !name.isEmpty() && name.at(0).isDigit();
}

void setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Messages are small and answered at once; without this, a message sent
// while the peer still holds back its acknowledgement of the previous one
// (delayed ACK, up to 40 ms) would wait for it.
void setNoDelay(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

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

QString TSock::errorText(int errnoValue) {
    const int code = winsockCode(errnoValue);
    return QStringLiteral("Error #%1 (%2)").arg(code).arg(winsockName(code));
}

int TSock::winsockCode(int errnoValue) {
    if (errnoValue == 0)
        return 0;
    for (const ErrnoEntry& e : errnoCodes) {
        if (e.errnoValue == errnoValue)
            return e.code;
    }
    // Unmapped values stay above 10000 so they still count as errors.
    return 20000 + errnoValue;
}

QString TSock::winsockName(int code) {
    for (const WinsockEntry& e : winsockNames) {
        if (e.code == code)
            return QString::fromLatin1(e.name);
    }
    return QStringLiteral("UNKNOWN ERROR");
}

void TSock::clearHostCache() {
    hostCache().clear();
}

int TSock::resolverCalls() {
    return g_resolverCalls;
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

int TSock::localPort() const {
    if (m_fd < 0)
        return 0;
    sockaddr_in addr{};
    socklen_t len = sizeof(addr);
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return 0;
    return ntohs(addr.sin_port);
}

QString TSock::localAddress() const {
    if (m_fd < 0)
        return {};
    sockaddr_in addr{};
    socklen_t len = sizeof(addr);
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return {};
    char dotted[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &addr.sin_addr, dotted, sizeof dotted);
    return QString::fromLatin1(dotted);
}

// ---- lookups --------------------------------------------------------------

quint32 TSock::lookupHost(const QString& name) {
    report(TSocketInfo::Lookup, QStringLiteral("Lookup Of Host ") + name);
    if (startsWithDigit(name)) {
        in_addr addr{};
        // A malformed dotted address must not turn into the broadcast address.
        if (::inet_aton(name.toLatin1().constData(), &addr) == 0)
            throw ESockException("Host Lookup - Could Not Find Host Entry");
        return addr.s_addr;
    }
    auto& cache = hostCache();
    auto it = cache.constFind(name);
    if (it != cache.constEnd())
        return it.value();
    ++g_resolverCalls;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (name.isEmpty() || ::getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &result) != 0 ||
        result == nullptr)
        throw ESockException("Host Lookup - Could Not Find Host Entry");
    const quint32 address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(result);
    cache.insert(name, address);
    return address;
}

quint16 TSock::lookupPort(const QString& name) {
    report(TSocketInfo::Lookup, QStringLiteral("Lookup Of Port ") + name);
    if (startsWithDigit(name)) {
        bool ok = false;
        const int port = name.toInt(&ok);
        if (!ok || port < 0 || port > 65535)
            throw std::invalid_argument(
                QStringLiteral("'%1' is not a valid integer value").arg(name).toStdString());
        return htons(quint16(port));
    }
    const servent* entry =
        name.isEmpty() ? nullptr : ::getservbyname(name.toLatin1().constData(), "tcp");
    if (entry == nullptr)
        throw ESockException("Port Lookup - Could Not Find Service Entry");
    return quint16(entry->s_port);
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

void TSock::onConnectResult(int error) {
    if (!m_connecting)
        return;
    m_connecting = false;
    if (error != 0) {
        // The object keeps its socket, unconnected; a failed socket stays
        // ready for ever, so it is no longer watched.
        if (m_readNotifier)
            m_readNotifier->setEnabled(false);
        updateWriteNotifier();
        report(TSocketInfo::Error, errorText(error));
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

// ---- operations -----------------------------------------------------------

bool TSock::Open() {
    if (m_fd >= 0)
        return m_connected;
    // Names are resolved before the socket is made, so a failed lookup
    // leaves nothing behind and Open may simply be tried again.
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = lookupPort(m_portName);
    addr.sin_addr.s_addr = lookupHost(m_hostName);

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        report(TSocketInfo::Error, errorText(errno));
        return false;
    }
    setNonBlocking(fd);
    setNoDelay(fd);
    m_fd = fd;
    m_connected = false;
    m_connecting = true;
    m_writeBroken = false;
    m_writeEventDue = false;
    startNotifiers(false);
    m_readNotifier->setEnabled(false);

    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    } while (rc < 0 && errno == EINTR);
    if (rc < 0 && errno != EINPROGRESS) {
        // An immediate failure is delivered like any connect result: later,
        // from the event loop.
        const int error = errno;
        QPointer<TSock> self(this);
        QMetaObject::invokeMethod(
            this,
            [self, fd, error] {
                if (self && self->m_fd == fd)
                    self->onConnectResult(error);
            },
            Qt::QueuedConnection);
        m_writeNotifier->setEnabled(false);
        return false;
    }
    updateWriteNotifier();
    return m_connected;
}

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

bool TSock::Accept(TSock*& newSock) {
    newSock = nullptr;
    if (!m_listening)
        throw ESockException("Accept - Socket Not In Listening Mode");
    // The next waiting connection may announce itself again.
    if (m_readNotifier)
        m_readNotifier->setEnabled(true);
    sockaddr_in peer{};
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
    char dotted[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, dotted, sizeof(dotted));
    sock->m_hostName = QString::fromLatin1(dotted);
    sock->m_peerPort = ntohs(peer.sin_port);
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

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!m_bindAddress.isEmpty() &&
        ::inet_pton(AF_INET, m_bindAddress.toLatin1().constData(), &addr.sin_addr) != 1)
        throw ESockException("Listen - Error Binding Socket");
    addr.sin_port = lookupPort(m_portName);

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw ESockException("Listen - Error Binding Socket");
    // Lets a restarted host take its port back at once; a port that another
    // socket is listening on is still refused.
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    setNonBlocking(fd);
    // A socket that failed to bind or listen is released, so Listen may be
    // tried again on the same object.
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        throw ESockException("Listen - Error Binding Socket");
    }
    if (::listen(fd, 5) != 0) {
        ::close(fd);
        throw ESockException("Listen - Error Starting Listen");
    }
    m_fd = fd;
    m_listening = true;
    m_connected = false;
    startNotifiers(true);
    report(TSocketInfo::Listen, QStringLiteral("Listening Started"));
}
