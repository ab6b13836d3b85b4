// Floods: what hostile peers that stay inside the connection limits cost the
// host and an honest player. The server runs in a process of its own (the
// game's host also runs its own client and chat view, which this does not
// measure); the clients share this process.
//
// 1. Chat flood: a logged-in peer repeats a chat line of 21,600 short words
//    as fast as its connection takes it, for 30 s, while an honest player
//    chats every 1.5 s. Goal: the server's memory grows by under 30 MiB and
//    every honest line comes back within 1 s.
// 2. Queue flood: seven peers keep about 250 requests each waiting (250 at
//    once, then fewer per second than their share of the dispatcher), with
//    chat lines among them, for 20 s, while the honest player chats. Goal:
//    every honest line comes back within 1 s.
//
//   bench_flood [--seconds N]   (N: the chat flood's length, 30 by default)
#include "bench/support/ProcFs.h"
#include "bench/support/ServerProcess.h"
#include "bench/support/Stats.h"
#include "net/TSock.h"
#include "protocol/Commands.h"
#include "protocol/StreamCutter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

void spinFor(int ms) {
    spinUntil([] { return false; }, ms);
}

// A client that logs in under its name and hands every message on.
class Client {
public:
    Client(int port, QByteArray name) : m_name(std::move(name)) {
        m_sock.setHostName("127.0.0.1");
        m_sock.setPortName(QString::number(port));
        m_sock.OnRead = [this](TSock* s, int) {
            for (const QByteArray& message : m_cutter.feed(s->Receive()))
                handle(message);
        };
        m_sock.OnDisconnect = [this](TSock*) { closed = true; };
        m_sock.Open();
    }
    void send(const QByteArray& message) { m_sock.Send(cmd::frame(message)); }
    void sendFramed(const QByteArray& bytes) { m_sock.Send(bytes); }
    int pendingOutput() const { return m_sock.pendingOutput(); }
    int seat() const { return m_seat; }
    bool loggedIn() const { return m_loggedIn; }
    const QByteArray& name() const { return m_name; }

    std::function<void(const QByteArray&)> onMessage;
    bool closed = false;

private:
    void handle(const QByteArray& message) {
        const cmd::Split parts = cmd::split(message);
        if (parts.command == cmd::sendlogininfo) {
            m_seat = parts.args.toInt();
            send(cmd::logininfo_(m_seat, cmd::version, m_name));
        } else if (parts.command == cmd::newplayerinfo &&
                   parts.args.startsWith(QByteArray::number(m_seat) + '+')) {
            m_name = parts.args.mid(parts.args.indexOf('+') + 1);
            m_loggedIn = true;
        }
        if (onMessage)
            onMessage(message);
    }

    TSock m_sock;
    StreamCutter m_cutter;
    QByteArray m_name;
    int m_seat = 0;
    bool m_loggedIn = false;
};

// The honest player: a chat line every 1.5 s, timed until it comes back.
class Honest {
public:
    explicit Honest(Client& client) : m_client(client) {
        m_client.onMessage = [this](const QByteArray& message) {
            if (message == m_awaited) {
                latenciesMs.push_back(double(m_clock.nsecsElapsed()) / 1e6);
                m_awaited.clear();
            }
        };
        QObject::connect(&m_timer, &QTimer::timeout, [this] { chat(); });
    }
    void start() { m_timer.start(1500); }
    void stop() {
        m_timer.stop();
        if (!m_awaited.isEmpty())
            ++lost;
    }

    std::vector<double> latenciesMs;
    int lost = 0;

private:
    void chat() {
        if (!m_awaited.isEmpty())
            ++lost; // the last one did not come back in 1.5 s
        const QByteArray text = "honest line " + QByteArray::number(++m_count);
        m_awaited = cmd::chatRelay_(m_client.seat(), m_client.name(), text + "|clBlack");
        m_clock.start();
        m_client.send(cmd::chat_(m_client.seat(), text, "clBlack"));
    }

    Client& m_client;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QByteArray m_awaited;
    int m_count = 0;
};

bool allLoggedIn(const std::vector<std::unique_ptr<Client>>& clients) {
    for (const auto& c : clients)
        if (!c->loggedIn())
            return false;
    return true;
}

void printLatencies(const char* what, const Honest& honest) {
    const Summary s = summarize(honest.latenciesMs);
    std::printf("  %-40s n=%3d  median %7.2f ms  p99 %7.2f  max %7.2f  not back in 1.5 s: %d\n",
                what, s.count, s.median, s.p99, s.max, honest.lost);
}

double mib(qint64 kb) {
    return double(kb) / 1024.0;
}

