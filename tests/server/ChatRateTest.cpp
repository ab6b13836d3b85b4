#include "ServerHarness.h"

#include "server/ChatRate.h"
#include "server/SockPeer.h"
#include "support/EventLoop.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using V = ChatRate::Verdict;

const QByteArray notice = cmd::chat_(0, TServer::floodNotice, TServer::floodNoticeColour);

int count(const QByteArrayList& messages, const QByteArray& prefix) {
    int n = 0;
    for (const QByteArray& message : messages)
        n += message.startsWith(prefix) ? 1 : 0;
    return n;
}

} // namespace

// The bucket: what passes, what is dropped, and when the sender is told.
TEST(ChatRate, BurstPassesThenDropsAndTellsOncePerFlood) {
    struct Step {
        qint64 atMs;
        qsizetype bytes;
        V expected;
        const char* why;
    };
    const Step steps[] = {
        {0, 20, V::pass, "1st of the burst"},
        {0, 20, V::pass, "2nd"},
        {0, 20, V::pass, "3rd"},
        {0, 20, V::pass, "4th"},
        {0, 20, V::pass, "5th"},
        {0, 20, V::pass, "6th"},
        {0, 20, V::pass, "7th"},
        {0, 20, V::pass, "8th"},
        {0, 20, V::pass, "9th"},
        {0, 20, V::pass, "10th, the bucket is empty"},
        {0, 20, V::dropAndTell, "the flood"},
        {500, 20, V::drop, "told already"},
        {999, 20, V::drop, "not a second yet"},
        {1000, 20, V::pass, "one token back"},
        {1000, 20, V::drop, "gone again"},
        {2000, 20, V::pass, "typing pace"},
        {3000, 20, V::pass, "typing pace"},
        {3000, 20, V::drop, "same flood: not told"},
        {13000, 20, V::pass, "quiet until full"},
        {13000, 9 * 8192, V::pass, "costs 9"},
        {13000, 20, V::dropAndTell, "a new flood is told again"},
    };
    ChatRate rate;
    rate.reset(0);
    for (const Step& step : steps)
        EXPECT_EQ(rate.take(step.atMs, step.bytes), step.expected) << step.why;
}

TEST(ChatRate, LongLinesCostMoreButTheLongestTheQueueTakesStillFits) {
    EXPECT_EQ(ChatRate::cost(0), 1);
    EXPECT_EQ(ChatRate::cost(8192), 1);
    EXPECT_EQ(ChatRate::cost(8193), 2);
    EXPECT_LE(ChatRate::cost(ReceiveQueue::maxPending), ChatRate::burst);
    ChatRate rate;
    rate.reset(100);
    EXPECT_EQ(rate.take(100, ReceiveQueue::maxPending), V::pass);
    EXPECT_EQ(rate.take(100, ReceiveQueue::maxPending), V::dropAndTell);
    EXPECT_EQ(rate.take(50, ReceiveQueue::maxPending), V::drop)
        << "a clock going back refills nothing";
    EXPECT_EQ(rate.take(50, 10), V::pass) << "what is left still pays for a short line";
}

// A peer repeating chat lines at full speed: the table gets the burst and
// then the typing pace; the flooder alone gets one system line, in the blue
// of the client's own notices; lines it names another seat in count too.
TEST(ChatFlood, LinesBeyondTheRateAreDroppedAndOnlyTheSenderIsToldOnce) {
    Harness h;
    h.seatPlayers(3);
    QByteArray flood;
    for (int i = 0; i < 40; ++i)
        flood += cmd::frame(i % 4 == 3 ? cmd::action_(2, "waves", "clRed")
                                       : cmd::chat_(i % 5 == 4 ? 3 : 2, "spam", "clBlack"));
    h.server.feed(2, flood);
    EXPECT_EQ(h.server.waitingMessages(), ChatRate::burst);
    EXPECT_EQ(h.take(2), QByteArrayList({notice}));
    h.dispatch();
    // Of the burst of ten, two name seat 3 and are ignored.
    const QByteArrayList table = h.take(1);
    EXPECT_EQ(count(table, "CMD_chat+2+B chats: spam|clBlack"), 6);
    EXPECT_EQ(count(table, "CMD_action+2+B waves|clRed"), 2);
    EXPECT_EQ(table.size(), 8);
    EXPECT_EQ(h.take(3), table);
    EXPECT_EQ(count(h.take(2), "CMD_chat+0+"), 0);

    // Sounds count too, and the same flood is not told twice.
    h.nowMs += 500;
    h.send(2, cmd::playasound_(2, 4));
    EXPECT_TRUE(h.take(2).isEmpty());
    h.nowMs += 1000;
    h.send(2, cmd::playasound_(2, 4));
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_playasound+2+wave4+"}));

    // Other connections have buckets of their own, and other requests none.
    h.clearLogs();
    h.send(3, cmd::chat_(3, "hello", "clBlack"));
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_chat+3+C chats: hello|clBlack"}));
    for (int i = 0; i < 30; ++i)
        h.send(2, cmd::justwatch_(2, 2));
    EXPECT_EQ(h.take(1).size(), 30);
}

