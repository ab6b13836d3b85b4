#include "ServerHarness.h"

#include "support/EventLoop.h"

#include "net/TSock.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Seats 1 (A) and 2 (B); seat 1 has rolled 3, 4, 5, 1 and may place.
void rolledTurn(Harness& h) {
    h.seatPlayers(2);
    h.startGame();
    h.pips({3, 4, 5, 1});
    h.send(1, cmd::rollthedice_(1));
    h.clearLogs();
}

bool boardEmpty(const TServer& server) {
    for (int column = 2; column <= 12; ++column)
        for (int position = 0; position <= 12; ++position)
            if (server.game().board().cell(column, position).occupant != 0)
                return false;
    return true;
}

} // namespace

// A connection acts only for its own seat, whatever seat its message names.
TEST(MendedFaults, RequestsNamingAnotherSeatAreIgnored) {
    Harness h;
    rolledTurn(h);
    const QByteArray forged[] = {
        "CMD_rollthedice+1+",         "CMD_placechip+1+7+0+1+",     "CMD_endturn+1+p+",
        "CMD_chat+1+hi|clBlack",      "CMD_action+1+waves|clBlack", "CMD_playasound+1+wave1+",
        "CMD_kickhim+1+1+",           "CMD_startgame+B+0+",         "CMD_justwatch+1+1",
        "CMD_logininfo+1+1.0.1+Evil",
    };
    for (const QByteArray& message : forged) {
        h.send(2, message);
        EXPECT_TRUE(h.nothingSent()) << message.constData();
    }
    EXPECT_EQ(h.server.seats()[1].name, "A");
    EXPECT_TRUE(h.server.seats().inUse(1));
    EXPECT_TRUE(h.server.turnOpen());
    EXPECT_TRUE(h.server.game().dice().available(0));
    EXPECT_TRUE(boardEmpty(h.server));

    // The host may set another playing seat to watching.
    h.send(1, "CMD_justwatch+2+1");
    EXPECT_EQ(h.take(2), QByteArrayList({"CMD_justwatching+2+1"}));
    EXPECT_TRUE(h.server.seats()[2].watching);
}

TEST(MendedFaults, OutOfRangePlacementsAreRefusedWithoutEffect) {
    Harness h;
    rolledTurn(h);
    const QByteArray refused[] = {
        "CMD_placechip+1+13+0+1+", "CMD_placechip+1+1+0+1+", "CMD_placechip+1+7+0+4+",
        "CMD_placechip+1+7+-1+0+", "CMD_placechip+1+4+0+0+", "CMD_placechip+1+-2147483648+0+1+",
    };
    for (const QByteArray& message : refused) {
        h.send(1, message);
        EXPECT_EQ(h.take(1), QByteArrayList({"CMD_invalid+1+"})) << message.constData();
        EXPECT_TRUE(h.got(2).isEmpty());
    }
    EXPECT_TRUE(boardEmpty(h.server));
    EXPECT_EQ(h.server.game().markersUsed(), 0);
    for (int die = 0; die < 4; ++die)
        EXPECT_TRUE(h.server.game().dice().available(die));
    h.send(1, cmd::placechip_(1, 7, 0, 1)); // the turn goes on
    EXPECT_EQ(h.take(2).size(), 1);
}

// A field that is no integer (or a seat outside the table) makes the whole
// message have no effect, and the server goes on.
TEST(MendedFaults, MalformedFieldsAndSeatsOutsideTheTableHaveNoEffect) {
    Harness h;
    rolledTurn(h);
    const QByteArray ignored[] = {
        "CMD_placechip+1+7+x+1+",
        "CMD_placechip+1+7+0+",
        "CMD_placechip+1+7+0+99999999999+",
        "CMD_endturn+01a+p+",
        "CMD_rollthedice++",
        "CMD_chat+abc+hi",
        "CMD_logininfo+one+1.0.1+Z",
        "CMD_justwatch+0+1",
        "CMD_justwatch+5+2",
        "CMD_justwatch+-1+2",
        "CMD_justwatch+x+2",
        "CMD_kickhim+1+0+",
        "CMD_kickhim+1+10+",
        "CMD_kickhim+1+-3+",
        "CMD_kickhim+1+x+",
        "CMD_kickhim+1",
        "CMD_endturn",
        "CMD_",
        "cmd_endturn+1+p+",
        "",
    };
    for (const QByteArray& message : ignored) {
        h.send(1, message);
        EXPECT_TRUE(h.nothingSent()) << message.constData();
    }
    EXPECT_TRUE(h.server.seats().inUse(2));
    EXPECT_TRUE(h.server.turnOpen());
    EXPECT_TRUE(boardEmpty(h.server));
    h.send(1, cmd::placechip_(1, 7, 0, 1));
    EXPECT_EQ(h.take(2).size(), 1);
}

