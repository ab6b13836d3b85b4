#include "ServerHarness.h"

#include <gtest/gtest.h>

namespace {
const QByteArray ff(1, char(0xFF));
} // namespace

TEST(ServerFraming, TwoMessagesInOneReadAreHandledInOrder) {
    Harness h;
    h.seatPlayers(2);
    h.server.feed(2, cmd::frame("CMD_chat+2+one|clBlack") + cmd::frame("CMD_chat+2+two|clBlack"));
    EXPECT_EQ(h.server.waitingMessages(), 2);
    h.dispatch();
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_chat+2+B chats: one|clBlack",
                                         "CMD_chat+2+B chats: two|clBlack"}));
}

TEST(ServerFraming, ASplitMessageIsHandledOnceWhenItsEndArrives) {
    Harness h;
    h.seatPlayers(2);
    h.server.feed(2, "CMD_chat+2+hel");
    h.dispatch();
    EXPECT_TRUE(h.got(1).isEmpty());
    h.server.feed(2, "lo|clBlack" + ff);
    h.dispatch();
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_chat+2+B chats: hello|clBlack"}));
}

TEST(ServerFraming, AnFFInsideAChatLineCutsItThere) {
    Harness h;
    h.seatPlayers(2);
    h.send(2, "CMD_chat+2+he" + ff + "llo|clBlack");
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_chat+2+B chats: he"}));
}

TEST(ServerFraming, NamesWithPlusReachEveryoneUnchanged) {
    Harness h;
    h.connect();
    h.login(1, "A+B");
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+A+B"}));
    h.connect();
    h.login(2, "C+D+");
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+C+D+",
                                         "CMD_existingplayers+1+A+B"}));
    h.server.connectionClosed(1);
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_playerdisconnected+1+A+B"}));
}

TEST(ServerSeats, AFreedSeatIsGivenToTheNextConnection) {
    Harness h;
    h.seatPlayers(3);
    h.server.connectionClosed(2);
    EXPECT_TRUE(h.logs[2]->released);
    EXPECT_FALSE(h.server.seats().inUse(2));
    EXPECT_EQ(h.connect(), 2);
    EXPECT_EQ(h.server.seatCount(), 3);
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_sendlogininfo+2"}));
}

TEST(ServerSeats, TheTenthConnectionGetsOnlyFullAndIsDropped) {
    Harness h;
    for (int seat = 1; seat <= 9; ++seat)
        ASSERT_EQ(h.connect(), seat);
    h.clearLogs();
    EXPECT_EQ(h.connect(), 0);
    EXPECT_EQ(h.logs[10]->messages, QByteArrayList({"CMD_full+"}));
    EXPECT_TRUE(h.logs[10]->closed);
    EXPECT_TRUE(h.logs[10]->released);
    EXPECT_EQ(h.server.seatCount(), 9);
    for (int seat = 1; seat <= 9; ++seat) {
        EXPECT_TRUE(h.got(seat).isEmpty());
        EXPECT_TRUE(h.server.seats().inUse(seat));
    }
}

TEST(ServerSeats, AWrongVersionIsReportedButKeepsTheSeat) {
    Harness h;
    h.seatPlayers(2);
    h.connect();
    h.login(3, "Ann", "1.0.0");
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_newplayerinfo+3+Ann", "CMD_havewrongversion+Ann"}));
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_newplayerinfo+3+Ann"}));
    EXPECT_EQ(h.take(3), QByteArrayList({"CMD_sendlogininfo+3", "CMD_newplayerinfo+3+Ann",
                                         "CMD_existingplayers+1+A", "CMD_existingplayers+2+B",
                                         "CMD_wrongversion+"}));
    EXPECT_TRUE(h.server.seats().inUse(3));
    EXPECT_FALSE(h.logs[3]->closed);
}

TEST(ServerSeats, ChatActionsAndSoundsAreRelayedWithTheSendersName) {
    Harness h;
    h.connect();
    h.login(1, "A");
    h.connect();
    h.login(2, "Bo");
    h.clearLogs();
    h.send(2, "CMD_chat+2+hello|clBlack");
    h.send(2, "CMD_action+2+waves|$00FF0000");
    h.send(2, "CMD_playasound+2+wave7+");
    const QByteArrayList expected = {"CMD_chat+2+Bo chats: hello|clBlack",
                                     "CMD_action+2+Bo waves|$00FF0000", "CMD_playasound+2+wave7+"};
    EXPECT_EQ(h.take(1), expected);
    EXPECT_EQ(h.take(2), expected);
}

TEST(ServerSeats, OnlyTheHostCanRemoveAPlayer) {
    Harness h;
    h.seatPlayers(3);
    h.send(2, "CMD_kickhim+2+3+");
    EXPECT_TRUE(h.server.seats().inUse(3));
    EXPECT_TRUE(h.got(1).isEmpty());
    h.send(1, "CMD_kickhim+1+3+");
    EXPECT_TRUE(h.logs[3]->closed);
    EXPECT_FALSE(h.server.seats().inUse(3));
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_playerdisconnected+3+C"}));
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_playerdisconnected+3+C"}));
    EXPECT_TRUE(h.got(3).isEmpty());
    // A second close report for the freed seat does nothing.
    h.server.connectionClosed(3);
    EXPECT_TRUE(h.got(1).isEmpty());
}

TEST(ServerSeats, JustWatchOutsideAGameOnlyEchoesStopping) {
    Harness h;
    h.seatPlayers(2);
    h.send(2, "CMD_justwatch+2+1");
    EXPECT_TRUE(h.got(1).isEmpty());
    h.send(2, "CMD_justwatch+2+2");
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_justwatching+2+2"}));
    h.send(1, "CMD_justwatch+6+1");
    h.send(1, "CMD_justwatch+2+3");
    EXPECT_TRUE(h.got(1).isEmpty());
}

TEST(ServerSeats, ALoginDuringAGameGetsTheWholeBoard) {
    Harness h;
    h.seatPlayers(1);
    h.startGame("1");
    h.pips({3, 4, 6, 1});
    h.send(1, cmd::rollthedice_(1));
    h.send(1, cmd::placechip_(1, 7, 0, 1));
    h.server.game().board().cell(12, 2) = Cell{2, 0};
    h.connect(); // seat 2, taking over from the computer player
    h.login(2, "Bo");
    EXPECT_EQ(h.take(2).last(), "CMD_gamestats+2+1+1+d+0+10+0+0+d+1+10+0+0+d+2+5+1+0+d+3+0+1+0"
                                "+c+7+0+10+0+c+12+2+2+0");
}
