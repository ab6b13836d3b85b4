// Idle: a solo game left alone after start-up, against the minimal Qt
// program idling beside it. Measured over 30 s from /proc: how often the
// process's threads were scheduled in (their wake-ups, schedstat) and the
// processor time they used (schedstat, cross-checked with utime + stime),
// summed over /proc/PID/task/*. Goal: fewer than 5 wake-ups a second and
// under 0.2 % of one core. With --strace the game's system calls are
// counted for a few seconds as well, to see what wakes it.
//
//   bench_idle [--seconds N] [--settle N] [--platform offscreen|xcb|both]
//              [--game PATH] [--minimal PATH] [--strace]
#include "bench/support/BenchPaths.h"
#include "bench/support/Launcher.h"
#include "bench/support/ProcFs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Options {
    int seconds = 30;
    int settle = 3;
    QStringList platforms{"offscreen", "xcb"};
    QString game = benchpaths::defaultGame();
    QString minimal = benchpaths::defaultMinimal();
    bool strace = false;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--seconds") && more)
            o.seconds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--settle") && more)
            o.settle = std::max(0, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--platform") && more) {
            const QString p = argv[++i];
            o.platforms = p == "both" ? QStringList{"offscreen", "xcb"} : QStringList{p};
        } else if (!std::strcmp(argv[i], "--game") && more)
            o.game = argv[++i];
        else if (!std::strcmp(argv[i], "--minimal") && more)
            o.minimal = argv[++i];
        else if (!std::strcmp(argv[i], "--strace"))
            o.strace = true;
        else
            return false;
    }
    return true;
}

struct Idle {
    double wakeupsPerSecond = 0;
    double cpuPercent = 0;     // from schedstat
    double tickCpuPercent = 0; // from utime + stime
    QList<procfs::ThreadSample> threads;
};

Idle measure(const QList<procfs::ThreadSample>& before, const QList<procfs::ThreadSample>& after,
             double seconds) {
    Idle idle;
    idle.threads = procfs::threadDelta(before, after);
    qint64 runs = 0, ns = 0, ticks = 0;
    for (const procfs::ThreadSample& t : idle.threads) {
        runs += t.cpu.runs;
        ns += t.cpu.runNs;
        ticks += t.cpu.ticks;
    }
    idle.wakeupsPerSecond = double(runs) / seconds;
    idle.cpuPercent = double(ns) / (seconds * 1e9) * 100.0;
    idle.tickCpuPercent = double(ticks) / double(procfs::ticksPerSecond()) / seconds * 100.0;
    return idle;
}

void print(const char* what, const Idle& idle) {
    std::printf("  %-18s %6.2f wake-ups/s  %6.3f %% of a core (%.3f %% by clock ticks)\n", what,
                idle.wakeupsPerSecond, idle.cpuPercent, idle.tickCpuPercent);
    for (const procfs::ThreadSample& t : idle.threads)
        if (t.cpu.runs > 0)
            std::printf("      thread %-16s %6d runs  %8.3f ms\n", qPrintable(t.name),
                        int(t.cpu.runs), double(t.cpu.runNs) / 1e6);
}

// Counts the game's system calls for a few seconds.
void straceSummary(pid_t pid, int seconds) {
    if (!QFile::exists("/usr/bin/strace")) {
        std::printf("  strace is not installed\n");
        return;
    }
    std::fflush(stdout);
    const pid_t tracer = ::fork();
    if (tracer == 0) {
        const QByteArray target = QByteArray::number(pid);
        ::execl("/usr/bin/strace", "strace", "-f", "-c", "-p", target.constData(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::sleep(unsigned(seconds));
    ::kill(tracer, SIGINT);
    ::waitpid(tracer, nullptr, 0);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--seconds N] [--settle N] [--platform offscreen|xcb|both] "
                     "[--game PATH] [--minimal PATH] [--strace]\n",
                     argv[0]);
        return 2;
    }
    QString folder;
    const QString game = benchpaths::privateCopy(options.game, &folder);
    if (game.isEmpty() || !QFileInfo(options.minimal).isExecutable()) {
        std::fprintf(stderr, "cannot find the game or the minimal program\n");
        return 2;
    }
    std::printf("idle: %d s after start-up (+%d s to settle), the solo game against the minimal "
                "Qt window\n",
                options.seconds, options.settle);
    bool allMet = true;
    for (const QString& platform : options.platforms) {
        VirtualDisplay xvfb;
        QString display;
        if (platform == "xcb") {
            QString error;
            if (!xvfb.start(&error)) {
                std::printf("%s: skipped, %s\n", qPrintable(platform), qPrintable(error));
                continue;
            }
            display = xvfb.display();
        }
        Launcher ours, minimal;
        Launcher::Plan plan;
        plan.platform = platform;
        plan.display = display;
        plan.program = game;
        QString error;
        if (!ours.start(plan, &error)) {
            std::printf("cannot start the game: %s\n", qPrintable(error));
            return 1;
        }
        plan.program = options.minimal;
        if (!minimal.start(plan, &error)) {
            std::printf("cannot start the minimal program: %s\n", qPrintable(error));
            return 1;
        }
        if (!ours.waitFirstPaint(20000) || !minimal.waitFirstPaint(20000)) {
            std::printf("%s: a program did not paint; the game said:\n%s\n", qPrintable(platform),
                        ours.output().constData());
            allMet = false;
            continue;
        }
        ::sleep(unsigned(options.settle));
        const auto oursBefore = procfs::threads(ours.pid());
        const auto minimalBefore = procfs::threads(minimal.pid());
        for (int s = 0; s < options.seconds; ++s) {
            ::sleep(1);
            ours.output(); // keeps its output pipe drained
            minimal.output();
        }
        const Idle game_ = measure(oursBefore, procfs::threads(ours.pid()), options.seconds);
        const Idle reference =
            measure(minimalBefore, procfs::threads(minimal.pid()), options.seconds);
        const bool met = game_.wakeupsPerSecond < 5.0 && game_.cpuPercent < 0.2;
        allMet = allMet && met;
        std::printf("%s%s:\n", qPrintable(platform),
                    platform == "xcb" ? qPrintable(" (Xvfb " + display + ")") : "");
        print("minimal Qt window", reference);
        print("solo game", game_);
        std::printf("  goal (< 5 wake-ups/s, < 0.2 %% of a core): %s\n", met ? "met" : "MISSED");
        if (options.strace) {
            std::printf("  system calls of the game over 5 s:\n");
            straceSummary(ours.pid(), 5);
        }
    }
    QDir(folder).removeRecursively();
    return allMet ? 0 : 1;
}