TEST(MendedFaults, TurnRequestsOutsideAnOpenTurnAreIgnored) {
    Harness h;
    h.seatPlayers(2);
    const QByteArray requests[] = {"CMD_rollthedice+1+", "CMD_placechip+1+7+0+1+",
                                   "CMD_endturn+1+p+", "CMD_endturn+1+n+"};
    for (const QByteArray& message : requests)
        h.send(1, message); // no game yet
    EXPECT_TRUE(h.nothingSent());

    h.startGame();
    h.send(1, cmd::endturn_(1, "p"));
    h.clearLogs();
    ASSERT_TRUE(h.server.timer1().isActive()); // the pause: seat 1 is still current
    for (const QByteArray& message : requests)
        h.send(1, message);
    EXPECT_TRUE(h.nothingSent());
    EXPECT_EQ(h.server.pauseTicks(), 2);

    h.server.game().board().cell(2, 2) = Cell{2, 0}; // seat 2 wins on its turn
    h.server.game().board().cell(3, 4) = Cell{2, 0};
    h.server.game().board().cell(4, 6) = Cell{2, 0};
    h.endPause();
    h.send(2, cmd::endturn_(2, "p"));
    ASSERT_FALSE(h.server.gameRunning());
    h.clearLogs();
    for (const QByteArray& message : requests)
        h.send(2, message); // the winner is still the current seat
    EXPECT_TRUE(h.nothingSent());
}

TEST(MendedFaults, AnEndlessMessageClosesTheConnection) {
    Harness h;
    h.seatPlayers(2);
    h.server.feed(2, QByteArray(ReceiveQueue::maxPending, 'a'));
    EXPECT_TRUE(h.server.seats().inUse(2));
    h.server.feed(2, "a");
    EXPECT_FALSE(h.server.seats().inUse(2));
    EXPECT_TRUE(h.logs[2]->closed);
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_playerdisconnected+2+B"}));
}

TEST(MendedFaults, AFloodOfMessagesClosesTheConnectionAndEndsItsTurn) {
    Harness h;
    h.seatPlayers(3);
    h.startGame();
    h.send(1, cmd::endturn_(1, "p"));
    h.endPause();
    h.clearLogs();
    // Requests the chat rate does not thin out (chat beyond it is dropped
    // at arrival and never fills the queue).
    QByteArray burst;
    for (int i = 0; i < ReceiveQueue::maxWaiting; ++i)
        burst += cmd::frame("CMD_justwatch+2+2");
    h.server.feed(2, burst);
    EXPECT_TRUE(h.server.seats().inUse(2));
    h.server.feed(2, cmd::frame("CMD_justwatch+2+2"));
    EXPECT_FALSE(h.server.seats().inUse(2));
    EXPECT_EQ(h.server.waitingMessages(), 0);
    EXPECT_FALSE(h.server.socktimer().isActive());
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_playerdisconnected+2+B",
                                         "CMD_endturn+2+p+101+101+101+0", "CMD_postscores+2+0+"}));
}

