#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The socket address of a path, or false when the path does not fit.
bool addressOf(const QString& path, sockaddr_un* address) {
    const QByteArray bytes = QFile::encodeName(path);
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (bytes.isEmpty() || size_t(bytes.size()) >= sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path, bytes.constData(), size_t(bytes.size()));
    return true;
}

// A local socket and the address of the path, or -1 when the path does not
// fit an address or no socket can be had. Non-blocking both ways: a copy
// that hangs with a full queue of knocks must not hang the next one, and the
// listener is only read when a knock waits.
int socketFor(const QString& path, sockaddr_un* address) {
    if (!addressOf(path, address))
        return -1;
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent),
      m_path(QDir(folder.isEmpty() ? runtimeFolder() : folder).filePath("enavro")) {}

SingleInstance::~SingleInstance() {
    if (m_listener < 0)
        return;
    delete m_notifier;
    ::close(m_listener);
    ::unlink(QFile::encodeName(m_path).constData());
}

QString SingleInstance::runtimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    const QString fallback = QDir::temp().filePath(QString("climora-%1").arg(getuid()));
    QDir().mkpath(fallback);
    QFile::setPermissions(fallback, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return fallback;
}

bool SingleInstance::acquire() {
    if (m_listener >= 0)
        return true;
    if (knockOnRunningCopy())
        return false;
    listen();
    return true;
}

bool SingleInstance::knockOnRunningCopy() const {
    sockaddr_un address;
    const int fd = socketFor(m_path, &address);
    if (fd < 0)
        return false;
    // A local connect completes at once: either a copy listens there or not.
    // EAGAIN is a copy that listens but has not taken its earlier knocks yet.
    int result;
    do
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    while (result != 0 && errno == EINTR);
    const bool running = result == 0 || errno == EAGAIN;
    if (result == 0) {
        static const char knock[] = "raise\n";
        const ssize_t sent = ::send(fd, knock, sizeof knock - 1, MSG_NOSIGNAL);
        Q_UNUSED(sent); // the connection itself is the knock
    }
    ::close(fd);
    return running;
}

bool SingleInstance::listen() {
    sockaddr_un address;
    const int fd = socketFor(m_path, &address);
    if (fd < 0)
        return false;
    // Nobody answered: a socket file left there is from a copy that died.
    ::unlink(address.sun_path);
    // Only this user may knock: the file is made without group or other access.
    const mode_t previous = ::umask(077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(previous);
    if (!bound || ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    m_listener = fd;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SingleInstance::acceptKnocks);
    return true;
}

void SingleInstance::acceptKnocks() {
    // What a knock says does not matter: each connection is one request to come forward.
    for (;;) {
        const int peer = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0) {
            if (errno == EINTR)
                continue;
            return; // EAGAIN: all taken; anything else: try again on the next notice
        }
        ::close(peer);
        bringForward();
    }
}

void SingleInstance::bringForward() {
    emit knocked();
    if (!m_window)
        return;
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
