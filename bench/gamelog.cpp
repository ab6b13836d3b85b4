// Measures the game's log with its window open: what appending one line
// costs once the log holds its 10,000 lines (each append then drops the
// oldest), the window shown. Target: under 50 microseconds per line. Also
// what a line costs when the window is painted every 100 lines, and when
// each line is followed by a turn of the event loop (layout and paint).
//
// Usage: bench_gamelog [lines]     (runs offscreen unless QT_QPA_PLATFORM is set)
#include "client/GameLog.h"
#include "bench/support/Stats.h"
#include "client/GameLogWindow.h"
#include "client/TableModel.h"
#include "ui/Prompter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class QuietPrompter : public Prompter {
public:
    void message(const QString&) override {}
    bool question(const QString&) override { return true; }
};

QString logLine(int i) {
    static const char* const names[] = {"Ann", "Bo", "Cyrus", "Dee"};
    const QString name = names[i % 4];
    switch (i % 4) {
    case 0:
        return name + "'s turn";
    case 1:
        return name + QString(" rolled %1 %2 %3 %4").arg(i % 6 + 1).arg(2).arg(5).arg(6);
    case 2:
        return name + QString(" placed 2+5 on column %1").arg(i % 11 + 2);
    default:
        return name + " ended the turn and kept the progress";
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1, atoi(argv[1])) : 20000;

    TableModel model;
    GameLog log(model);
    QuietPrompter prompter;
    GameLogWindow window(log, prompter);
    window.show();
    QApplication::processEvents();
    for (int i = 0; i < GameLog::maxLines; ++i)
        log.append(logLine(i));
    window.view()->viewport()->repaint();
    QApplication::processEvents();

    std::vector<double> append;
    append.reserve(lines);
    for (int i = 0; i < lines; ++i) {
        QElapsedTimer t;
        t.start();
        log.append(logLine(i));
        append.push_back(double(t.nsecsElapsed()) / 1e3);
    }
    double sum = 0;
    for (double us : append)
        sum += us;

    QElapsedTimer painted;
    painted.start();
    for (int i = 0; i < lines; ++i) {
        log.append(logLine(i));
        if (i % 100 == 99)
            window.view()->viewport()->repaint();
    }
    const double paintedUs = double(painted.nsecsElapsed()) / 1e3 / lines;

    // One line per turn of the event loop, as messages arrive: the append,
    // then the view's layout and paint that it brings.
    std::vector<double> full;
    for (int i = 0; i < 2000; ++i) {
        QElapsedTimer t;
        t.start();
        log.append(logLine(i));
        QApplication::processEvents();
        full.push_back(double(t.nsecsElapsed()) / 1e3);
    }

    std::printf("lines kept: %d (window rows %d)\n", log.lineCount(),
                window.view()->model()->rowCount());
    std::printf("append at the bound, window open: mean %.2f us, median %.2f us, p99 %.2f us\n",
                sum / lines, percentile(append, 50), percentile(append, 99));
    std::printf("append with a repaint every 100 lines: %.2f us per line\n", paintedUs);
    std::printf("append then the event loop's layout and paint: median %.2f us, p99 %.2f us\n",
                percentile(full, 50), percentile(full, 99));
    const bool met = sum / lines < 50;
    std::printf("target: under 50 us per line: %s\n", met ? "met" : "NOT met");
    return met ? 0 : 1;
}
