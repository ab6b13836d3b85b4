#include "ServerHarness.h"

#include <gtest/gtest.h>

namespace {

// Seats 1 to n logged in, a game started (seat 1's turn) and the logs empty.
void startWith(Harness& h, int players) {
    h.seatPlayers(players);
    h.startGame();
    h.clearLogs();
}

void closeColumn(Harness& h, int column, int seat) {
    h.server.game().board().cell(column, Board::top(column)) = Cell{seat, 0};
}

// The seats whose turn began, read from seat 1's messages.
QList<int> turnsSeen(Harness& h) {
    QList<int> seats;
    for (const QByteArray& message : h.take(1))
        if (message.startsWith("CMD_nextplayer+"))
            seats.append(message.mid(15, 1).toInt());
    return seats;
}

} // namespace

TEST(TurnEngine, ASoloStartAsSeenByTheHost) {
    Harness h;
    EXPECT_EQ(h.connect(), 1);
    h.login(1, "You");
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+You"}));
    h.send(1, "CMD_startgame+You+0+");
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_startgame+You+0+",
                                         "CMD_chat+0+Klot plays Classic.|clBlue",
                                         "CMD_nextplayer+1+"}));
}

TEST(TurnEngine, ARollThatFitsNoColumnLosesTheTurnAtOnce) {
    Harness h;
    startWith(h, 3);
    h.send(1, cmd::endturn_(1, "p"));
    h.endPause();
    h.send(2, cmd::endturn_(2, "p"));
    h.endPause();
    ASSERT_EQ(h.server.currentSeat(), 3);
    for (int column : {2, 3, 4})
        closeColumn(h, column, 1);
    h.clearLogs();
    h.pips({1, 1, 2, 2});
    h.send(3, cmd::rollthedice_(3));
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_rolldice+3+f+0+0+1+0+2+1+3+1",
                                         "CMD_endturn+3+n+101+101+101+0", "CMD_postscores+3+0+"}));
    EXPECT_EQ(h.server.pauseTicks(), 5);
    h.endPause();
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_nextplayer+1+"}));
}

TEST(TurnEngine, ASecondRollWithoutPlacementIsRefusedToTheRollerOnly) {
    Harness h;
    startWith(h, 2);
    h.pips({1, 3, 5, 6, 2, 2, 2, 2});
    h.send(1, cmd::rollthedice_(1));
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_rolldice+1+t+0+0+1+2+2+4+3+5"}));
    h.send(1, cmd::rollthedice_(1));
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_rolldice+1+t+0+0+1+2+2+4+3+5", "CMD_cannotroll+1+"}));
    EXPECT_TRUE(h.got(2).isEmpty());
    EXPECT_EQ(h.server.game().dice().values(), (std::array<int, 4>{0, 2, 4, 5}));
}

TEST(TurnEngine, PlacementsAnswerTheChangedCellsOrInvalid) {
    Harness h;
    startWith(h, 2);
    h.server.game().board().cell(7, 3) = Cell{1, 0};
    h.server.game().board().cell(6, 0) = Cell{2, 0};
    h.pips({3, 4, 5, 1});
    h.send(1, cmd::rollthedice_(1));
    h.send(2, cmd::placechip_(2, 7, 0, 1)); // not seat 2's turn: no answer at all
    h.send(1, cmd::placechip_(1, 8, 0, 1)); // 3 + 4 is not 8
    h.send(1, cmd::placechip_(1, 7, 0, 1));
    h.send(1, cmd::placechip_(1, 6, 2, 3));
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_rolldice+1+t+0+2+1+3+2+4+3+0", "CMD_invalid+1+",
                                         "CMD_placechip+1+u+7+3+0+p+7+4+10+d+0+0+0+d+1+0+0",
                                         "CMD_placechip+1+c+6+0+2+p+6+0+10+d+0+0+0+d+1+0+0"
                                         "+d+2+0+0+d+3+0+0"}));
    EXPECT_TRUE(h.got(2).size() == 3);
    h.send(1, cmd::endturn_(1, "p"));
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_mustmove+1+6+0+"}));
    EXPECT_TRUE(h.server.turnOpen());
}

