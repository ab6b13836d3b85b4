// Soak test: one game server in a process of its own and nine clients on
// loopback for a bounded time. Eight honest clients play complete games by
// the rules (seat 1 starts them; seated players roll, place legal pairs of
// the dice they were sent and end their turns; the others chat), leave and
// come back now and then; a rogue among them sends random bytes, over-long
// lines, floods, spoofed seats and fields out of range, and drops and remakes
// its connection at random moments.
//
// Checked: every game ends with a winner or is replaced by the host; every
// request of an honest client gets the answer the protocol gives, in time,
// and every game message agrees with the rules; nothing the rogue sends takes
// effect in another's name; connections that break the limits are cut; the
// server's resident memory stays within 5 MB of its level after warm-up; the
// server does not crash.
//
//   bench_soak [--seconds N] [--warmup N] [--seed N]
#include "bench/soak/HonestClient.h"
#include "bench/soak/RogueClient.h"
#include "bench/soak/SoakWorld.h"
#include "bench/support/ProcFs.h"
#include "bench/support/ServerProcess.h"
#include "bench/support/Stats.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace {

struct Options {
    int seconds = 60;
    int warmup = -1;
    unsigned seed = unsigned(std::time(nullptr));
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--seconds") && more)
            options.seconds = std::max(5, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--warmup") && more)
            options.warmup = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--seed") && more)
            options.seed = unsigned(std::strtoul(argv[++i], nullptr, 10));
        else
            return false;
    }
    if (options.warmup < 0)
        options.warmup = std::clamp(options.seconds / 4, 5, 60);
    return true;
}