TEST(ChatFlood, ANewConnectionInAFloodersSeatStartsWithAFullBucket) {
    Harness h;
    h.seatPlayers(2);
    for (int i = 0; i < 12; ++i)
        h.send(2, cmd::chat_(2, "spam", "clBlack"));
    h.server.connectionClosed(2);
    ASSERT_EQ(h.connect(), 2);
    h.login(2, "Bo");
    h.clearLogs();
    for (int i = 0; i < ChatRate::burst; ++i)
        h.send(2, cmd::chat_(2, "hi", "clBlack"));
    EXPECT_EQ(h.take(1).size(), ChatRate::burst);
    EXPECT_FALSE(h.take(2).contains(notice));
}

// A player on a slow link (160 KiB/s) beside a peer that sends long chat
// lines as fast as it can: the flooder's share of the output is bounded, so
// the slow reader keeps its seat and its unread backlog stays far below the
// limit at which the server would cut it.
TEST(ChatFlood, ASlowReaderStaysConnectedWhileAnotherPeerFloods) {
    FixedBotSpeed speed;
    TServer server(speed);
    server.Sock1().setPortName("0");
    server.Sock1().setListen(true);
    const int port = server.Sock1().localPort();

    auto rawConnect = [&](int receiveBuffer) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return fd;
    };
    const int slow = rawConnect(16384);
    ASSERT_TRUE(waitUntil([&] { return server.seats().inUse(1); }));
    const QByteArray login = cmd::frame(cmd::logininfo_(1, cmd::version, "Slow"));
    ASSERT_EQ(::send(slow, login.constData(), size_t(login.size()), 0), login.size());
    ASSERT_TRUE(waitUntil([&] { return server.seats()[1].loggedIn; }));

    TSock flooder;
    flooder.setHostName("127.0.0.1");
    flooder.setPortName(QString::number(port));
    flooder.OnRead = [](TSock* s, int) { s->Receive(); };
    flooder.Open();
    ASSERT_TRUE(waitUntil([&] { return server.seats().inUse(2); }));
    flooder.Send(cmd::frame(cmd::logininfo_(2, cmd::version, "Flood")));
    ASSERT_TRUE(waitUntil([&] { return server.seats()[2].loggedIn; }));

    const QByteArray line = cmd::frame(cmd::chat_(2, QByteArray(60000, 'F'), "clBlack"));
    const int readPerTick = 160 * 1024 / 50; // 160 KiB/s in 20 ms steps
    char area[65536];
    qint64 offered = 0;
    int worstBacklog = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 4000 && server.seats().inUse(1)) {
        while (flooder.pendingOutput() < 4 * line.size()) {
            flooder.Send(line);
            offered += line.size();
        }
        spin(20);
        ::recv(slow, area, size_t(readPerTick), MSG_DONTWAIT);
        if (const TSock* sock = server.seats()[1].sock)
            worstBacklog = std::max(worstBacklog, sock->pendingOutput());
    }
    EXPECT_TRUE(server.seats().inUse(1));
    EXPECT_GT(offered, 5 * 1024 * 1024) << "the flooder did not send at full speed";
    EXPECT_LT(worstBacklog, SockPeer::maxBacklog / 4);
    ::close(slow);
}