TEST(TurnEngine, KeepingSendsEveryMarkerWithTheFillAtTheTop) {
    Harness h;
    startWith(h, 2);
    Game& game = h.server.game();
    game.board().cell(7, 4).occupant = Board::marker;
    game.board().cell(12, 2).occupant = Board::marker;
    game.setMarkersUsed(2);
    h.send(1, cmd::endturn_(1, "p"));
    EXPECT_EQ(h.take(2),
              QByteArrayList({"CMD_endturn+1+p+7+4+1+0+12+2+1+1", "CMD_postscores+1+1+"}));
    EXPECT_EQ(h.server.pauseTicks(), 2);
    h.endPause();
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_nextplayer+2+"}));
}

TEST(TurnEngine, UseAllRefusesAnEarlyKeep) {
    Harness h;
    h.seatPlayers(2);
    h.startGame("1");
    h.clearLogs();
    h.send(1, cmd::endturn_(1, "p"));
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_useall+1+"}));
    EXPECT_TRUE(h.got(2).isEmpty());
    EXPECT_TRUE(h.server.turnOpen());
}

TEST(TurnEngine, TheThirdCompletedColumnWinsAndNoTurnFollows) {
    Harness h;
    startWith(h, 2);
    closeColumn(h, 2, 1);
    closeColumn(h, 3, 1);
    h.server.game().board().cell(12, 2).occupant = Board::marker;
    h.server.game().setMarkersUsed(1);
    h.send(1, cmd::endturn_(1, "p"));
    EXPECT_EQ(h.take(2),
              QByteArrayList({"CMD_endturn+1+p+12+2+1+1", "CMD_postscores+1+3+", "CMD_winner+A+"}));
    EXPECT_FALSE(h.server.gameRunning());
    EXPECT_FALSE(h.server.anyTimerActive());

    // The next game begins with the seat after the one that won.
    h.startGame();
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_startgame+A+0+", "CMD_nextplayer+2+"}));
}

TEST(TurnEngine, TheComputerPlayerWinsUnderItsFallbackName) {
    Harness h;
    startWith(h, 1);
    h.send(1, cmd::endturn_(1, "p"));
    h.endPause();
    ASSERT_EQ(h.server.currentSeat(), 2);
    Game& game = h.server.game();
    game.board().cell(2, 2).occupant = Board::marker;
    game.board().cell(12, 2).occupant = Board::marker;
    game.board().cell(11, 3).occupant = Board::marker;
    game.setMarkersUsed(3);
    h.pips({5, 6, 1, 1});
    h.clearLogs();
    h.runComputer();
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_rolldice+2+t+0+4+1+5+2+0+3+0",
                                         "CMD_placechip+2+u+11+3+0+p+11+4+10+d+0+0+0+d+1+0+0",
                                         "CMD_endturn+2+p+2+2+2+1+11+4+2+3+12+2+2+1",
                                         "CMD_postscores+2+3+", "CMD_winner+Klot+"}));
    EXPECT_EQ(h.draws.misses(), 0);
}

TEST(TurnEngine, TurnsGoRoundTheSeatsInUseWithSeatTwoAlwaysPlaying) {
    struct Case {
        const char* what;
        std::vector<int> closed; // seats whose connection closes before the game
        QList<int> expected;
    };
    const Case cases[] = {
        {"two players", {}, {1, 2, 1, 2, 1}},
        {"seat 2 free", {2}, {1, 2, 3, 1, 2}},
        {"seats 2 and 3 free, 4 held", {2, 3}, {1, 2, 4, 1, 2}},
    };
    for (const Case& c : cases) {
        Harness h;
        h.seatPlayers(c.closed.empty() ? 2 : 4);
        if (c.closed.size() == 1)
            h.server.connectionClosed(4);
        for (int seat : c.closed)
            h.server.connectionClosed(seat);
        h.startGame();
        closeColumn(h, 2, 4); // the computer's rolls of ones lose at once
        for (int turn = 0; turn < 4; ++turn) {
            const int seat = h.server.currentSeat();
            if (h.server.computerPlayed(seat)) {
                h.pips({1, 1, 1, 1});
                h.runComputer();
            } else {
                h.send(seat, cmd::endturn_(seat, "p"));
            }
            h.endPause();
        }
        EXPECT_EQ(turnsSeen(h), c.expected) << c.what;
    }
}

TEST(TurnEngine, AStartDuringThePauseCancelsIt) {
    Harness h;
    startWith(h, 2);
    h.send(1, cmd::endturn_(1, "p"));
    ASSERT_TRUE(h.server.timer1().isActive());
    h.startGame();
    EXPECT_FALSE(h.server.timer1().isActive());
    h.endPause();
    EXPECT_EQ(turnsSeen(h), QList<int>({2}));
}
