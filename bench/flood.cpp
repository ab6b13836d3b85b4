// Floods: what hostile peers that stay inside the connection limits cost the
// host and an honest player. Each flood runs twice: first against the server
// alone in a process of its own, then against the real program hosting by
// name (`climora Ann 0.0.0.0 true`, offscreen, on port 7772), whose own
// client and chat view take and show every relayed chat line. The clients
// share this process and log in over loopback.
//
// 1. Chat flood: a logged-in peer repeats a chat line of 21,600 short words
//    as fast as its connection takes it, for 30 s, while an honest player
//    chats every 1.5 s. Goal: the resident memory of the server (or of the
//    host program) grows by under 30 MiB from its level after a warm-up
//    (the logins and 2 s of quiet, read from /proc), and every honest line
//    comes back within 1 s.
// 2. Queue flood: seven peers keep about 250 requests each waiting (250 at
//    once, then fewer per second than their share of the dispatcher), with
//    chat lines among them, for 20 s, while the honest player chats. Goal:
//    every honest line comes back within 1 s and no peer is cut.
//
// As root this process first takes a network namespace of its own with only
// loopback up, which the servers and host programs it starts share, so port
// 7772 is free whatever else runs; otherwise the port must be free.
//
//   bench_flood [--seconds N] [--server-only | --host-only] [--game PATH]
//   (N: the chat flood's length, 30 by default; PATH: the program, by
//   default the build's climora beside the bench folder)
#include "bench/support/BenchPaths.h"
#include "bench/support/Launcher.h"
#include "bench/support/ProcFs.h"
#include "bench/support/ServerProcess.h"
#include "bench/support/Spin.h"
#include "bench/support/Stats.h"
#include "net/TSock.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "protocol/StreamCutter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

// The game's fixed port, on which the program hosting by name listens.
constexpr int gamePort = 7772;

