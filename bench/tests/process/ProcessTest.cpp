// The benchmarks' children: the server in a process of its own, whose crash
// the soak test must see, and the window programs whose first paint the
// start-up benchmark times. This program has no Qt application object of its
// own, as the benchmarks that fork have none when they fork.
#include "bench/support/BenchPaths.h"
#include "bench/support/Comparison.h"
#include "bench/support/Launcher.h"
#include "bench/support/Loopback.h"
#include "bench/support/ProcFs.h"
#include "bench/support/ServerProcess.h"

#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(ServerProcess, ServesOnItsPortAndEndsCleanlyWithItsCounters) {
    ServerProcess server;
    QString error;
    ASSERT_TRUE(server.start(ServerProcess::Settings{}, &error)) << error.toStdString();
    EXPECT_GT(server.port(), 0);
    EXPECT_TRUE(server.running());

    const int fd = loopback::connectTo(server.port());
    ASSERT_GE(fd, 0);
    char buffer[64] = {};
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    EXPECT_EQ(QByteArray(buffer, int(got)), QByteArray("CMD_sendlogininfo+1\xFF"));
    const QByteArray login("CMD_logininfo+1+1.0.1+Ann\xFF");
    ASSERT_EQ(::send(fd, login.constData(), size_t(login.size()), 0), login.size());
    const ssize_t answer = ::recv(fd, buffer, sizeof buffer, 0);
    EXPECT_EQ(QByteArray(buffer, int(answer)), QByteArray("CMD_newplayerinfo+1+Ann\xFF"));
    ::close(fd);

    ServerProcess::Counters counters;
    QString how;
    EXPECT_TRUE(server.stop(&counters, &how)) << how.toStdString();
    EXPECT_EQ(how, "exited with status 0");
    EXPECT_EQ(counters.accepted, 1);
    EXPECT_EQ(counters.handled, 1);
    EXPECT_EQ(counters.bytesIn, login.size());
    EXPECT_FALSE(server.running());
}

// The soak test's "nothing crashes" rests on this.
TEST(ServerProcess, ACrashIsToldApartFromAnEnd) {
    ServerProcess server;
    ASSERT_TRUE(server.start(ServerProcess::Settings{}));
    ::kill(server.pid(), SIGSEGV);
    for (int i = 0; i < 200 && server.running(); ++i)
        ::usleep(10000);
    EXPECT_FALSE(server.running());
    QString how;
    EXPECT_FALSE(server.stop(nullptr, &how));
    EXPECT_TRUE(how.startsWith("ended by signal 11")) << how.toStdString();
}

TEST(Launcher, TheMinimalProgramReportsItsFirstPaintAfterItsExec) {
    Launcher launcher;
    Launcher::Plan plan;
    plan.program = MINIMAL_PROGRAM;
    plan.firstPaint = "quit";
    QString error;
    ASSERT_TRUE(launcher.start(plan, &error)) << error.toStdString();
    const auto painted = launcher.waitFirstPaint(20000);
    ASSERT_TRUE(painted.has_value()) << launcher.output().toStdString();
    EXPECT_GT(*painted, launcher.execNs());
    EXPECT_LT(*painted - launcher.execNs(), 20000000000LL);
    int status = -1;
    EXPECT_TRUE(launcher.waitExit(10000, &status)) << "\"quit\" ends it";
    EXPECT_EQ(status, 0);
}

// The real program, started as the start-up benchmark starts it: a solo
// game, alone with its own runtime folder and network, ends at its first
// paint; without the variable it reports nothing.
TEST(Launcher, TheGameReportsItsFirstPaintOnlyWhenAsked) {
    QString folder;
    const QString game = benchpaths::privateCopy(GAME_PROGRAM, &folder);
    ASSERT_FALSE(game.isEmpty());
    {
        Launcher launcher;
        Launcher::Plan plan;
        plan.program = game;
        plan.firstPaint = "quit";
        ASSERT_TRUE(launcher.start(plan));
        ASSERT_TRUE(launcher.waitFirstPaint(20000).has_value()) << launcher.output().toStdString();
        EXPECT_TRUE(launcher.waitExit(10000));
    }
    {
        Launcher launcher;
        Launcher::Plan plan;
        plan.program = game;
        plan.firstPaint.clear();
        ASSERT_TRUE(launcher.start(plan));
        EXPECT_FALSE(launcher.waitFirstPaint(1500).has_value());
        launcher.stop();
    }
    QDir(folder).removeRecursively();
}