double mb(qint64 kb) {
    return double(kb) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--seconds N] [--warmup N] [--seed N]\n", argv[0]);
        return 2;
    }

    // Fast computer steps and short pauses between turns, so that many
    // games complete; a short login timeout so that the rogue's silent
    // connections are closed within the run.
    ServerProcess server;
    ServerProcess::Settings settings;
    settings.botSpeedMs = 5;
    settings.pauseTickMs = 5;
    settings.loginTimeoutMs = 3000;
    QString error;
    if (!server.start(settings, &error)) {
        std::fprintf(stderr, "cannot start the server: %s\n", error.toLocal8Bit().constData());
        return 1;
    }

    QCoreApplication app(argc, argv);
    SoakWorld world(options.seed);
    std::printf("soak: %d s (warm-up %d s), seed %u, server pid %d on port %d\n", options.seconds,
                options.warmup, options.seed, int(server.pid()), server.port());
    std::fflush(stdout);

    struct Plan {
        const char* name;
        HonestClient::Role role;
    };
    // Connected in this order, they take seats 1 to 8; the rogue takes 9.
    const std::vector<Plan> specs = {{"Host", {false, false}}, {"Ann", {false, true}},
                                     {"Bo", {true, false}},    {"Cy+Dee", {true, false}},
                                     {"Eve", {true, false}},   {"Fay", {false, false}},
                                     {"Gus", {true, false}},   {"Hal", {false, false}}};
    std::vector<std::unique_ptr<HonestClient>> clients;
    for (const Plan& plan : specs) {
        clients.push_back(
            std::make_unique<HonestClient>(world, server.port(), plan.name, plan.role));
        world.addClient(clients.back().get());
    }
    RogueClient rogue(world, server.port());
    for (size_t i = 0; i < clients.size(); ++i)
        QTimer::singleShot(int(i) * 40, clients[i].get(), [&, i] { clients[i]->start(); });
    QTimer::singleShot(int(clients.size()) * 40 + 100, &rogue, [&] { rogue.start(); });

    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        for (auto& client : clients)
            client->tick();
        rogue.tick();
        world.checkChats(10000000000LL);
    });
    tick.start(100);

    qint64 baselineKb = -1, peakKb = 0, firstKb = -1, lastKb = 0;
    bool crashed = false;
    const qint64 warmupNs = qint64(options.warmup) * 1000000000LL;
    QTimer sample;
    int reports = 0;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        if (!server.running()) {
            crashed = true;
            world.failure("server", "the server process ended during the run");
            QCoreApplication::quit();
            return;
        }
        const qint64 kb = procfs::residentKb(server.pid());
        if (kb <= 0)
            return;
        lastKb = kb;
        if (firstKb < 0)
            firstKb = kb;
        if (SoakWorld::nowNs() >= warmupNs) {
            if (baselineKb < 0)
                baselineKb = kb;
            peakKb = std::max(peakKb, kb);
        }
        const qint64 seconds = SoakWorld::nowNs() / 1000000000LL;
        if (seconds >= (reports + 1) * 60) {
            ++reports;
            std::fprintf(stderr,
                         "  %4lld s: games %lld (won %lld, replaced %lld), requests %lld, "
                         "rogue messages %lld, server %.1f MB, faults %d\n",
                         static_cast<long long>(seconds),
                         static_cast<long long>(world.counters.gamesStarted),
                         static_cast<long long>(world.counters.gamesWon),
                         static_cast<long long>(world.counters.gamesReplaced),
                         static_cast<long long>(world.counters.requests),
                         static_cast<long long>(world.counters.rogueMessages), mb(kb),
                         world.failures());
        }
    });
    sample.start(250);

    QTimer::singleShot(options.seconds * 1000, [&] {
        tick.stop();
        rogue.stop();
        for (auto& client : clients)
            client->stop();
        QTimer::singleShot(300, [] { QCoreApplication::quit(); });
    });
    app.exec();

    ServerProcess::Counters counters;
    QString how;
    const bool clean = server.stop(&counters, &how);
    if (!clean && !crashed) {
        crashed = true;
        world.failure("server", "the server did not end cleanly: " + how);
    }

    // Accounting of the games: the last one may still have been running.
    const SoakWorld::Counters& c = world.counters;
    const qint64 ended = c.gamesWon + c.gamesReplaced;
    const qint64 open = c.gamesStarted - ended;
    if (open < 0 || open > 1)
        world.failure("games", QString("%1 started, %2 won, %3 replaced: %4 did not end")
                                   .arg(c.gamesStarted)
                                   .arg(c.gamesWon)
                                   .arg(c.gamesReplaced)
                                   .arg(open));
    if (c.gamesWon == 0)
        world.failure("games", "no game was won");

    const double growthMb = mb(peakKb - baselineKb);
    const bool memoryOk = baselineKb > 0 && growthMb <= 5.0;
    const Summary answers = summarize(world.answerLatenciesMs);
    const Summary chats = summarize(world.chatLatenciesMs());

    std::printf("server: %lld messages handled, %lld connections accepted, %.1f MB read; %s\n",
                static_cast<long long>(counters.handled), static_cast<long long>(counters.accepted),
                double(counters.bytesIn) / 1048576.0, how.toLocal8Bit().constData());
    std::printf(
        "games: %lld started, %lld won, %lld replaced by the host, %lld running at the end, "
        "%lld stalls\n",
        static_cast<long long>(c.gamesStarted), static_cast<long long>(c.gamesWon),
        static_cast<long long>(c.gamesReplaced), static_cast<long long>(open),
        static_cast<long long>(c.stalls));
    std::printf("honest clients: %lld requests (%lld meant to be refused), %lld answers, %lld "
                "messages received, %lld chat lines, %lld leaves and returns, %lld joins during a "
                "game, %lld turns played by the computer for a watcher\n",
                static_cast<long long>(c.requests), static_cast<long long>(c.refusalsAsked),
                static_cast<long long>(c.answers), static_cast<long long>(c.messagesReceived),
                static_cast<long long>(c.chatsSent), static_cast<long long>(c.churns),
                static_cast<long long>(c.joinsDuringGame), static_cast<long long>(c.computerTurns));
    std::printf("answer times (request to own answer): median %.2f ms, p99 %.2f ms, max %.1f ms\n",
                answers.median, answers.p99, answers.max);
    std::printf("chat lines (send to the last client holding it): median %.2f ms, p99 %.2f ms, "
                "max %.1f ms\n",
                chats.median, chats.p99, chats.max);
    std::printf(
        "rogue: %lld messages (%lld hostile), %lld connections, cut by the server %lld times as it "
        "should (over-long lines %lld, floods %lld, unread backlogs %lld), removed by the host "
        "%lld, refused as a connection too many %lld; effects seen by honest clients: %lld\n",
        static_cast<long long>(c.rogueMessages), static_cast<long long>(c.rogueHostile),
        static_cast<long long>(c.rogueConnections), static_cast<long long>(c.rogueCut),
        static_cast<long long>(c.rogueOversize), static_cast<long long>(c.rogueFloods),
        static_cast<long long>(c.rogueBacklogs), static_cast<long long>(c.rogueKicked),
        static_cast<long long>(c.rogueFullRefused), static_cast<long long>(c.rogueEffects));
    for (const auto& [kind, count] : c.rogueKinds)
        std::printf("    %-44s %lld\n", kind.toLocal8Bit().constData(),
                    static_cast<long long>(count));
    std::printf("server memory: %.1f MB at start, %.1f MB after warm-up, peak %.1f MB, %.1f MB at "
                "the end: growth %.2f MB (goal <= 5 MB) %s\n",
                mb(firstKb), mb(baselineKb), mb(peakKb), mb(lastKb), growthMb,
                memoryOk ? "met" : "MISSED");
    const bool ok = world.failures() == 0 && memoryOk && !crashed;
    std::printf("SUMMARY games=%lld won=%lld replaced=%lld messages_handled=%lld "
                "rogue_messages=%lld rogue_hostile=%lld rogue_refused=%lld peak_server_mb=%.1f "
                "growth_mb=%.2f "
                "crashes=%d faults=%d -> %s\n",
                static_cast<long long>(c.gamesStarted), static_cast<long long>(c.gamesWon),
                static_cast<long long>(c.gamesReplaced), static_cast<long long>(counters.handled),
                static_cast<long long>(c.rogueMessages), static_cast<long long>(c.rogueHostile),
                static_cast<long long>(c.rogueHostile - c.rogueEffects), mb(peakKb), growthMb,
                crashed ? 1 : 0, world.failures(), ok ? "PASS" : "FAIL");
    if (!ok)
        for (const QString& line : world.failureTexts())
            std::printf("  fault: %s\n", line.toLocal8Bit().constData());
    return ok ? 0 : 1;
}
