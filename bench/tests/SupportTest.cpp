// The benchmarks' readings: order statistics, /proc parsing, and the
// launcher that starts a program alone for a measurement.
#include "bench/support/Launcher.h"
#include "bench/support/ProcFs.h"
#include "bench/support/Stats.h"

#include <gtest/gtest.h>
#include <unistd.h>

TEST(Stats, PercentilesAreNearestRankAndTheMedianSplitsEvenSamples) {
    EXPECT_EQ(percentile({}, 50), 0);
    EXPECT_EQ(median({}), 0);
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i)
        hundred.push_back(i);
    EXPECT_EQ(percentile(hundred, 99), 99);
    EXPECT_EQ(percentile(hundred, 100), 100);
    EXPECT_EQ(percentile(hundred, 0), 1);
    EXPECT_EQ(percentile({5, 1, 3}, 50), 3);
    EXPECT_EQ(median({4, 1, 3, 2}), 2.5);
    const Summary s = summarize({3, 1, 2});
    EXPECT_EQ(s.count, 3);
    EXPECT_EQ(s.min, 1);
    EXPECT_EQ(s.max, 3);
    EXPECT_EQ(s.median, 2);
    EXPECT_EQ(s.mean, 2);
}

// A thread name may hold blanks and parentheses; the fields after it are
// counted from the last ")".
TEST(ProcFs, StatFieldsAreCountedFromTheLastParenthesis) {
    EXPECT_EQ(
        procfs::parseStatTicks("42 (a) b (c)) S 1 42 42 0 -1 4194560 100 0 0 0 17 5 0 0 20 0"), 22);
    EXPECT_EQ(procfs::parseStatTicks("42 (plain) S 1 42 42 0 -1 4194560 100 0 0 0 7 3 0"), 10);
    EXPECT_EQ(procfs::parseStatTicks("42 (cut) S 1 2"), -1);
    EXPECT_EQ(procfs::parseStatTicks("no parenthesis"), -1);
}

TEST(ProcFs, SchedstatAndStatusLinesAreRead) {
    procfs::CpuSample sample;
    ASSERT_TRUE(procfs::parseSchedstat("123456 789 42\n", sample));
    EXPECT_EQ(sample.runNs, 123456);
    EXPECT_EQ(sample.runs, 42);
    EXPECT_FALSE(procfs::parseSchedstat("1 2", sample));
    const QByteArray status = "Name:\tx\nVmHWM:\t   2048 kB\nVmRSS:\t   1024 kB\n";
    EXPECT_EQ(procfs::parseVmRssKb(status), 1024);
    EXPECT_EQ(procfs::parseVmHwmKb(status), 2048);
    EXPECT_EQ(procfs::parseVmRssKb("Name:\tx\n"), -1);
    EXPECT_EQ(procfs::parsePssKb("55-66 ---p 0 00:00 0 [rollup]\nRss: 10 kB\nPss: 7 kB\n"), 7);
}

