// Memory: the resident size of a solo game after start-up, against the
// minimal Qt program of the same size measured in the same run. Read from
// /proc after the first paint and a few seconds to settle (the game has then
// hosted, connected its own client, logged in and opened the download
// offer). Goal: under 60 MB resident.
//
//   bench_memory [--settle N] [--platform offscreen|xcb|both] [--game PATH]
//                [--minimal PATH]
#include "bench/support/BenchPaths.h"
#include "bench/support/Launcher.h"
#include "bench/support/ProcFs.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

struct Options {
    int settle = 3;
    QStringList platforms{"offscreen", "xcb"};
    QString game = benchpaths::defaultGame();
    QString minimal = benchpaths::defaultMinimal();
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--settle") && more)
            o.settle = std::max(0, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--platform") && more) {
            const QString p = argv[++i];
            o.platforms = p == "both" ? QStringList{"offscreen", "xcb"} : QStringList{p};
        } else if (!std::strcmp(argv[i], "--game") && more)
            o.game = argv[++i];
        else if (!std::strcmp(argv[i], "--minimal") && more)
            o.minimal = argv[++i];
        else
            return false;
    }
    return true;
}

struct Reading {
    double rss = 0, peak = 0, pss = 0;
};

Reading read(pid_t pid) {
    return {double(procfs::residentKb(pid)) / 1024.0, double(procfs::peakResidentKb(pid)) / 1024.0,
            double(procfs::proportionalKb(pid)) / 1024.0};
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--settle N] [--platform offscreen|xcb|both] [--game PATH] "
                     "[--minimal PATH]\n",
                     argv[0]);
        return 2;
    }
    QString folder;
    const QString game = benchpaths::privateCopy(options.game, &folder);
    if (game.isEmpty() || !QFileInfo(options.minimal).isExecutable()) {
        std::fprintf(stderr, "cannot find the game or the minimal program\n");
        return 2;
    }
    std::printf("memory: resident size %d s after the first paint\n", options.settle);
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
        if (!ours.start(plan, &error) ||
            !(plan.program = options.minimal, minimal.start(plan, &error))) {
            std::printf("cannot start: %s\n", qPrintable(error));
            return 1;
        }
        if (!ours.waitFirstPaint(20000) || !minimal.waitFirstPaint(20000)) {
            std::printf("%s: a program did not paint\n", qPrintable(platform));
            allMet = false;
            continue;
        }
        ::sleep(unsigned(options.settle));
        ours.output();
        minimal.output();
        const Reading g = read(ours.pid()), m = read(minimal.pid());
        const bool met = g.rss > 0 && g.rss < 60.0;
        allMet = allMet && met;
        std::printf("%s%s:\n", qPrintable(platform),
                    platform == "xcb" ? qPrintable(" (Xvfb " + display + ")") : "");
        std::printf("  minimal Qt window  resident %6.1f MB  (peak %6.1f, proportional %6.1f)\n",
                    m.rss, m.peak, m.pss);
        std::printf("  solo game          resident %6.1f MB  (peak %6.1f, proportional %6.1f)\n",
                    g.rss, g.peak, g.pss);
        std::printf("  goal (< 60 MB resident): %s, %.1f MB above the minimal window\n",
                    met ? "met" : "MISSED", g.rss - m.rss);
    }
    QDir(folder).removeRecursively();
    return allMet ? 0 : 1;
}