// What a flood is aimed at: a port, and the process whose memory and
// processor time are read.
struct Target {
    int port = 0;
    pid_t pid = -1;
    const char* what = "server";
};

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
            m_seat = msg::readSeatOnly(parts.args).seat;
            send(cmd::logininfo_(m_seat, cmd::version, m_name));
        } else if (parts.command == cmd::newplayerinfo) {
            const msg::SeatName player = msg::readSeatName(parts.args);
            if (player.seat == m_seat) {
                m_name = player.name;
                m_loggedIn = true;
            }
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
bool chatFlood(const Target& target, int seconds) {
    std::vector<std::unique_ptr<Client>> clients;
    clients.push_back(std::make_unique<Client>(target.port, "Honest"));
    spinUntil([&] { return clients[0]->loggedIn(); }, 3000);
    clients.push_back(std::make_unique<Client>(target.port, "Flood"));
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
    // Warm-up: the logins settle before the level the growth is taken from.
    spinFor(2000);
    const qint64 startKb = procfs::residentKb(target.pid);
    const procfs::CpuSample cpuBefore = procfs::cpu(target.pid);
    qint64 peakKb = startKb;
    qint64 offered = 0;
    QTimer pump, sample;
    QObject::connect(&pump, &QTimer::timeout, [&] {
        while (flooder.pendingOutput() < 4 * line.size()) {
            flooder.sendFramed(line);
            offered += line.size();
        }
    });
    QObject::connect(&sample, &QTimer::timeout,
                     [&] { peakKb = std::max(peakKb, procfs::residentKb(target.pid)); });
    pump.start(2);
    sample.start(20);
    honest.start();
    spinFor(seconds * 1000);
    honest.stop();
    pump.stop();
    sample.stop();
    const qint64 endKb = procfs::residentKb(target.pid);
    const procfs::CpuSample cpuAfter = procfs::cpu(target.pid);

    const double growth = mib(peakKb - startKb);
    const Summary s = summarize(honest.latenciesMs);
    const bool ok = startKb > 0 && growth < 30.0 && honest.lost == 0 && s.count > 0 &&
                    s.max < 1000.0 && !flooder.closed && !clients[0]->closed;
    std::printf("chat flood on the %s, %d s: the flooder (seat %d) offered %.1f MiB (%.1f MiB/s), "
                "got %.1f MiB back; %s processor time %.1f s\n",
                target.what, seconds, flooder.seat(), double(offered) / 1048576.0,
                double(offered) / 1048576.0 / seconds, double(flooderBytesIn) / 1048576.0,
                target.what, double(cpuAfter.ticks - cpuBefore.ticks) / procfs::ticksPerSecond());
    printLatencies("honest chat line, send to its return", honest);
    std::printf("  %s memory %.1f MiB after the warm-up, peak %.1f MiB, %.1f MiB at the end: "
                "growth %.1f MiB (goal < 30 MiB); honest line max %.1f ms (goal < 1000 ms): %s\n",
                target.what, mib(startKb), mib(peakKb), mib(endKb), growth, s.max,
                ok ? "goal met" : "GOAL MISSED");
    return ok;
}

// Item 2: seven peers keep about 250 requests each waiting.
bool queueFlood(const Target& target, int seconds) {
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(std::make_unique<Client>(
            target.port, i == 0 ? QByteArray("Honest") : "Q" + QByteArray::number(i)));
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
    std::printf("queue flood on the %s, %d s: seven peers with about 250 requests waiting each, "
                "%d connections cut\n",
                target.what, seconds, cut);
    printLatencies("honest chat line, send to its return", honest);
    std::printf("  honest line max %.1f ms (goal < 1000 ms): %s\n", s.max,
                ok ? "goal met" : "GOAL MISSED");
    return ok;
}

// The real program hosting by name, offscreen, in this process's network
// namespace; ready once it listens on the game's port.
bool startHost(Launcher& host, const QString& game) {
    Launcher::Plan plan;
    plan.program = game;
    plan.arguments = {"Ann", "0.0.0.0", "true"};
    plan.platform = "offscreen";
    plan.firstPaint = "1";
    plan.ownNetwork = false; // shares this process's namespace with the clients
    QString error;
    if (!host.start(plan, &error)) {
        std::printf("cannot start the host program: %s\n", qPrintable(error));
        return false;
    }
    const bool up =
        host.waitFirstPaint(20000) && spinUntil([] { return procfs::listening(gamePort); }, 10000);
    if (!up) {
        std::printf("the host program did not come up; it said:\n%s\n", host.output().constData());
        return false;
    }
    // Its own client logs in as seat 1 before the benchmark's clients come.
    spinFor(1000);
    return true;
}

// Both floods again, each against a fresh host program; its output is read
// on as it comes, so that it never blocks on a full pipe.
bool hostFloods(const QString& game, int seconds) {
    bool ok = true;
    for (const bool chat : {true, false}) {
        Launcher host;
        if (!startHost(host, game))
            return false;
        QTimer drain;
        QObject::connect(&drain, &QTimer::timeout, [&] {
            for (int i = 0; i < 16; ++i)
                host.output();
        });
        drain.start(20);
        const Target target{gamePort, host.pid(), "host program"};
        ok = (chat ? chatFlood(target, seconds) : queueFlood(target, 20)) && ok;
        drain.stop();
        if (!host.waitExit(0)) {
            host.stop();
        } else {
            std::printf("  the host program ENDED during the flood; it said:\n%s\n",
                        host.output().right(2000).constData());
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    bool serverPart = true, hostPart = true;
    QString game = benchpaths::defaultGame();
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--game") && i + 1 < argc) {
            game = QString::fromLocal8Bit(argv[++i]);
        } else if (!std::strcmp(argv[i], "--server-only")) {
            hostPart = false;
        } else if (!std::strcmp(argv[i], "--host-only")) {
            serverPart = false;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--seconds N] [--server-only | --host-only] [--game PATH]\n",
                         argv[0]);
            return 2;
        }
    }

    // Before any fork or thread: the children inherit the namespace.
    const bool ownNetwork = Launcher::enterOwnNetwork();
    // Both servers are forked before this process starts Qt.
    ServerProcess chatServer, queueServer;
    QString error;
    if (serverPart && (!chatServer.start(ServerProcess::Settings{}, &error) ||
                       !queueServer.start(ServerProcess::Settings{}, &error))) {
        std::fprintf(stderr, "cannot start the server: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    QCoreApplication app(argc, argv);
    bool ok = true;
    if (serverPart) {
        std::printf("flood: the server alone, in processes of its own (pids %d and %d)\n",
                    int(chatServer.pid()), int(queueServer.pid()));
        ok = chatFlood({chatServer.port(), chatServer.pid(), "server"}, seconds) && ok;
        ok = queueFlood({queueServer.port(), queueServer.pid(), "server"}, 20) && ok;
        chatServer.stop(nullptr, nullptr);
        queueServer.stop(nullptr, nullptr);
    }
    if (hostPart) {
        std::printf("flood: the program hosting by name (%s Ann 0.0.0.0 true, offscreen, port "
                    "%d%s), its own client and chat view included\n",
                    qPrintable(game), gamePort,
                    ownNetwork ? " in a network namespace of its own" : ", shared network");
        QString folder;
        const QString copy = benchpaths::privateCopy(game, &folder);
        if (copy.isEmpty()) {
            std::printf("cannot copy the program %s\n", qPrintable(game));
            ok = false;
        } else if (!ownNetwork && procfs::listening(gamePort)) {
            std::printf("port %d is taken here (run as root for a network of its own)\n", gamePort);
            ok = false;
        } else {
            ok = hostFloods(copy, seconds) && ok;
        }
        if (!folder.isEmpty())
            QDir(folder).removeRecursively();
    }
    std::printf("result: %s\n", ok ? "goal met" : "GOAL MISSED");
    return ok ? 0 : 1;
}
