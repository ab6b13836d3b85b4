// The start-up benchmark times a start until the main window's first paint;
// the probe must report exactly once, after that paint, on the clock the
// benchmark reads, and only for the window it watches.
#include "app/FirstPaintProbe.h"
#include "support/EventLoop.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

TEST(FirstPaintProbe, ReportsOnceAfterTheWindowsFirstPaint) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel("child"));
    QWidget other;
    QList<qint64> reports;
    new FirstPaintProbe(&window, [&](qint64 ns) { reports << ns; });

    // Another window's paint is not the watched window's.
    other.show();
    spin(100);
    EXPECT_TRUE(reports.isEmpty());

    const qint64 before = FirstPaintProbe::nowNs();
    window.show();
    ASSERT_TRUE(waitUntil([&] { return !reports.isEmpty(); }));
    EXPECT_GE(reports.first(), before);
    EXPECT_LE(reports.first(), FirstPaintProbe::nowNs());

    window.repaint();
    window.hide();
    window.show();
    spin(100);
    EXPECT_EQ(reports.size(), 1);
}

TEST(FirstPaintProbe, AWindowNeverShownIsNeverReported) {
    QWidget window;
    bool reported = false;
    new FirstPaintProbe(&window, [&](qint64) { reported = true; });
    spin(100);
    EXPECT_FALSE(reported);
}

TEST(FirstPaintProbe, OnlyTheEnvironmentInstallsItInTheProgram) {
    QWidget window;
    qunsetenv(FirstPaintProbe::variable);
    FirstPaintProbe::watchIfAsked(&window);
    EXPECT_TRUE(window.findChildren<FirstPaintProbe*>().isEmpty());
    qputenv(FirstPaintProbe::variable, "1");
    FirstPaintProbe::watchIfAsked(&window);
    qunsetenv(FirstPaintProbe::variable);
    EXPECT_EQ(window.findChildren<FirstPaintProbe*>().size(), 1);
}
