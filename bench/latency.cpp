// Latency: with nine clients connected, the time from one client's request
// to every client holding the server's answer, on loopback. The server runs
// in a process of its own, as it would for players on other machines; the
// nine clients share this process. Requests are spaced 15 to 25 ms apart, as
// people's are, so each finds the server's 10 ms dispatcher idle. A client
// chats at most every 1.2 s, within the server's chat rate (one line a
// second after a burst); the other requests are "Just Watch" off. Goal:
// median under 2 ms, 99th percentile under 15 ms.
//
// For reference the same run measures the loopback round trip alone: a
// blocking ping-pong of a message-sized buffer with an echo process, and the
// same through TSock and the event loop.
//
//   bench_latency [samples]
#include "bench/support/Loopback.h"
#include "bench/support/ServerProcess.h"
#include "bench/support/Spin.h"
#include "bench/support/Stats.h"
#include "net/TSock.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "protocol/StreamCutter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <netinet/tcp.h>
#include <random>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---- The reference: an echo process on a loopback TCP port ----

struct Echo {
    pid_t pid = -1;
    int port = 0;
};

Echo startEcho() {
    Echo echo;
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback::address(0);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
        ::listen(listener, 4) ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length))
        return echo;
    echo.port = ntohs(address.sin_port);
    std::fflush(stdout);
    echo.pid = ::fork();
    if (echo.pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // Echoes every connection until it closes, one connection at a time.
        for (;;) {
            const int fd = ::accept(listener, nullptr, nullptr);
            if (fd < 0)
                ::_exit(0);
            int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            char buffer[4096];
            ssize_t n;
            while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                if (::send(fd, buffer, size_t(n), MSG_NOSIGNAL) != n)
                    break;
            ::close(fd);
        }
    }
    ::close(listener);
    return echo;
}

// Blocking ping-pong of one message-sized buffer: the loopback round trip.
std::vector<double> rawRoundTrips(int port, int count) {
    std::vector<double> ms;
    const int fd = loopback::connectTo(port, true);
    if (fd < 0)
        return ms;
    const QByteArray ping = cmd::frame(cmd::chat_(5, "ping from the reference", "clBlack"));
    char buffer[4096];
    for (int i = 0; i < count; ++i) {
        const qint64 start = nowNs();
        if (::send(fd, ping.constData(), size_t(ping.size()), 0) != ping.size())
            break;
        qsizetype got = 0;
        while (got < ping.size()) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            got += n;
        }
        ms.push_back(double(nowNs() - start) / 1e6);
    }
    ::close(fd);
    return ms;
}

// The same through TSock: read events from the event loop on both ends.
std::vector<double> tsockRoundTrips(int port, int count) {
    std::vector<double> ms;
    TSock sock;
    sock.setHostName("127.0.0.1");
    sock.setPortName(QString::number(port));
    qsizetype received = 0;
    qint64 arrived = 0;
    sock.OnRead = [&](TSock* s, int) {
        received += s->Receive().size();
        arrived = nowNs();
    };
    sock.Open();
    if (!spinUntil([&] { return sock.isConnected(); }, 3000))
        return ms;
    const QByteArray ping = cmd::frame(cmd::chat_(5, "ping from the reference", "clBlack"));
    for (int i = 0; i < count; ++i) {
        received = 0;
        const qint64 start = nowNs();
        sock.Send(ping);
        if (!spinUntil([&] { return received >= ping.size(); }, 3000))
            break;
        ms.push_back(double(arrived - start) / 1e6);
    }
    sock.Close();
    return ms;
}

// ---- Nine clients of the game server ----

class Client {
public:
    Client(int port) {
        m_sock.setHostName("127.0.0.1");
        m_sock.setPortName(QString::number(port));
        m_sock.OnRead = [this](TSock* s, int) {
            for (const QByteArray& message : m_cutter.feed(s->Receive()))
                handle(message);
        };
        m_sock.Open();
    }
    int seat() const { return m_seat; }
    bool loggedIn() const { return m_loggedIn; }
    void send(const QByteArray& message) { m_sock.Send(cmd::frame(message)); }
    // Waits for this exact message; arrivedNs() tells when it was complete.
    void await(const QByteArray& message) {
        m_awaited = message;
        m_arrivedNs = 0;
    }
    qint64 arrivedNs() const { return m_arrivedNs; }

private:
    void handle(const QByteArray& message) {
        if (message == m_awaited && m_arrivedNs == 0)
            m_arrivedNs = nowNs();
        const cmd::Split parts = cmd::split(message);
        if (parts.command == cmd::sendlogininfo) {
            m_seat = msg::readSeatOnly(parts.args).seat;
            m_name = "P" + QByteArray::number(m_seat);
            send(cmd::logininfo_(m_seat, cmd::version, m_name));
        } else if (parts.command == cmd::newplayerinfo &&
                   msg::readSeatName(parts.args) == msg::SeatName{m_seat, m_name}) {
            m_loggedIn = true;
        }
    }

    TSock m_sock;
    StreamCutter m_cutter;
    int m_seat = 0;
    QByteArray m_name;
    bool m_loggedIn = false;
    QByteArray m_awaited;
    qint64 m_arrivedNs = 0;
};

