#include "bench/support/Launcher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

qint64 steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// In the child: a network namespace with loopback up, or none at all.
bool ownNetworkNamespace() {
    if (::unshare(CLONE_NEWNET) != 0)
        return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP | IFF_RUNNING;
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

void writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        size -= size_t(n);
    }
}

} // namespace

Launcher::~Launcher() {
    stop();
    if (m_output >= 0)
        ::close(m_output);
    if (!m_tempDir.isEmpty())
        QDir(m_tempDir).removeRecursively();
}

bool Launcher::enterOwnNetwork() {
    return ownNetworkNamespace();
}

std::optional<qint64> Launcher::firstPaintIn(const QByteArray& text) {
    const qsizetype at = text.indexOf("first-paint ");
    if (at < 0)
        return std::nullopt;
    const qsizetype end = text.indexOf('\n', at);
    if (end < 0)
        return std::nullopt; // the line is not complete yet
    bool ok = false;
    const qint64 value = text.mid(at + 12, end - at - 12).trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

bool Launcher::start(const Plan& plan, QString* error) {
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    QTemporaryDir temp(QDir::tempPath() + "/climora-bench-XXXXXX");
    if (!temp.isValid())
        return fail("no temporary folder");
    temp.setAutoRemove(false);
    m_tempDir = temp.path();
    const QString runtime = m_tempDir + "/runtime";
    const QString home = m_tempDir + "/home";
    QDir().mkpath(runtime);
    QDir().mkpath(home);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // Everything the child needs is prepared here: after fork only
    // async-signal-safe calls are made.
    static const char* const replaced[] = {
        "XDG_RUNTIME_DIR=", "HOME=",         "QT_QPA_PLATFORM=", "DISPLAY=", "CLIMORA_FIRST_PAINT=",
        "XDG_CONFIG_HOME=", "XDG_DATA_HOME="};
    QList<QByteArray> env;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (std::none_of(std::begin(replaced), std::end(replaced),
                         [&](const char* name) { return entry.startsWith(name); }))
            env << entry;
    }
    env << "XDG_RUNTIME_DIR=" + runtime.toLocal8Bit() << "HOME=" + home.toLocal8Bit()
        << "QT_QPA_PLATFORM=" + plan.platform.toLocal8Bit();
    if (!plan.display.isEmpty())
        env << "DISPLAY=" + plan.display.toLocal8Bit();
    if (!plan.firstPaint.isEmpty())
        env << "CLIMORA_FIRST_PAINT=" + plan.firstPaint.toLocal8Bit();
    std::vector<char*> envp;
    for (QByteArray& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    QList<QByteArray> args{plan.program.toLocal8Bit()};
    for (const QString& a : plan.arguments)
        args << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const QByteArray workDir = (plan.workDir.isEmpty() ? home : plan.workDir).toLocal8Bit();

    int output[2], clock[2];
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(clock, O_CLOEXEC) != 0)
        return fail("pipe: " + QString::fromLocal8Bit(std::strerror(errno)));
    const pid_t pid = ::fork();
    if (pid < 0)
        return fail("fork: " + QString::fromLocal8Bit(std::strerror(errno)));
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::dup2(output[1], 1);
        ::dup2(output[1], 2);
        const char own = plan.ownNetwork && ownNetworkNamespace() ? 1 : 0;
        if (::chdir(workDir.constData()) != 0)
            ::_exit(126);
        const qint64 now = steadyNs();
        writeAll(clock[1], &own, 1);
        writeAll(clock[1], &now, sizeof now);
        ::execve(argv[0], argv.data(), envp.data());
        const char* text = "exec failed\n";
        writeAll(2, text, std::strlen(text));
        ::_exit(127);
    }
    ::close(output[1]);
    ::close(clock[1]);
    m_pid = pid;
    m_reaped = false;
    m_output = output[0];
    m_text.clear();
    char own = 0;
    qint64 stamp = 0;
    const bool got = ::read(clock[0], &own, 1) == 1 &&
                     ::read(clock[0], &stamp, sizeof stamp) == ssize_t(sizeof stamp);
    ::close(clock[0]);
    if (!got)
        return fail("the child did not start");
    m_ownNetwork = own;
    m_execNs = stamp;
    return true;
}

void Launcher::readAvailable(int timeoutMs) {
    if (m_output < 0)
        return;
    pollfd p{m_output, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return;
    char buffer[4096];
    const ssize_t n = ::read(m_output, buffer, sizeof buffer);
    if (n > 0) {
        m_text.append(buffer, int(n));
    } else if (n == 0) {
        ::close(m_output);
        m_output = -1;
    }
}

std::optional<qint64> Launcher::waitFirstPaint(int timeoutMs) {
    const qint64 deadline = steadyNs() + qint64(timeoutMs) * 1000000;
    for (;;) {
        if (const auto found = firstPaintIn(m_text))
            return found;
        const qint64 left = (deadline - steadyNs()) / 1000000;
        if (left <= 0 || m_output < 0)
            return std::nullopt;
        readAvailable(int(std::min<qint64>(left, 100)));
    }
}

QByteArray Launcher::output() {
    readAvailable(0);
    return m_text;
}

bool Launcher::waitExit(int timeoutMs, int* status) {
    if (m_pid <= 0)
        return true;
    const qint64 deadline = steadyNs() + qint64(timeoutMs) * 1000000;
    int s = 0;
    for (;;) {
        if (m_reaped)
            return true;
        const pid_t done = ::waitpid(m_pid, &s, WNOHANG);
        if (done == m_pid) {
            m_reaped = true;
            if (status)
                *status = s;
            readAvailable(0);
            return true;
        }
        if (steadyNs() > deadline)
            return false;
        readAvailable(10); // keeps the pipe drained, so the child never blocks on it
    }
}

void Launcher::stop() {
    if (m_pid <= 0 || m_reaped)
        return;
    ::kill(m_pid, SIGTERM);
    if (!waitExit(3000)) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_reaped = true;
    }
}

// ---- VirtualDisplay ----

VirtualDisplay::~VirtualDisplay() {
    stop();
}

bool VirtualDisplay::start(QString* error) {
    int number = 90;
    while (number < 200 && (QFile::exists(QString("/tmp/.X%1-lock").arg(number)) ||
                            QFile::exists(QString("/tmp/.X11-unix/X%1").arg(number))))
        ++number;
    m_display = QString(":%1").arg(number);
    const QByteArray display = m_display.toLocal8Bit();
    const pid_t pid = ::fork();
    if (pid < 0) {
        if (error)
            *error = "fork failed";
        return false;
    }
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execlp("Xvfb", "Xvfb", display.constData(), "-screen", "0", "1280x1024x24", "-nolisten",
                 "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    m_pid = pid;
    const QString socket = QString("/tmp/.X11-unix/X%1").arg(number);
    for (int waited = 0; waited < 10000; waited += 20) {
        if (QFile::exists(socket))
            return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        ::usleep(20000);
    }
    if (error)
        *error = "Xvfb did not start (is it installed?)";
    stop();
    return false;
}

void VirtualDisplay::stop() {
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    for (int waited = 0; waited < 3000; waited += 10) {
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        ::usleep(10000);
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}