// Every message to all is queued for each connection; one that stops
// reading must not grow the server without bound. Here it keeps its seat
// while long chat lines are relayed, until its unread backlog passes the
// limit; the client that reads goes on.
TEST(MendedFaults, AConnectionThatStopsReadingIsClosedOnceItsBacklogIsTooLong) {
    FixedBotSpeed speed;
    TServer server(speed);
    // Every line a minute after the last: the chat rate lets all of them
    // through, and the backlog limit alone has to hold.
    qint64 fakeMs = 0;
    server.setClock([&] { return fakeMs += 60000; });
    server.Sock1().setPortName("0");
    server.Sock1().setListen(true);
    const int port = server.Sock1().localPort();

    // The one that never reads: a plain socket with a small receive buffer.
    const int slow = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    ::setsockopt(slow, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(slow, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_TRUE(waitUntil([&] { return server.seats().inUse(1); }));
    const QByteArray login = cmd::frame(cmd::logininfo_(1, cmd::version, "Slow"));
    ASSERT_EQ(::send(slow, login.constData(), size_t(login.size()), 0), login.size());

    TSock reader;
    qint64 bytesRead = 0;
    reader.OnRead = [&](TSock* s, int) { bytesRead += s->Receive().size(); };
    reader.setHostName("127.0.0.1");
    reader.setPortName(QString::number(port));
    reader.Open();
    ASSERT_TRUE(waitUntil([&] { return server.seats().inUse(2); }));
    reader.Send(cmd::frame(cmd::logininfo_(2, cmd::version, "Reader")));
    ASSERT_TRUE(waitUntil([&] { return server.seats()[2].name == "Reader"; }));

    const QByteArray line = cmd::frame(cmd::chat_(2, QByteArray(60000, 'B'), "clBlack"));
    int sent = 0;
    // 60 KB a line, relayed to both: the limit is passed within 10 MB.
    while (server.seats().inUse(1) && sent < 200) {
        for (int i = 0; i < 10; ++i, ++sent)
            reader.Send(line);
        waitUntil([&] { return server.waitingMessages() == 0 && reader.pendingOutput() == 0; },
                  5000);
    }
    EXPECT_FALSE(server.seats().inUse(1)) << sent << " lines sent";
    EXPECT_TRUE(server.seats().inUse(2));
    EXPECT_TRUE(waitUntil([&] { return bytesRead >= qint64(sent) * 60000; }, 5000));
    ::close(slow);
}

// Messages still queued from a closed connection never reach the next
// connection in that seat.
TEST(MendedFaults, QueuedMessagesLeaveWithTheirConnection) {
    Harness h;
    h.seatPlayers(3);
    h.server.feed(3, cmd::frame("CMD_chat+3+left behind|clBlack") + "CMD_chat+3+half");
    h.server.connectionClosed(3);
    EXPECT_EQ(h.connect(), 3);
    // Were the old connection's unfinished bytes kept, the login would be
    // read as the end of "CMD_chat+3+half" and "|x" as a chat of its own.
    h.server.feed(3, cmd::frame(cmd::logininfo_(3, cmd::version, "D")));
    h.dispatch();
    h.server.feed(3, cmd::frame("|x") + cmd::frame("CMD_chat+3+fresh|clBlack"));
    h.dispatch();
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_playerdisconnected+3+C", "CMD_newplayerinfo+3+D",
                                         "CMD_chat+3+D chats: fresh|clBlack"}));
}

TEST(MendedFaults, AConnectionThatNeverLogsInIsClosed) {
    Harness h;
    h.seatPlayers(1);
    EXPECT_EQ(h.connect(), 2);
    EXPECT_EQ(h.server.logintimer(2).interval(), TServer::loginTimeoutMs);
    EXPECT_FALSE(h.server.logintimer(1).isActive()); // logged in
    h.server.logintimerTimer(2);
    EXPECT_TRUE(h.logs[2]->closed);
    EXPECT_FALSE(h.server.seats().inUse(2));
    EXPECT_EQ(h.take(1), QByteArrayList({"CMD_playerdisconnected+2+"}));

    // A login still waiting in the queue counts.
    EXPECT_EQ(h.connect(), 2);
    h.server.feed(2, cmd::frame(cmd::logininfo_(2, cmd::version, "B")));
    h.server.logintimerTimer(2);
    EXPECT_TRUE(h.server.seats().inUse(2));
    h.dispatch();
    EXPECT_FALSE(h.server.logintimer(2).isActive());

    // And in real time.
    h.server.setLoginTimeoutMs(20);
    EXPECT_EQ(h.connect(), 3);
    EXPECT_TRUE(waitUntil([&] { return h.logs[3]->closed; }, 2000));
}

TEST(IdleServer, WakesNoTimerAtAll) {
    Harness h;
    EXPECT_FALSE(h.server.anyTimerActive());
    h.seatPlayers(2);
    EXPECT_FALSE(h.server.anyTimerActive());
    h.send(2, "CMD_chat+2+hi|clBlack");
    EXPECT_FALSE(h.server.anyTimerActive());
}

// A message reaching an idle server is handled on the next pass of the
// event loop; the ones behind it keep the 10 ms pace.
TEST(IdleServer, HandlesAFirstMessageAtOnceAndTheRestTenMillisecondsApart) {
    Harness h;
    h.seatPlayers(2);
    spin(2 * TServer::dispatchMs);
    h.server.feed(2, cmd::frame("CMD_chat+2+one|x") + cmd::frame("CMD_chat+2+two|x"));
    EXPECT_TRUE(h.server.socktimer().isActive());
    EXPECT_EQ(h.server.socktimer().interval(), 0);
    EXPECT_TRUE(h.got(1).isEmpty()); // never inside the read
    EXPECT_TRUE(waitUntil([&] { return h.got(1).size() == 1; }, 1000));
    EXPECT_EQ(h.server.socktimer().interval(), TServer::dispatchMs);
    EXPECT_TRUE(waitUntil([&] { return h.got(1).size() == 2; }, 1000));
    EXPECT_TRUE(waitUntil([&] { return !h.server.socktimer().isActive(); }, 1000));
}
