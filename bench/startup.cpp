// Start-up: from exec to the first painted main window of a solo game (the
// real program, without arguments: it hosts, connects its own client and
// opens the download offer), against a minimal Qt Widgets program of the
// same size in the same run, offscreen and under Xvfb; the median of 20
// runs each. Goal: at most 1.5 times the minimal program.
//
// Both programs tell their first paint on standard error when
// CLIMORA_FIRST_PAINT is set, on the same monotonic clock as the exec time
// taken here; with "quit" they end right after it.
//
// Then, unless --no-lazy-check, the game is run once under gdb with
// breakpoints on what can wait until after the first paint (decoding
// sounds, opening the audio device, the help pages, filling the tally
// window) and on what a solo start needs (the download dialog's picture,
// reading the tally file), and the order of the hits shows what ran first.
//
//   bench_startup [--runs N] [--platform offscreen|xcb|both] [--game PATH]
//                 [--minimal PATH] [--no-lazy-check]
#include "bench/support/Comparison.h"
#include "bench/support/Launcher.h"
#include "bench/support/Stats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

struct Options {
    int runs = 20;
    int warmup = 2;
    bool lazyCheck = true;
    Comparison programs;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            o.runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--no-lazy-check"))
            o.lazyCheck = false;
        else if (!o.programs.takeOption(argc, argv, i))
            return false;
    }
    return true;
}

// One start: exec to first paint in ms, or -1.
double timeOneStart(const QString& program, const QString& platform, const QString& display,
                    bool* ownNetwork) {
    Launcher launcher;
    Launcher::Plan plan;
    plan.program = program;
    plan.platform = platform;
    plan.display = display;
    plan.firstPaint = "quit";
    QString error;
    if (!launcher.start(plan, &error)) {
        std::fprintf(stderr, "cannot start %s: %s\n", qPrintable(program), qPrintable(error));
        return -1;
    }
    *ownNetwork = launcher.ownNetwork();
    const auto painted = launcher.waitFirstPaint(20000);
    if (!launcher.waitExit(10000))
        launcher.stop();
    if (!painted) {
        std::fprintf(stderr, "%s never painted; its output:\n%s\n", qPrintable(program),
                     launcher.output().constData());
        return -1;
    }
    return double(*painted - launcher.execNs()) / 1e6;
}

struct Watched {
    const char* function;
    const char* what;
    bool canWait;
};

const Watched watched[] = {
    {"WavePlayer::decode", "decoding a sound", true},
    {"Mp3Decoder::decode", "decoding a compressed sound", true},
    {"QMediaDevices::defaultAudioOutput", "asking for the audio device", true},
    {"QAudioSink::QAudioSink", "opening the audio device", true},
    {"HelpPages::text", "the text of a help page", true},
    {"Thelp::bringToFront", "showing the help window", true},
    {"Ttallylist::loadchecklist", "filling the tally window's player list", true},
    {"Ttallylist::showPlayer", "showing a followed player's tally", true},
    {"JpegDecoder::decodeFile", "the download dialog's picture (a solo start opens it)", false},
    {"Tlzrw1::Decompress", "reading the tally file (the tally window is made at start)", false},
    {"Ttallylist::loadtally", "listing the followed players (part of reading the tally)", false},
};

