#include "ServerHarness.h"

#include <gtest/gtest.h>

namespace {

// One person in seat 1 whose first turn is over: seat 2 (Klot) is to move.
void toKlotsTurn(Harness& h) {
    h.seatPlayers(1);
    h.startGame();
    h.send(1, cmd::endturn_(1, "p"));
    h.endPause();
    h.clearLogs();
}

} // namespace

// A whole computer turn with scripted dice and draws: every step is one
// request through the same operations and messages as a person's.
TEST(ComputerSeat, KlotPlaysATurnStepByStepUntilItsPointsSuffice) {
    Harness h;
    toKlotsTurn(h);
    ASSERT_TRUE(h.server.computertimer().isActive());
    EXPECT_EQ(h.server.computertimerTag(), TServer::rollStep);
    h.pips({2, 3, 4, 5, 6, 6, 6, 6, 1, 1, 1, 1});
    h.draws.push({0, 0, 3, 0, 0, 0, 0, 0, 7});
    EXPECT_EQ(h.runComputer(), 11);
    EXPECT_EQ(h.take(1), QByteArrayList({
                             "CMD_rolldice+2+t+0+1+1+2+2+3+3+4",
                             "CMD_placechip+2+p+5+0+10+d+0+0+0+d+1+0+0", // opens 5: free
                             // 4 + 5 advances nothing, the 3-in-10 draw fails: roll again
                             "CMD_rolldice+2+t+0+5+1+5+2+5+3+5",
                             "CMD_placechip+2+p+12+0+10+d+0+0+0+d+1+0+0",
                             "CMD_placechip+2+u+12+0+0+p+12+1+10+d+0+0+0+d+1+0+0+d+2+0+0+d+3+0+0",
                             "CMD_rolldice+2+t+0+0+1+0+2+0+3+0",
                             "CMD_placechip+2+p+2+0+10+d+0+0+0+d+1+0+0", // lucky draw opens 2
                             "CMD_placechip+2+u+2+0+0+p+2+1+10+d+0+0+0+d+1+0+0+d+2+0+0+d+3+0+0",
                             "CMD_endturn+2+p+2+1+2+0+5+0+2+0+12+1+2+0", // 42 points beat 27
                             "CMD_postscores+2+0+",
                         }));
    EXPECT_EQ(h.draws.misses(), 0);
    EXPECT_EQ(h.server.computer().turnPoints(), 42);
    EXPECT_FALSE(h.server.computertimer().isActive());
    EXPECT_EQ(h.server.pauseTicks(), 2);
}

TEST(ComputerSeat, TheBotSpeedIsReadAtEveryStep) {
    Harness h;
    h.speed.ms = 750;
    toKlotsTurn(h);
    EXPECT_EQ(h.server.computertimer().interval(), 750);
    h.speed.ms = 400;
    h.pips({2, 3, 4, 5});
    h.server.computertimerTimer(); // rolls
    EXPECT_EQ(h.server.computertimer().interval(), 400);
    EXPECT_EQ(h.server.computertimerTag(), TServer::playStep);
    h.speed.ms = 1000;
    h.draws.push({0, 0});
    h.server.computertimerTimer(); // places
    EXPECT_EQ(h.server.computertimer().interval(), 1000);
}

TEST(ComputerSeat, AWatchingPlayersTurnIsPlayedUntilThePlayerTakesItBack) {
    Harness h;
    h.seatPlayers(2);
    h.startGame();
    h.clearLogs();
    h.send(1, "CMD_justwatch+1+1");
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_justwatching+1+1"}));
    EXPECT_EQ(h.server.computertimerTag(), TServer::playStep);
    h.pips({2, 3, 4, 5});
    h.server.computertimerTimer(); // no dice yet: a roll step follows
    h.server.computertimerTimer();
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_rolldice+1+t+0+1+1+2+2+3+3+4"}));

    h.send(1, "CMD_justwatch+1+2");
    h.server.computertimerTimer(); // finds the seat played by hand again
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_justwatching+1+2"}));
    EXPECT_FALSE(h.server.computertimer().isActive());
    h.send(1, cmd::placechip_(1, 5, 0, 1));
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_placechip+1+p+5+0+10+d+0+0+0+d+1+0+0"}));
}

// A computer-played turn must not stall on a refused request: a watching
// player's own bad placement ends the turn (kept when a die was unavailable).
TEST(ComputerSeat, ARefusedPlacementForAComputerPlayedSeatEndsItsTurn) {
    Harness h;
    h.seatPlayers(2);
    h.startGame();
    h.send(1, "CMD_justwatch+1+1");
    h.clearLogs();
    h.send(1, cmd::placechip_(1, 7, 0, 1)); // nothing rolled yet
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_invalid+1+", "CMD_endturn+1+p+101+101+101+0",
                                         "CMD_postscores+1+0+"}));
    EXPECT_FALSE(h.server.turnOpen());
}

// The current player's connection closes: the turn ends once, kept if the
// rules allow it and lost if not, and the seat is skipped from then on.
TEST(ComputerSeat, ACurrentPlayerWhoLeavesEndsTheTurnExactlyOnce) {
    struct Case {
        const char* what;
        bool coverChip;
        QByteArray endturn;
    };
    const Case cases[] = {
        {"progress kept", false, "CMD_endturn+3+p+7+0+3+0"},
        {"a covered chip loses it", true, "CMD_endturn+3+n+7+0+1+0"},
    };
    for (const Case& c : cases) {
        Harness h;
        h.seatPlayers(3);
        h.startGame();
        h.send(1, cmd::endturn_(1, "p"));
        h.endPause();
        h.send(2, cmd::endturn_(2, "p"));
        h.endPause();
        if (c.coverChip)
            h.server.game().board().cell(7, 0) = Cell{1, 0};
        h.pips({3, 4, 1, 1});
        h.send(3, cmd::rollthedice_(3));
        h.send(3, cmd::placechip_(3, 7, 0, 1));
        h.clearLogs();
        h.server.connectionClosed(3);
        h.server.connectionClosed(3);
        EXPECT_EQ(h.take(1),
                  QByteArrayList({"CMD_playerdisconnected+3+C", c.endturn, "CMD_postscores+3+0+"}))
            << c.what;
        h.endPause();
        EXPECT_EQ(h.take(1), QByteArrayList({"CMD_nextplayer+1+"})) << c.what;
    }
}

TEST(ComputerSeat, ThePersonInSeatTwoLeavingHandsTheSeatToKlot) {
    Harness h;
    h.seatPlayers(2);
    h.startGame();
    h.server.connectionClosed(2);
    h.send(1, cmd::endturn_(1, "p"));
    h.endPause();
    EXPECT_EQ(h.server.currentSeat(), 2);
    EXPECT_TRUE(h.server.computerPlayed(2));
    EXPECT_EQ(h.server.computertimerTag(), TServer::rollStep);
}
