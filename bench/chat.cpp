// Measures the chat view with a long chat: how long appending one more line
// takes (shown and painted) once 20,000 lines are in the view, and how much
// memory those lines take. Targets: under 1 ms per line (median) and under
// 40 MB for the 20,000 lines. Then a flood of 3,000 lines of 21,600 words
// each, for the cost of such a line and the memory it leaves.
//
// Usage: bench_chat [lines]        (runs offscreen unless QT_QPA_PLATFORM is set)
#include "bench/support/Stats.h"
#include "client/ClientServices.h"
#include "social/ChatDisplay.h"
#include "social/ChatView.h"
#include "ui/Prompter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

class QuietPrompter : public Prompter {
public:
    void message(const QString&) override {}
    bool question(const QString&) override { return true; }
};

class BenchServices : public ClientServices {
public:
    ClientState& state() override { return m_state; }
    void send(const QByteArray&) override {}
    void systemLine(const QString&) override {}
    void playsounds(const QString&) override {}
    Prompter& prompter() override { return m_prompter; }
    void loadSettings() override {}
    void saveSettings() override {}
    bool turnSoundNew() const override { return false; }
    void setJustWatchTicked(bool) override {}
    void recordGame(const QString&) override {}
    void showGameStart() override {}
    void closeMainWindow() override {}

private:
    ClientState m_state;
    QuietPrompter m_prompter;
};

// Resident memory of this process in bytes.
qint64 residentBytes() {
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// A mix like a real chat: talk, actions, smileys, links and system lines.
QByteArray chatLine(int i) {
    static const char* const names[] = {"Ann", "Bo", "Cyrus", "Dee"};
    const QByteArray name = names[i % 4];
    const QByteArray seat = QByteArray::number(1 + i % 4);
    switch (i % 6) {
    case 0:
        return seat + "+" + name + " chats: that was a lucky roll, number " +
               QByteArray::number(i) + "|clBlue";
    case 1:
        return seat + "+" + name + " says: Way To Go!|clGreen";
    case 2:
        return seat + "+" + name + " chats: look at www.example" + QByteArray::number(i) +
               ".org for the rules :)#12|$00336699";
    case 3:
        return "0+" + name + " has started a game.|clBlue";
    case 4:
        return seat + "+" + name + " chats: one more column and I win:)#10:)#15 hehe|clRed";
    default:
        return seat + "+" + name + " chats: " + QByteArray(60, 'z') + " long words wrap|clBlack";
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1, atoi(argv[1])) : 20000;

    BenchServices services;
    QWidget board;
    board.resize(764, 526);
    ChatDisplay chat(services.prompter(), services, &board);
    board.show();
    QApplication::processEvents();

    const qint64 before = residentBytes();
    QElapsedTimer fill;
    fill.start();
    for (int i = 0; i < lines; ++i) {
        chat.chatrecieved(chatLine(i));
        if (i % 500 == 0)
            QApplication::processEvents();
    }
    chat.view()->viewport()->repaint();
    QApplication::processEvents();
    const double fillSeconds = double(fill.nsecsElapsed()) / 1e9;
    const qint64 after = residentBytes();

    // One more line at a time: appended, laid out, scrolled and painted.
    std::vector<double> append;
    for (int i = 0; i < 501; ++i) {
        QElapsedTimer t;
        t.start();
        chat.chatrecieved(chatLine(lines + i));
        chat.view()->viewport()->repaint();
        append.push_back(double(t.nsecsElapsed()) / 1e6);
    }

    // For reference: a change of text size lays every line out again.
    QElapsedTimer relayout;
    relayout.start();
    chat.setTextSize(12);
    chat.view()->viewport()->repaint();
    const double relayoutMs = double(relayout.nsecsElapsed()) / 1e6;

    // A peer repeating a line of 21,600 short words: what one such line
    // costs, and how far the memory grows over many of them.
    QByteArray flood = "3+Rogue chats: ";
    for (int w = 0; w < 21600; ++w)
        flood += "ab ";
    flood += "|clRed";
    const qint64 floodBefore = residentBytes();
    std::vector<double> floodAppend;
    for (int i = 0; i < 3000; ++i) {
        QElapsedTimer t;
        t.start();
        chat.chatrecieved(flood);
        if (i % 100 == 0)
            chat.view()->viewport()->repaint();
        floodAppend.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const double floodMb = double(residentBytes() - floodBefore) / (1024.0 * 1024.0);

    const double memoryMb = double(after - before) / (1024.0 * 1024.0);
    const double medianMs = median(append);
    std::printf("lines in view:            %d\n", lines);
    std::printf("filling the view:         %.2f s (%.1f us per line)\n", fillSeconds,
                fillSeconds * 1e6 / lines);
    std::printf("memory for the lines:     %.1f MB (target < 40 MB)\n", memoryMb);
    std::printf("append one line, median:  %.3f ms (target < 1 ms)\n", medianMs);
    std::printf("append one line, p90/max: %.3f / %.3f ms\n", percentile(append, 90),
                *std::max_element(append.begin(), append.end()));
    std::printf("relayout of all lines:    %.0f ms (text size change)\n", relayoutMs);
    std::printf("flood line, median/max:   %.3f / %.3f ms (21,600 words each)\n",
                median(floodAppend), *std::max_element(floodAppend.begin(), floodAppend.end()));
    std::printf("memory after 3,000 more:  %+.1f MB\n", floodMb);
    const bool ok = medianMs < 1.0 && memoryMb < 40.0;
    std::printf("%s\n", ok ? "within targets" : "OUTSIDE TARGETS");
    return ok ? 0 : 1;
}