// Runs the game once under gdb and reports what was reached before its
// first paint.
bool lazyCheck(const QString& game) {
    if (!QFile::exists("/usr/bin/gdb")) {
        std::printf("lazy check: skipped, gdb is not installed\n");
        return true;
    }
    QTemporaryFile script(QDir::tempPath() + "/climora-gdb-XXXXXX");
    if (!script.open())
        return false;
    QByteArray commands = "set pagination off\nset confirm off\nset breakpoint pending on\n";
    int number = 1;
    auto watch = [&](const QByteArray& function, const QByteArray& label) {
        commands += "break " + function + "\ncommands " + QByteArray::number(number++) +
                    "\nsilent\nprintf \"@hit " + label + "\\n\"\ncontinue\nend\n";
    };
    for (const Watched& w : watched)
        watch(w.function, w.function);
    watch("FirstPaintProbe::nowNs", "first paint");
    commands += "run\nquit\n";
    script.write(commands);
    script.flush();

    Launcher launcher;
    Launcher::Plan plan;
    plan.program = "/usr/bin/gdb";
    plan.arguments = {"-batch", "-nx", "-x", script.fileName(), "--args", game};
    plan.platform = "offscreen";
    plan.firstPaint = "quit";
    if (!launcher.start(plan) || !launcher.waitExit(120000)) {
        launcher.stop();
        std::printf("lazy check: gdb did not finish\n");
        return false;
    }
    const QList<QByteArray> lines = launcher.output().split('\n');
    bool painted = false, ok = true;
    QStringList before, after;
    for (const QByteArray& line : lines) {
        if (!line.startsWith("@hit "))
            continue;
        const QByteArray name = line.mid(5).trimmed();
        if (name == "first paint") {
            painted = true;
            continue;
        }
        for (const Watched& w : watched) {
            if (name != w.function)
                continue;
            const QString entry = QString("%1: %2").arg(w.function, w.what);
            QStringList& list = painted ? after : before;
            if (!list.contains(entry))
                list << entry;
            if (!painted && w.canWait) {
                ok = false;
                list.last() += "  <- CAN WAIT";
            }
        }
    }
    if (!painted) {
        std::printf("lazy check: the first paint was not seen under gdb\n");
        return false;
    }
    std::printf("lazy check (under gdb, offscreen), before the first paint:\n");
    for (const QString& entry : before)
        std::printf("    %s\n", qPrintable(entry));
    if (before.isEmpty())
        std::printf("    nothing that was watched\n");
    std::printf("  after it (until the program ended at its first paint):\n");
    for (const QString& entry : after)
        std::printf("    %s\n", qPrintable(entry));
    if (after.isEmpty())
        std::printf("    nothing\n");
    std::printf("  nothing that can wait decoded before the first paint: %s\n",
                ok ? "met" : "MISSED");
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--runs N] [--no-lazy-check] %s\n", argv[0],
                     Comparison::usage);
        return 2;
    }
    if (!options.programs.prepare())
        return 2;
    const QString game = options.programs.gameCopy();
    const QString& reference = options.programs.minimal;
    std::printf("start-up, exec to first paint: %s against %s, %d runs each (after %d not "
                "counted)\n",
                qPrintable(options.programs.game), qPrintable(QFileInfo(reference).fileName()),
                options.runs, options.warmup);

    bool allMet = true;
    options.programs.forEachPlatform([&](const QString& platform, const QString& display) {
        std::vector<double> minimal, ours;
        bool ownNetwork = true;
        for (int i = 0; i < options.warmup + options.runs; ++i) {
            // Alternating which goes first evens out what one leaves to the other.
            const bool gameFirst = i % 2;
            double a = timeOneStart(gameFirst ? game : reference, platform, display, &ownNetwork);
            double b = timeOneStart(gameFirst ? reference : game, platform, display, &ownNetwork);
            if (gameFirst)
                std::swap(a, b);
            if (i < options.warmup || a < 0 || b < 0)
                continue;
            minimal.push_back(a);
            ours.push_back(b);
        }
        const Summary m = summarize(minimal), g = summarize(ours);
        const double ratio = m.median > 0 ? g.median / m.median : 0;
        const bool met = g.count > 0 && ratio <= 1.5;
        allMet = allMet && met;
        std::printf("%s\n", qPrintable(Comparison::heading(platform, display)));
        std::printf("  minimal Qt window   median %7.1f ms  (min %6.1f, max %6.1f, n=%d)\n",
                    m.median, m.min, m.max, m.count);
        std::printf("  solo game           median %7.1f ms  (min %6.1f, max %6.1f, n=%d)\n",
                    g.median, g.min, g.max, g.count);
        std::printf("  ratio of the medians %.2f (goal <= 1.5): %s; of the fastest runs %.2f%s\n",
                    ratio, met ? "met" : "MISSED", m.min > 0 ? g.min / m.min : 0,
                    ownNetwork ? "" : "  [shared network namespace: port 7772 must be free]");
    });
    if (options.lazyCheck)
        allMet = lazyCheck(game) && allMet;
    return allMet ? 0 : 1;
}
