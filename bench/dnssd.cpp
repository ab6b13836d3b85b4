// DNS-SD: how soon a newly hosted game shows in another copy's list of games
// on this network. Against a private Avahi daemon (its own bus, its own
// network namespace; as root, see tests/net/dnssdlab), a GameBrowser browses
// while a GameAnnouncer starts announcing; measured from start() until the
// browser's list holds the game, with the browser's default gathering of
// announcements included, median of 5 runs. Goal: under 2 s.
//
//   bench_dnssd [--runs N]
#include "bench/support/Spin.h"
#include "bench/support/Stats.h"
#include "dnssdlab/DnssdSandbox.h"
#include "net/DnssdModule.h"
#include "net/GameAnnouncer.h"
#include "net/GameBrowser.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

bool listed(const GameBrowser& browser, const QString& name) {
    for (const FoundGame& game : browser.games())
        if (game.name == name)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
            return 2;
        }
    }
    QCoreApplication app(argc, argv);
    const QString unavailable = DnssdSandbox::unavailableReason();
    if (!unavailable.isEmpty()) {
        std::fprintf(stderr, "bench_dnssd: no private Avahi daemon: %s\n", qPrintable(unavailable));
        return 2;
    }
    DnssdSandbox sandbox;
    if (!sandbox.start()) {
        std::fprintf(stderr, "bench_dnssd: %s\n", qPrintable(sandbox.error()));
        return 2;
    }
    DnssdModule module(QStringList{QStringLiteral(CLIMORA_DNSSD_MODULE)});
    GameBrowser browser(module);
    browser.start();
    if (browser.state() != GameBrowser::State::Browsing) {
        std::fprintf(stderr, "bench_dnssd: browser %s\n", qPrintable(browser.unavailableReason()));
        return 2;
    }

    std::vector<double> times;
    bool allSeen = true;
    for (int run = 0; run < runs; ++run) {
        const QString name = QStringLiteral("Bench %1").arg(run + 1);
        GameAnnouncer announcer(module);
        QElapsedTimer clock;
        clock.start();
        announcer.start(name, 1);
        const bool seen = spinUntil([&] { return listed(browser, name); }, 10000, 1);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        std::printf("run %d: %s after %.0f ms (announced as \"%s\")\n", run + 1,
                    seen ? "listed" : "NOT listed", ms, qPrintable(announcer.announcedName()));
        allSeen = allSeen && seen;
        times.push_back(seen ? ms : 10000.0);
        announcer.stop();
        spinUntil([&] { return !listed(browser, name); }, 5000, 1);
    }
    const Summary summary = summarize(times);
    const bool met = allSeen && summary.median < 2000.0;
    std::printf("announce to listed: median %.0f ms, min %.0f ms, max %.0f ms over %d runs\n",
                summary.median, summary.min, summary.max, summary.count);
    std::printf("goal (median under 2000 ms, every run listed): %s\n", met ? "met" : "NOT met");
    return met ? 0 : 1;
}