// Rows of /proc/net/tcp and tcp6: the port is the local address's, in
// hexadecimal; only state 0A is a listener, and the remote port never counts.
TEST(ProcFs, AListenerIsFoundByItsLocalPortAndStateOnly) {
    const QByteArray tcp =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid\n"
        "   0: 0100007F:1E5C 0100007F:9C40 01 00000000:00000000 00:00000000 00000000     0\n"
        "   1: 0100007F:1F90 0100007F:1E5C 0A 00000000:00000000 00:00000000 00000000     0\n";
    const QByteArray tcp6 =
        "  sl  local_address                         remote_address                        st\n"
        "   0: 00000000000000000000000000000000:1E5C 00000000000000000000000000000000:0000 0A\n";
    struct Case {
        const char* what;
        QByteArray table;
        int port;
        bool listening;
    };
    const Case cases[] = {
        {"connected on the port, or listening with it as the remote end", tcp, 7772, false},
        {"listener in a later row", tcp, 8080, true},
        {"dual-stack wildcard listener", tcp6, 7772, true},
        {"another port", tcp6, 7773, false},
        {"heading only", tcp.left(tcp.indexOf('\n') + 1), 7772, false},
        {"empty", QByteArray(), 7772, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(procfs::parseListening(c.table, c.port), c.listening) << c.what;
}

TEST(ProcFs, ACommandLineIsSplitAtItsZeroBytes) {
    const QStringList own = procfs::commandLine(getpid());
    ASSERT_FALSE(own.isEmpty());
    EXPECT_TRUE(own.first().endsWith("test_bench")) << own.first().toStdString();
    EXPECT_TRUE(procfs::commandLine(-1).isEmpty());
}

TEST(ProcFs, ThisProcessIsReadAndItsDeltasCountOnlyTheTimeBetween) {
    EXPECT_GT(procfs::residentKb(getpid()), 1000);
    const auto before = procfs::threads(getpid());
    ASSERT_FALSE(before.isEmpty());
    volatile double x = 0;
    for (int i = 0; i < 3000000; ++i)
        x = x + i;
    const auto after = procfs::threads(getpid());
    const auto delta = procfs::threadDelta(before, after);
    qint64 ns = 0;
    for (const auto& t : delta)
        ns += t.cpu.runNs;
    EXPECT_GT(ns, 0);
    EXPECT_LT(ns, procfs::cpu(getpid()).runNs) << "the delta is less than the whole";
}

TEST(Launcher, FirstPaintLineIsTakenOnlyWhenComplete) {
    EXPECT_EQ(Launcher::firstPaintIn("noise\nfirst-paint 1234\nmore"), 1234);
    EXPECT_FALSE(Launcher::firstPaintIn("first-paint 12").has_value());
    EXPECT_FALSE(Launcher::firstPaintIn("first-paint x\n").has_value());
    EXPECT_FALSE(Launcher::firstPaintIn("nothing\n").has_value());
}

// The child gets a fresh private runtime folder and home, the first-paint
// variable, and (as root) a network namespace of its own with loopback up.
TEST(Launcher, ChildRunsAloneAndItsReportIsOnTheSameClock) {
    Launcher launcher;
    Launcher::Plan plan;
    plan.program = "/bin/sh";
    plan.arguments = {"-c", "echo runtime=$XDG_RUNTIME_DIR; stat -c mode=%a $XDG_RUNTIME_DIR; "
                            "echo home=$HOME; echo paint=$CLIMORA_FIRST_PAINT; "
                            "echo net=$(readlink /proc/self/ns/net); "
                            "echo lo=$(cat /sys/class/net/lo/flags); echo first-paint 1"};
    plan.firstPaint = "quit";
    QString error;
    ASSERT_TRUE(launcher.start(plan, &error)) << error.toStdString();
    EXPECT_GT(launcher.execNs(), 0);
    int status = -1;
    ASSERT_TRUE(launcher.waitExit(5000, &status));
    EXPECT_EQ(status, 0);
    const QByteArray out = launcher.output();
    EXPECT_TRUE(out.contains("mode=700")) << out.toStdString();
    EXPECT_TRUE(out.contains("paint=quit"));
    EXPECT_FALSE(out.contains("runtime=\n"));
    EXPECT_NE(out.indexOf("runtime=/"), -1);
    EXPECT_EQ(Launcher::firstPaintIn(out), 1);
    char link[128] = {};
    ASSERT_GT(::readlink("/proc/self/ns/net", link, sizeof link - 1), 0);
    if (launcher.ownNetwork()) {
        EXPECT_FALSE(out.contains("net=" + QByteArray(link) + "\n")) << out.toStdString();
        EXPECT_TRUE(out.contains("lo=0x9")) << out.toStdString();
    } else {
        EXPECT_TRUE(out.contains("net=" + QByteArray(link) + "\n")) << out.toStdString();
    }
}

TEST(Launcher, AProgramThatCannotStartIsReportedAndReaped) {
    Launcher launcher;
    Launcher::Plan plan;
    plan.program = "/nonexistent/program";
    ASSERT_TRUE(launcher.start(plan));
    int status = 0;
    ASSERT_TRUE(launcher.waitExit(5000, &status));
    EXPECT_TRUE(launcher.output().contains("exec failed"));
    EXPECT_FALSE(launcher.waitFirstPaint(100).has_value());
}