struct Series {
    std::vector<double> last;  // until every client held the answer
    std::vector<double> first; // until the first one did
};

void printLine(const char* what, const std::vector<double>& values) {
    const Summary s = summarize(values);
    std::printf("  %-46s n=%5d  median %7.3f ms  p90 %7.3f  p99 %7.3f  max %7.3f\n", what, s.count,
                s.median, s.p90, s.p99, s.max);
}

} // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::max(50, std::atoi(argv[1])) : 2000;

    // Both children are forked before this process starts Qt.
    const Echo echo = startEcho();
    ServerProcess server;
    QString error;
    if (echo.pid <= 0 || !server.start(ServerProcess::Settings{}, &error)) {
        std::fprintf(stderr, "cannot start the server or the echo: %s\n",
                     error.toLocal8Bit().constData());
        return 1;
    }
    QCoreApplication app(argc, argv);

    std::printf("latency: %d requests, nine clients, server pid %d\n", samples, int(server.pid()));
    std::printf("reference, the loopback round trip alone:\n");
    const std::vector<double> raw = rawRoundTrips(echo.port, samples);
    printLine("blocking ping-pong with an echo process", raw);
    const std::vector<double> viaTsock = tsockRoundTrips(echo.port, samples);
    printLine("the same through TSock and the event loop", viaTsock);

    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 9; ++i) {
        clients.push_back(std::make_unique<Client>(server.port()));
        // One at a time, so that the seats follow the order.
        spinUntil([&] { return clients.back()->loggedIn(); }, 3000);
    }
    if (!spinUntil(
            [&] {
                for (auto& c : clients)
                    if (!c->loggedIn())
                        return false;
                return true;
            },
            5000)) {
        std::fprintf(stderr, "the nine clients did not all log in\n");
        return 1;
    }

    std::mt19937 random(12345);
    // chat relayed to all; "Just Watch" off, answered to all outside a game.
    Series chat, watch;
    int lost = 0;
    // When each client last chatted; the one that waited longest chats next.
    std::vector<qint64> lastChatNs(clients.size(), 0);
    constexpr qint64 chatSpacingNs = 1200 * 1000000LL;
    for (int i = 0; i < 2 * samples; ++i) {
        // Idle time as between people's requests.
        const qint64 pause = nowNs() + (15 + qint64(random() % 11)) * 1000000;
        spinUntil([&] { return nowNs() >= pause; }, 100);

        const size_t quietest =
            size_t(std::min_element(lastChatNs.begin(), lastChatNs.end()) - lastChatNs.begin());
        const bool isChat = nowNs() - lastChatNs[quietest] >= chatSpacingNs;
        if (isChat)
            lastChatNs[quietest] = nowNs();
        Client& sender = *clients[isChat ? quietest : size_t(1 + random() % 3)];
        const int seat = sender.seat();
        QByteArray request, answer;
        if (isChat) {
            const QByteArray text = "request " + QByteArray::number(i);
            request = cmd::chat_(seat, text, "clBlack");
            answer = cmd::chatRelay_(seat, "P" + QByteArray::number(seat), text + "|clBlack");
        } else {
            request = cmd::justwatch_(seat, 2);
            answer = cmd::justwatching_(seat, 2);
        }
        for (auto& c : clients)
            c->await(answer);
        const qint64 start = nowNs();
        sender.send(request);
        const bool all = spinUntil(
            [&] {
                for (auto& c : clients)
                    if (!c->arrivedNs())
                        return false;
                return true;
            },
            2000);
        if (!all) {
            ++lost;
            continue;
        }
        qint64 first = 0, last = 0;
        for (auto& c : clients) {
            first = first ? std::min(first, c->arrivedNs()) : c->arrivedNs();
            last = std::max(last, c->arrivedNs());
        }
        Series& series = isChat ? chat : watch;
        series.last.push_back(double(last - start) / 1e6);
        series.first.push_back(double(first - start) / 1e6);
    }

    std::printf("request to answer, nine clients, server in its own process:\n");
    printLine("chat line, until the first client held it", chat.first);
    printLine("chat line, until all nine held it", chat.last);
    printLine("\"Just Watch\" off, until all nine held it", watch.last);
    std::vector<double> all = chat.last;
    all.insert(all.end(), watch.last.begin(), watch.last.end());
    printLine("both kinds, until all nine held it", all);
    const Summary s = summarize(all);
    const Summary ref = summarize(raw);
    const bool ok = lost == 0 && s.median < 2.0 && s.p99 < 15.0;
    std::printf("result: median %.3f ms (goal < 2 ms), p99 %.3f ms (goal < 15 ms), %d answers "
                "missing; the round trip alone %.3f ms median: %s\n",
                s.median, s.p99, lost, ref.median, ok ? "goal met" : "GOAL MISSED");

    clients.clear();
    ServerProcess::Counters counters;
    QString how;
    server.stop(&counters, &how);
    ::kill(echo.pid, SIGTERM);
    ::waitpid(echo.pid, nullptr, 0);
    return ok ? 0 : 1;
}