// Item 1: one peer repeats a 21,600-word chat line at full speed.
bool chatFlood(ServerProcess& server, int seconds) {
    std::vector<std::unique_ptr<Client>> clients;
    clients.push_back(std::make_unique<Client>(server.port(), "Honest"));
    spinUntil([&] { return clients[0]->loggedIn(); }, 3000);
    clients.push_back(std::make_unique<Client>(server.port(), "Flood"));
    if (!spinUntil([&] { return allLoggedIn(clients); }, 3000)) {
        std::printf("chat flood: the clients did not log in\n");
        return false;
    }
    Client& flooder = *clients[1];
    qint64 flooderBytesIn = 0;
    flooder.onMessage = [&](const QByteArray& m) { flooderBytesIn += m.size() + 1; };
    QByteArray words;
    for (int i = 0; i < 21600; ++i)
        words += "ab ";
    const QByteArray line = cmd::frame(cmd::chat_(flooder.seat(), words, "clBlack"));

    Honest honest(*clients[0]);
    spinFor(500);
    const qint64 startKb = procfs::residentKb(server.pid());
    qint64 peakKb = startKb;
    qint64 offered = 0;
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, [&] {
        while (flooder.pendingOutput() < 4 * line.size()) {
            flooder.sendFramed(line);
            offered += line.size();
        }
        peakKb = std::max(peakKb, procfs::residentKb(server.pid()));
    });
    pump.start(2);
    honest.start();
    spinFor(seconds * 1000);
    honest.stop();
    pump.stop();
    const qint64 endKb = procfs::residentKb(server.pid());
    const procfs::CpuSample cpu = procfs::cpu(server.pid());

    const double growth = mib(peakKb - startKb);
    const Summary s = summarize(honest.latenciesMs);
    const bool ok = growth < 30.0 && honest.lost == 0 && s.count > 0 && s.max < 1000.0 &&
                    !flooder.closed && !clients[0]->closed;
    std::printf("chat flood, %d s: the flooder offered %.1f MiB (%.1f MiB/s), got %.1f MiB back; "
                "server processor time %.1f s\n",
                seconds, double(offered) / 1048576.0, double(offered) / 1048576.0 / seconds,
                double(flooderBytesIn) / 1048576.0, double(cpu.ticks) / procfs::ticksPerSecond());
    printLatencies("honest chat line, send to its return", honest);
    std::printf("  server memory %.1f MiB before, peak %.1f MiB, %.1f MiB at the end: growth "
                "%.1f MiB (goal < 30 MiB); honest line max %.1f ms (goal < 1000 ms): %s\n",
                mib(startKb), mib(peakKb), mib(endKb), growth, s.max,
                ok ? "goal met" : "GOAL MISSED");
    return ok;
}

// Item 2: seven peers keep about 250 requests each waiting.
bool queueFlood(ServerProcess& server, int seconds) {
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(std::make_unique<Client>(
            server.port(), i == 0 ? QByteArray("Honest") : "Q" + QByteArray::number(i)));
        spinUntil([&] { return clients.back()->loggedIn(); }, 3000);
    }
    if (!allLoggedIn(clients)) {
        std::printf("queue flood: the clients did not log in\n");
        return false;
    }
    auto batch = [](int seat, int count) {
        QByteArray bytes;
        for (int i = 0; i < count; ++i)
            bytes += cmd::frame(i % 25 == 0 ? cmd::chat_(seat, "queued line", "clBlack")
                                            : cmd::rollthedice_(seat));
        return bytes;
    };
    for (size_t i = 1; i < clients.size(); ++i)
        clients[i]->sendFramed(batch(clients[i]->seat(), 250));
    // Ten more a second each: less than a share of the dispatcher (100 a
    // second over eight connections), so the queues stay near 250 and the
    // flooders are never cut.
    QTimer topUp;
    QObject::connect(&topUp, &QTimer::timeout, [&] {
        for (size_t i = 1; i < clients.size(); ++i)
            clients[i]->sendFramed(batch(clients[i]->seat(), 10));
    });
    topUp.start(1000);
    Honest honest(*clients[0]);
    spinFor(200);
    honest.start();
    spinFor(seconds * 1000);
    honest.stop();
    topUp.stop();

    int cut = 0;
    for (const auto& c : clients)
        cut += c->closed ? 1 : 0;
    const Summary s = summarize(honest.latenciesMs);
    const bool ok = honest.lost == 0 && s.count > 0 && s.max < 1000.0 && cut == 0;
    std::printf("queue flood, %d s: seven peers with about 250 requests waiting each, %d "
                "connections cut\n",
                seconds, cut);
    printLatencies("honest chat line, send to its return", honest);
    std::printf("  honest line max %.1f ms (goal < 1000 ms): %s\n", s.max,
                ok ? "goal met" : "GOAL MISSED");
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(1, std::atoi(argv[i + 1]));

    // Both servers are forked before this process starts Qt.
    ServerProcess chatServer, queueServer;
    QString error;
    if (!chatServer.start(ServerProcess::Settings{}, &error) ||
        !queueServer.start(ServerProcess::Settings{}, &error)) {
        std::fprintf(stderr, "cannot start the server: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    QCoreApplication app(argc, argv);
    std::printf("flood: servers in processes of their own (pids %d and %d); the host's own client "
                "is not part of this measurement\n",
                int(chatServer.pid()), int(queueServer.pid()));
    const bool chatOk = chatFlood(chatServer, seconds);
    const bool queueOk = queueFlood(queueServer, 20);
    chatServer.stop(nullptr, nullptr);
    queueServer.stop(nullptr, nullptr);
    std::printf("result: %s\n", chatOk && queueOk ? "goal met" : "GOAL MISSED");
    return chatOk && queueOk ? 0 : 1;
}