// The comparison the start-up, idle and memory benchmarks share: its
// options, the game's private copy (with the modules beside it, gone
// afterwards) and both programs started side by side.
TEST(Comparison, RunsAPrivateCopyOfTheGameBesideTheMinimalProgram) {
    QString folder;
    {
        Comparison programs;
        char name[] = "bench", platform[] = "--platform", which[] = "offscreen", bogus[] = "--x",
             game[] = "--game", path[] = GAME_PROGRAM, minimal[] = "--minimal",
             reference[] = MINIMAL_PROGRAM, other[] = "vga";
        char* argv[] = {name,    platform,  which, game,     path,
                        minimal, reference, bogus, platform, other};
        int i = 1;
        EXPECT_TRUE(programs.takeOption(10, argv, i));
        EXPECT_EQ(i, 2);
        i = 3;
        EXPECT_TRUE(programs.takeOption(10, argv, i));
        i = 5;
        EXPECT_TRUE(programs.takeOption(10, argv, i));
        i = 7;
        EXPECT_FALSE(programs.takeOption(10, argv, i)) << "an unknown option";
        i = 8;
        EXPECT_FALSE(programs.takeOption(10, argv, i)) << "an unknown platform";
        i = 9;
        EXPECT_FALSE(programs.takeOption(10, argv, i)) << "an option without its value";
        EXPECT_EQ(programs.platforms, QStringList{"offscreen"});

        ASSERT_TRUE(programs.prepare());
        folder = QFileInfo(programs.gameCopy()).path();
        EXPECT_NE(folder, QFileInfo(GAME_PROGRAM).path());
        // Every module the program has beside it goes along.
        for (const char* module : {"climora-audio.so", "climora-router.so", "climora-dnssd.so"})
            EXPECT_EQ(QFileInfo::exists(folder + "/" + module),
                      QFileInfo::exists(QFileInfo(GAME_PROGRAM).path() + "/" + module))
                << module;

        QStringList seen;
        const bool met = programs.forEachPair([&](const QString& platform, const QString& display,
                                                  Launcher& ours, Launcher& reference) {
            seen << platform;
            EXPECT_TRUE(display.isEmpty());
            EXPECT_GT(ours.pid(), 0);
            EXPECT_GT(reference.pid(), 0);
            return true;
        });
        EXPECT_TRUE(met);
        EXPECT_EQ(seen, QStringList{"offscreen"});
    }
    EXPECT_FALSE(QFileInfo::exists(folder)) << "the private copy stays behind";
}

TEST(Comparison, AMissingProgramIsRefusedBeforeAnythingStarts) {
    Comparison programs;
    programs.minimal = "/nonexistent/minimal";
    EXPECT_FALSE(programs.prepare());
}

// The flood and hosting benchmarks share a namespace of their own with the
// program they start: a listener outside it is not seen inside, and inside,
// loopback is up and the port is free to take.
TEST(Launcher, AProcessInANetworkOfItsOwnSeesNoOutsideListener) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "a network namespace of its own needs root";
    const int outside = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(outside, 0);
    sockaddr_in address = loopback::address(0);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(outside, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(outside, 1), 0);
    ASSERT_EQ(::getsockname(outside, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const int port = ntohs(address.sin_port);
    ASSERT_TRUE(procfs::listening(port));

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!Launcher::enterOwnNetwork())
            ::_exit(1);
        if (procfs::listening(port))
            ::_exit(2);
        const int inside = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in same = loopback::address(port);
        if (::bind(inside, reinterpret_cast<sockaddr*>(&same), sizeof same) != 0 ||
            ::listen(inside, 1) != 0 || !procfs::listening(port))
            ::_exit(3);
        const int client = loopback::connectTo(port);
        ::_exit(client >= 0 ? 0 : 4);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: no namespace, 2: the outside listener seen, 3: the port not taken, 4: no loopback";
    ::close(outside);
}
