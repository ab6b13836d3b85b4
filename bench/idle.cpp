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
#include "bench/support/Comparison.h"
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
    bool strace = false;
    Comparison programs;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--seconds") && more)
            o.seconds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--settle") && more)
            o.settle = std::max(0, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--strace"))
            o.strace = true;
        else if (!o.programs.takeOption(argc, argv, i))
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
        std::fprintf(stderr, "usage: %s [--seconds N] [--settle N] [--strace] %s\n", argv[0],
                     Comparison::usage);
        return 2;
    }
    if (!options.programs.prepare())
        return 2;
    std::printf("idle: %d s after start-up (+%d s to settle), the solo game against the minimal "
                "Qt window\n",
                options.seconds, options.settle);
    const bool allMet = options.programs.forEachPair(
        [&](const QString& platform, const QString& display, Launcher& ours, Launcher& minimal) {
            ::sleep(unsigned(options.settle));
            const auto oursBefore = procfs::threads(ours.pid());
            const auto minimalBefore = procfs::threads(minimal.pid());
            for (int s = 0; s < options.seconds; ++s) {
                ::sleep(1);
                ours.output(); // keeps its output pipe drained
                minimal.output();
            }
            const Idle game = measure(oursBefore, procfs::threads(ours.pid()), options.seconds);
            const Idle reference =
                measure(minimalBefore, procfs::threads(minimal.pid()), options.seconds);
            const bool met = game.wakeupsPerSecond < 5.0 && game.cpuPercent < 0.2;
            std::printf("%s\n", qPrintable(Comparison::heading(platform, display)));
            print("minimal Qt window", reference);
            print("solo game", game);
            std::printf("  goal (< 5 wake-ups/s, < 0.2 %% of a core): %s\n",
                        met ? "met" : "MISSED");
            if (options.strace) {
                std::printf("  system calls of the game over 5 s:\n");
                straceSummary(ours.pid(), 5);
            }
            return met;
        });
    return allMet ? 0 : 1;
}
