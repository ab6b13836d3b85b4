// Memory: the resident size of a solo game after start-up, against the
// minimal Qt program of the same size measured in the same run. Read from
// /proc after the first paint and a few seconds to settle (the game has then
// hosted, connected its own client, logged in and opened the download
// offer). Goal: under 60 MB resident.
//
//   bench_memory [--settle N] [--platform offscreen|xcb|both] [--game PATH]
//                [--minimal PATH]
#include "bench/support/Comparison.h"
#include "bench/support/Launcher.h"
#include "bench/support/ProcFs.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

struct Options {
    int settle = 3;
    Comparison programs;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--settle") && i + 1 < argc)
            o.settle = std::max(0, std::atoi(argv[++i]));
        else if (!o.programs.takeOption(argc, argv, i))
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
        std::fprintf(stderr, "usage: %s [--settle N] %s\n", argv[0], Comparison::usage);
        return 2;
    }
    if (!options.programs.prepare())
        return 2;
    std::printf("memory: resident size %d s after the first paint\n", options.settle);
    const bool allMet = options.programs.forEachPair([&](const QString& platform,
                                                         const QString& display, Launcher& ours,
                                                         Launcher& minimal) {
        ::sleep(unsigned(options.settle));
        ours.output();
        minimal.output();
        const Reading g = read(ours.pid()), m = read(minimal.pid());
        const bool met = g.rss > 0 && g.rss < 60.0;
        std::printf("%s\n", qPrintable(Comparison::heading(platform, display)));
        std::printf("  minimal Qt window  resident %6.1f MB  (peak %6.1f, proportional %6.1f)\n",
                    m.rss, m.peak, m.pss);
        std::printf("  solo game          resident %6.1f MB  (peak %6.1f, proportional %6.1f)\n",
                    g.rss, g.peak, g.pss);
        std::printf("  goal (< 60 MB resident): %s, %.1f MB above the minimal window\n",
                    met ? "met" : "MISSED", g.rss - m.rss);
        return met;
    });
    return allMet ? 0 : 1;
}
