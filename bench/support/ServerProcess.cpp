#include "bench/support/ServerProcess.h"

#include "net/TSock.h"
#include "server/BotSpeedSource.h"
#include "server/TServer.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

class FixedSpeed : public BotSpeedSource {
public:
    explicit FixedSpeed(int ms) : m_ms(ms) {}
    int botSpeedMs() const override { return m_ms; }

private:
    int m_ms;
};

void writeLine(int fd, const QByteArray& line) {
    const QByteArray text = line + '\n';
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

// Reads one line from fd within the time; empty on time-out or end.
QByteArray readLine(int fd, int timeoutMs) {
    QByteArray line;
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long elapsed =
            (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (elapsed > timeoutMs)
            return {};
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(timeoutMs - elapsed)) <= 0)
            continue;
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        if (c == '\n')
            return line;
        line.append(c);
    }
}

int runChild(const ServerProcess::Settings& settings, int control, int report) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    int argc = 1;
    char name[] = "bench-server";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    FixedSpeed speed(settings.botSpeedMs);
    ServerProcess::Counters counters;
    {
        TServer server(speed);
        server.setPauseTickMs(settings.pauseTickMs);
        server.setLoginTimeoutMs(settings.loginTimeoutMs);
        // socktimer runs only while messages wait, and each tick takes one.
        QObject::connect(&server.socktimer(), &QTimer::timeout, [&] { ++counters.handled; });
        auto accept = server.Sock1().OnAccept;
        server.Sock1().OnAccept = [&, accept](TSock* sender) {
            ++counters.accepted;
            accept(sender);
        };
        auto read = server.Sock1().OnRead;
        server.Sock1().OnRead = [&, read](TSock* sender, int count) {
            counters.bytesIn += sender->receivedCount();
            read(sender, count);
        };
        server.Sock1().setPortName("0");
        try {
            server.Sock1().setListen(true);
        } catch (const ESockException& e) {
            writeLine(report, "error " + QByteArray(e.what()));
            return 1;
        }
        writeLine(report, "port " + QByteArray::number(server.Sock1().localPort()));

        QSocketNotifier watch(control, QSocketNotifier::Read);
        QObject::connect(&watch, &QSocketNotifier::activated, [&] {
            char buffer[64];
            if (::read(control, buffer, sizeof buffer) <= 0)
                QCoreApplication::quit();
        });
        app.exec();
    }
    writeLine(report, "counters " + QByteArray::number(counters.handled) + ' ' +
                          QByteArray::number(counters.accepted) + ' ' +
                          QByteArray::number(counters.bytesIn));
    return 0;
}

} // namespace

ServerProcess::~ServerProcess() {
    if (m_pid > 0 && !m_reaped)
        stop(nullptr, nullptr, 3000);
}

bool ServerProcess::start(const Settings& settings, QString* error) {
    int control[2], report[2];
    if (::pipe(control) != 0 || ::pipe(report) != 0) {
        if (error)
            *error = "pipe: " + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        if (error)
            *error = "fork: " + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (pid == 0) {
        ::close(control[1]);
        ::close(report[0]);
        const int status = runChild(settings, control[0], report[1]);
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(status);
    }
    ::close(control[0]);
    ::close(report[1]);
    m_pid = pid;
    m_control = control[1];
    m_report = report[0];
    const QByteArray line = readLine(m_report, 10000);
    if (!line.startsWith("port ")) {
        if (error)
            *error = line.isEmpty() ? QString("the server did not start") : QString::fromUtf8(line);
        stop(nullptr, nullptr, 1000);
        return false;
    }
    m_port = line.mid(5).toInt();
    return true;
}

bool ServerProcess::running() {
    if (m_pid <= 0 || m_reaped)
        return false;
    const pid_t done = ::waitpid(m_pid, &m_status, WNOHANG);
    if (done == m_pid)
        m_reaped = true;
    return !m_reaped;
}

bool ServerProcess::stop(Counters* counters, QString* how, int waitMs) {
    if (m_pid <= 0)
        return false;
    if (m_control >= 0) {
        ::close(m_control);
        m_control = -1;
    }
    const QByteArray line = running() ? readLine(m_report, waitMs) : QByteArray();
    if (counters && line.startsWith("counters ")) {
        const QList<QByteArray> parts = line.split(' ');
        counters->handled = parts.value(1).toLongLong();
        counters->accepted = parts.value(2).toLongLong();
        counters->bytesIn = parts.value(3).toLongLong();
    }
    for (int waited = 0; running() && waited < waitMs; waited += 10)
        ::usleep(10000);
    if (running()) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &m_status, 0);
        m_reaped = true;
        if (how)
            *how = "did not end and was killed";
        return false;
    }
    if (m_report >= 0) {
        ::close(m_report);
        m_report = -1;
    }
    const bool clean = WIFEXITED(m_status) && WEXITSTATUS(m_status) == 0;
    if (how) {
        if (WIFSIGNALED(m_status))
            *how = QString("ended by signal %1 (%2)")
                       .arg(WTERMSIG(m_status))
                       .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(m_status))));
        else
            *how = QString("exited with status %1").arg(WEXITSTATUS(m_status));
    }
    return clean;
}
