#include "ServerHarness.h"

#include <gtest/gtest.h>

// The queue serves the connections in turn: however many messages others
// keep waiting, one connection's next message is at most one round away,
// and each connection's messages keep their order.
TEST(QueueFairness, TakesOneMessageFromEachConnectionInTurn) {
    ReceiveQueue queue;
    for (int seat : {2, 3, 5})
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(queue.feed(seat, cmd::frame(QByteArray::number(seat * 10 + i))));
    ASSERT_TRUE(queue.feed(9, cmd::frame("90")));
    QByteArrayList order;
    while (!queue.isEmpty()) {
        const ReceiveQueue::Entry entry = queue.take();
        EXPECT_EQ(entry.text.left(1), QByteArray::number(entry.seat));
        order << entry.text;
    }
    EXPECT_EQ(order, QByteArrayList({"20", "30", "50", "90", "21", "31", "51", "22", "32", "52"}));
}

TEST(QueueFairness, AnAdmitFilterDropsAtArrivalAndDroppedLinesTakeNoRoom) {
    ReceiveQueue queue;
    QByteArray many;
    for (int i = 0; i < ReceiveQueue::maxWaiting + 50; ++i)
        many += cmd::frame(i % 2 ? "keep" : "drop");
    EXPECT_FALSE(queue.feed(4, many)); // over the limit without a filter
    queue.dropSeat(4);
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_TRUE(queue.feed(4, many, [](const QByteArray& m) { return m == "keep"; }));
    EXPECT_EQ(queue.waiting(4), (ReceiveQueue::maxWaiting + 50) / 2);
    EXPECT_EQ(queue.size(), queue.waiting(4));
}

// Seven peers keep 250 requests each waiting (requests out of turn, which
// pass the chat rate). An honest player's chat line comes up within one
// round of the dispatcher, not after the 1,750 requests queued before it;
// a roll of the player whose turn it is likewise.
TEST(QueueFairness, SevenFloodingPeersDelayAnHonestLineByOneRoundAtMost) {
    Harness h;
    h.seatPlayers(8);
    h.startGame();
    h.clearLogs();
    for (int seat = 2; seat <= 8; ++seat) {
        QByteArray burst;
        for (int i = 0; i < 250; ++i)
            burst += cmd::frame(cmd::rollthedice_(seat));
        h.server.feed(seat, burst);
    }
    ASSERT_EQ(h.server.waitingMessages(), 7 * 250);
    h.server.feed(1, cmd::frame(cmd::chat_(1, "still there?", "clBlack")) +
                         cmd::frame(cmd::rollthedice_(1)));
    h.pips({3, 4, 5, 1});
    int ticks = 0;
    while (h.got(2).size() < 2 && ticks < 100) {
        h.server.socktimerTimer();
        ++ticks;
    }
    EXPECT_LE(ticks, 2 * 8);
    ASSERT_EQ(h.got(2).size(), 2);
    EXPECT_EQ(h.got(2)[0], "CMD_chat+1+A chats: still there?|clBlack");
    EXPECT_TRUE(h.got(2)[1].startsWith("CMD_rolldice+1+t+"));
    EXPECT_EQ(h.server.waitingMessages(), 7 * 250 - (ticks - 2));
}
