// The soak test's clients against a real server in this process, and
// against a scripted server that does what the real one must not: they must
// play whole games without raising a false alarm, and they must raise one
// when something is done in their name or against the rules.
#include "bench/soak/HonestClient.h"
#include "bench/soak/RogueClient.h"
#include "bench/soak/SoakWorld.h"
#include "net/TSock.h"
#include "protocol/Commands.h"
#include "protocol/StreamCutter.h"
#include "server/BotSpeedSource.h"
#include "server/TServer.h"
#include "support/EventLoop.h"

#include <QTimer>

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

class Fast : public BotSpeedSource {
public:
    int botSpeedMs() const override { return 1; }
};

// A server on an ephemeral port with the given clients, all ticked as the
// soak program does.
class Table : public ::testing::Test {
protected:
    void SetUp() override {
        server.setPauseTickMs(1);
        server.setLoginTimeoutMs(2000);
        server.Sock1().setPortName("0");
        server.Sock1().setListen(true);
        port = server.Sock1().localPort();
        QObject::connect(&ticker, &QTimer::timeout, [this] {
            for (auto& c : clients)
                c->tick();
            if (rogue)
                rogue->tick();
            world.checkChats(5000000000LL);
        });
        ticker.start(100);
    }
    void TearDown() override {
        ticker.stop();
        if (rogue)
            rogue->stop();
        for (auto& c : clients)
            c->stop();
        spin(50);
    }
    HonestClient& add(const char* name, HonestClient::Role role = {}) {
        clients.push_back(std::make_unique<HonestClient>(world, port, name, role));
        world.addClient(clients.back().get());
        clients.back()->start();
        // One at a time, so that the seats follow the order.
        EXPECT_TRUE(waitUntil([&] { return clients.back()->loggedIn(); }));
        return *clients.back();
    }
    QString faults() const { return world.failureTexts().join("\n"); }

    Fast speed;
    TServer server{speed};
    SoakWorld world{7};
    int port = 0;
    std::vector<std::unique_ptr<HonestClient>> clients;
    std::unique_ptr<RogueClient> rogue;
    QTimer ticker;
};

// A scripted server: one connection, and whatever the test sends on it.
class FakeServer {
public:
    FakeServer() {
        listener.setPortName("0");
        listener.OnAccept = [this](TSock* l) {
            TSock* s = nullptr;
            if (l->Accept(s) && s) {
                peer = s;
                s->OnRead = [this](TSock* from, int) {
                    for (const QByteArray& m : cutter.feed(from->Receive()))
                        received << m;
                };
                send(cmd::sendlogininfo_(1));
            }
        };
        listener.setListen(true);
    }
    int port() const { return listener.localPort(); }
    void send(const QByteArray& message) { peer->Send(cmd::frame(message)); }
    TSock listener;
    TSock* peer = nullptr;
    StreamCutter cutter;
    QList<QByteArray> received;
};

} // namespace

TEST_F(Table, TwoPlayersFinishGamesWithoutAFalseAlarm) {
    add("Host");
    add("Ann");
    ASSERT_TRUE(waitUntil([&] { return world.counters.gamesWon >= 2; }, 60000))
        << faults().toStdString();
    EXPECT_EQ(world.failures(), 0) << faults().toStdString();
    EXPECT_GE(world.counters.gamesStarted, 2);
    EXPECT_GT(world.counters.answers, 20);
}

// A spectator's lines reach every client present, and the seated players'
// turns go on meanwhile; one who watches hands its turns to the computer.
TEST_F(Table, ChatReachesEveryoneAndAWatcherHandsItsTurnsToTheComputer) {
    add("Host");
    add("Ann", {false, true});
    add("Eve");
    ASSERT_TRUE(waitUntil(
        [&] { return world.chatLatenciesMs().size() >= 3 && world.counters.computerTurns >= 1; },
        60000))
        << faults().toStdString();
    EXPECT_EQ(world.failures(), 0) << faults().toStdString();
}

TEST_F(Table, TheRogueAchievesNothingAndIsCutWhenItBreaksTheLimits) {
    add("Host");
    add("Ann");
    rogue = std::make_unique<RogueClient>(world, port);
    rogue->start();
    spin(6000);
    EXPECT_EQ(world.failures(), 0) << faults().toStdString();
    EXPECT_GT(world.counters.rogueHostile, 20);
    EXPECT_EQ(world.counters.rogueEffects, 0);
    EXPECT_GE(world.counters.rogueConnections, 1);
}

// What the real server never does must not pass unnoticed: a move in the
// client's name, a game start the host did not ask for, a placement the
// rules do not give.
TEST(SoakClientAlarms, AMoveInTheClientsNameAndAnIllegalPlacementAreReported) {
    FakeServer fake;
    SoakWorld world(3);
    HonestClient host(world, fake.port(), "Host", {});
    world.addClient(&host);
    host.start();
    ASSERT_TRUE(waitUntil([&] { return fake.received.size() >= 1; }));
    EXPECT_EQ(fake.received.first(), cmd::logininfo_(1, cmd::version, "Host"));
    fake.send(cmd::newplayerinfo_(1, "Host"));
    ASSERT_TRUE(waitUntil([&] { return host.loggedIn(); }));

    fake.send(cmd::startgame_("Mallory", "0"));
    ASSERT_TRUE(waitUntil([&] { return world.failures() >= 1; }));
    EXPECT_TRUE(world.failureTexts().last().contains("did not ask for"));

    fake.send(cmd::nextplayer_(2));
    fake.send(cmd::rolldice_(2, true, {2, 3, 5, 5}));
    // Faces 3 and 4 make 7, not 8.
    fake.send("CMD_placechip+2+p+8+0+10+d+0+0+0+d+1+0+0");
    ASSERT_TRUE(waitUntil([&] { return world.failures() >= 2; }));
    EXPECT_TRUE(world.failureTexts().last().contains("illegal placement"))
        << world.failureTexts().last().toStdString();
    host.stop();
}

TEST(SoakClientAlarms, ALineInTheNameOfAPlayerWhoNeverSentItIsReported) {
    FakeServer fake;
    SoakWorld world(3);
    HonestClient host(world, fake.port(), "Host", {});
    world.addClient(&host);
    host.start();
    ASSERT_TRUE(waitUntil([&] { return fake.received.size() >= 1; }));
    fake.send(cmd::newplayerinfo_(1, "Host"));
    ASSERT_TRUE(waitUntil([&] { return host.loggedIn(); }));
    fake.send(cmd::chatRelay_(1, "Host", "I resign|clBlack"));
    ASSERT_TRUE(waitUntil([&] { return world.failures() >= 1; }));
    EXPECT_EQ(world.counters.rogueEffects, 1);
    EXPECT_TRUE(world.failureTexts().last().contains("did not send"));
    host.stop();
}
