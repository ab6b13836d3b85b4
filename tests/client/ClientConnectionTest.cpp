// The client's connection: cutting the stream into a queue, handing one
// message per tick to the dispatch table, the login answer and the table of
// who is present.
#include "client/ClientConnection.h"

#include "client/EViewError.h"
#include "client/Picture.h"
#include "client/SeatsView.h"
#include "client/TableModel.h"
#include "net/TSock.h"
#include "protocol/FieldReader.h"
#include "support/EventLoop.h"
#include "support/FakeClientServices.h"

#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {
QByteArray framed(std::initializer_list<QByteArray> messages) {
    QByteArray out;
    for (const QByteArray& message : messages)
        out += cmd::frame(message);
    return out;
}

// The connection asks everything of the fake, whose prompter answers boxes
// unless a test brings its own.
ClientConnection::Needs needs(FakeClientServices& services, Prompter* prompter = nullptr) {
    return {services.m_state, services, services, services,
            services,         services, services, prompter ? *prompter : services.prompts};
}

class ClientConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel = std::make_unique<QWidget>();
        model = new TableModel(panel.get());
        seats = new SeatsView(panel.get(), *model);
        connection = std::make_unique<ClientConnection>(needs(services), sock, *model);
        // A table that records what reaches it, with the connection's own
        // handlers for the commands this file looks at.
        Router<>& table = connection->dispatcher();
        ClientConnection* c = connection.get();
        table.add(cmd::sendlogininfo, [c](const QByteArray& a) { c->sendloginfo(a); });
        table.add(cmd::newplayerinfo, [c](const QByteArray& a) { c->newplayerinfo(a); });
        table.add(cmd::existingplayers, [c](const QByteArray& a) { c->newplayerinfo(a); });
        table.add(cmd::playerdisconnected, [c](const QByteArray& a) { c->playerdisconnected(a); });
        table.add(cmd::full, [c](const QByteArray& a) { c->full(a); });
        table.add(cmd::postscores, [this](const QByteArray& a) { handled << "scores " + a; });
        table.add(cmd::nextplayer, [this](const QByteArray& a) {
            FieldReader(a).nextInt();
            handled << "next " + a;
        });
    }

    // Runs ticks until the queue is empty.
    void drain() {
        for (int guard = 0; guard < 100 && !connection->receivedlist().isEmpty(); ++guard)
            connection->Timer1Timer();
    }
    void feed(std::initializer_list<QByteArray> messages) {
        connection->received(framed(messages));
        drain();
    }
    QString caption(int seat) const { return seats->nameLabel(seat)->text(); }

    FakeClientServices services;
    TSock sock;
    std::unique_ptr<QWidget> panel;
    TableModel* model = nullptr;
    SeatsView* seats = nullptr;
    std::unique_ptr<ClientConnection> connection;
    QByteArrayList handled;
};
} // namespace

TEST_F(ClientConnectionTest, ThreeMessagesOfOneReadAreHandledInOrderOverThreeTicks) {
    EXPECT_FALSE(connection->timerActive()); // idle: no wake-ups
    connection->received(
        framed({"CMD_postscores+1+0+", "CMD_postscores+2+1+", "CMD_postscores+3+2+"}));
    EXPECT_EQ(connection->receivedlist().size(), 3);
    EXPECT_TRUE(handled.isEmpty()); // nothing is handled inside the read
    EXPECT_TRUE(connection->timerActive());

    for (int tick = 1; tick <= 3; ++tick) {
        connection->Timer1Timer();
        EXPECT_EQ(handled.size(), tick);
    }
    EXPECT_EQ(handled, QByteArrayList({"scores 1+0+", "scores 2+1+", "scores 3+2+"}));
    EXPECT_FALSE(connection->timerActive());
}

TEST_F(ClientConnectionTest, TheTimerDrainsTheQueueOnItsOwn) {
    connection->received(framed({"CMD_postscores+1+0+", "CMD_postscores+2+1+"}));
    ASSERT_TRUE(waitUntil([&] { return handled.size() == 2; }));
    EXPECT_TRUE(waitUntil([&] { return !connection->timerActive(); }));
}

TEST_F(ClientConnectionTest, SplitMessageIsQueuedOnceWhenItsEndArrives) {
    connection->received("CMD_postsc");
    connection->received("ores+4+");
    EXPECT_TRUE(connection->receivedlist().isEmpty());
    connection->received(QByteArray("3+") + char(0xFF) + "CMD_post");
    EXPECT_EQ(connection->receivedlist(), QByteArrayList({"CMD_postscores+4+3+"}));
    drain();
    EXPECT_EQ(handled, QByteArrayList({"scores 4+3+"}));
}

// Empty messages, messages without "+", unknown commands and CMD_cannotroll
// each take a tick and change nothing.
TEST_F(ClientConnectionTest, EmptyAndUnknownMessagesAreIgnored) {
    connection->received(QByteArray(2, char(0xFF)) +
                         framed({"CMD_cannotroll+1+", "CMD_postscores", "CMD_nosuch+1",
                                 "cmd_postscores+1+1+", "CMD_postscores+1+1+"}));
    EXPECT_EQ(connection->receivedlist().size(), 7);
    drain();
    EXPECT_EQ(handled, QByteArrayList({"scores 1+1+"}));
    EXPECT_TRUE(services.lines.isEmpty());
}

// A handler that raises stops only its own message: it has left the queue,
// its error goes to the error report (not out of the tick), the timer still
// runs and the next tick takes the next message.
TEST_F(ClientConnectionTest, RaisingHandlerDoesNotStopTheQueue) {
    connection->received(framed({"CMD_nextplayer+x+", "CMD_nextplayer+2+"}));
    EXPECT_NO_THROW(connection->Timer1Timer());
    EXPECT_EQ(services.errors, QStringList{"'x' is not a valid integer value"});
    EXPECT_TRUE(connection->timerActive());
    EXPECT_EQ(connection->receivedlist().size(), 1);
    connection->Timer1Timer();
    EXPECT_EQ(handled, QByteArrayList({"next 2+"}));
}

TEST_F(ClientConnectionTest, LoginRequestIsAnsweredWithSeatVersionAndName) {
    services.m_state.playerName = QString::fromUtf8("Zo\xc3\xab");
    feed({"CMD_sendlogininfo+3"});
    EXPECT_EQ(model->ownSeat(), 3);
    EXPECT_TRUE(services.m_state.loggedIn);
    EXPECT_EQ(services.sent, QByteArrayList({"CMD_logininfo+3+1.0.1+Zo\xeb"}));

    feed({"CMD_sendlogininfo+5"}); // asked again: the seat is replaced
    EXPECT_EQ(model->ownSeat(), 5);
    EXPECT_EQ(services.sent.size(), 2);

    EXPECT_THROW(connection->sendloginfo("12"), EViewError);
    EXPECT_THROW(connection->sendloginfo("three"), EConvertError);
    EXPECT_EQ(model->ownSeat(), 5);
}

TEST_F(ClientConnectionTest, OwnArrivalInAPlayingSeatLoadsTheSettings) {
    feed({"CMD_sendlogininfo+3", "CMD_newplayerinfo+3+Cy+Dee"});
    EXPECT_EQ(services.lines, QStringList({"You are Connected."}));
    EXPECT_EQ(services.settingsLoads, 1);
    EXPECT_EQ(caption(3), "Cy+Dee");
    EXPECT_EQ(services.sounds, QStringList({"entered"}));
    EXPECT_TRUE(model->spectators().isEmpty());
}

TEST_F(ClientConnectionTest, OwnArrivalAsSpectatorJoinsTheSpyList) {
    feed({"CMD_sendlogininfo+6", "CMD_newplayerinfo+6+Bo"});
    EXPECT_EQ(services.lines, QStringList({"You are Connected.", "You are spying."}));
    EXPECT_EQ(services.settingsLoads, 1);
    EXPECT_EQ(model->spectators(), QStringList({"6: Bo"}));
}

TEST_F(ClientConnectionTest, NewcomerLearnsWhoIsAlreadyThere) {
    feed({"CMD_sendlogininfo+4", "CMD_newplayerinfo+4+Di", "CMD_existingplayers+1+Ann",
          "CMD_existingplayers+7+Eve"});
    EXPECT_EQ(services.lines, QStringList({"You are Connected.", "Ann is Connected.",
                                           "Eve is Connected.", "Eve is spying."}));
    EXPECT_EQ(services.sounds, QStringList({"entered", "entered", "entered"}));
    EXPECT_EQ(caption(1), "Ann");
    EXPECT_EQ(model->spectators(), QStringList({"7: Eve"}));
    EXPECT_EQ(services.settingsLoads, 1);
}

TEST_F(ClientConnectionTest, DeparturesFreeTheSeat) {
    feed({"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+Ann", "CMD_newplayerinfo+2+Bo",
          "CMD_newplayerinfo+3+Cy", "CMD_newplayerinfo+8+Eve"});
    services.lines.clear();
    seats->eyes(3)->show();

    feed({"CMD_playerdisconnected+2+Bo", "CMD_playerdisconnected+3+Cy"});
    EXPECT_EQ(services.lines, QStringList({"Bo disconnected.", "Cy disconnected."}));
    EXPECT_EQ(caption(2), "Klot");
    EXPECT_EQ(caption(3), "<Waiting>");
    EXPECT_TRUE(seats->eyes(3)->isHidden());
    EXPECT_EQ(seats->scoreLabel(3)->text(), "0");

    // The computer's seat and an empty seat write nothing.
    services.lines.clear();
    feed({"CMD_playerdisconnected+2+Klot", "CMD_playerdisconnected+4+"});
    EXPECT_TRUE(services.lines.isEmpty());

    feed({"CMD_playerdisconnected+9+Nobody", "CMD_playerdisconnected+8+Eve"});
    EXPECT_EQ(services.lines, QStringList({"Eve has left."}));
    EXPECT_TRUE(model->spectators().isEmpty());
}

TEST_F(ClientConnectionTest, VersionMismatchesAreReported) {
    connection->havewrongversion("Bo");
    connection->wrongversion("");
    EXPECT_EQ(services.lines,
              QStringList({"Bo has a different version of the game then you.",
                           "You have a differnt version of the game then the host."}));
}

TEST_F(ClientConnectionTest, FullGameShowsTheBoxThenCloses) {
    feed({"CMD_full+"});
    EXPECT_EQ(services.prompts.messages, QStringList({"Game is full"}));
    EXPECT_EQ(services.closed, 1);
}

// The server drops a refused client right after CMD_full: its close report,
// handled while the box is up, must not end the program under the box.
TEST_F(ClientConnectionTest, CloseReportDuringTheFullBoxWaitsForTheBox) {
    struct ClosingPrompter : FakePrompter {
        std::function<void()> during;
        void message(const QString& text) override {
            FakePrompter::message(text);
            during();
        }
    } prompter;
    FakeClientServices closing;
    ClientConnection refused(needs(closing, &prompter), sock, *model);
    refused.dispatcher().add(cmd::full, [&](const QByteArray& a) { refused.full(a); });
    int closedDuringBox = -1;
    prompter.during = [&] {
        sock.OnInfo(&sock, TSocketInfo::Close, "Socket Closed");
        closedDuringBox = closing.closed;
    };

    refused.received(cmd::frame("CMD_full+"));
    refused.Timer1Timer();
    EXPECT_EQ(closedDuringBox, 0);
    EXPECT_EQ(closing.closed, 1);
}

TEST_F(ClientConnectionTest, SocketClosedEndsAtOnceAndDropsTheQueue) {
    connection->received(framed({"CMD_postscores+1+0+", "CMD_full+"}));
    sock.OnInfo(&sock, TSocketInfo::Error, "Error #10061 (WSAECONNREFUSED)");
    EXPECT_EQ(services.closed, 0);
    sock.OnInfo(&sock, TSocketInfo::Close, "Socket Closed");
    EXPECT_EQ(services.closed, 1);
    EXPECT_TRUE(connection->receivedlist().isEmpty());
    EXPECT_FALSE(connection->timerActive());
    drain();
    EXPECT_TRUE(handled.isEmpty());
    EXPECT_TRUE(services.prompts.messages.isEmpty());
}

// The same path over a real loopback connection: sock's read event queues,
// the timer hands on.
TEST_F(ClientConnectionTest, MessagesFromARealSocketReachTheTable) {
    TSock listener;
    listener.setPortName("0");
    TSock* accepted = nullptr;
    listener.OnAccept = [&](TSock* self) { self->Accept(accepted); };
    listener.setListen(true);
    sock.setHostName("127.0.0.1");
    sock.setPortName(QString::number(listener.localPort()));
    sock.Open();
    ASSERT_TRUE(waitUntil([&] { return accepted && accepted->isConnected(); }));

    accepted->Send(framed({"CMD_postscores+1+1+", "CMD_postscores+2+2+"}) + "CMD_postscores+3+");
    accepted->Send(QByteArray("3+") + char(0xFF));
    ASSERT_TRUE(waitUntil([&] { return handled.size() == 3; }));
    EXPECT_EQ(handled, QByteArrayList({"scores 1+1+", "scores 2+2+", "scores 3+3+"}));

    accepted->Close();
    EXPECT_TRUE(waitUntil([&] { return services.closed == 1; }));
}

// At program end the board panel goes before the socket, whose destructor
// reports "Socket Closed": by then nothing may reach the main window.
TEST_F(ClientConnectionTest, BoardPanelGoneUnhooksFromTheSocket) {
    connection->received(framed({"CMD_postscores+1+0+"}));
    panel.reset();
    EXPECT_FALSE(sock.OnInfo);
    EXPECT_FALSE(sock.OnRead);
    EXPECT_FALSE(connection->timerActive());
    EXPECT_TRUE(connection->receivedlist().isEmpty());
    EXPECT_EQ(services.closed, 0);
}

// What a hostile server can send: an endless message, a message too long
// for any real one, or more messages than a game sends. Each closes the
// connection, and once the read is over a box says why and the window
// closes; nothing more is queued or handled.
struct FloodCase {
    const char* what;
    QByteArray bytes;
    QString text;
};

void PrintTo(const FloodCase& c, std::ostream* out) {
    *out << c.what;
}

class ServerFloodTest : public ClientConnectionTest,
                        public ::testing::WithParamInterface<FloodCase> {};

TEST_P(ServerFloodTest, ClosesTheConnectionAndSaysWhy) {
    const FloodCase& c = GetParam();
    // Delivered in reads of 4 KiB, as a socket would.
    for (qsizetype at = 0; at < c.bytes.size(); at += 4096) {
        connection->received(c.bytes.mid(at, 4096));
        ASSERT_TRUE(services.prompts.messages.isEmpty()) << "no box inside the read";
    }
    EXPECT_TRUE(connection->receivedlist().isEmpty());
    EXPECT_FALSE(connection->timerActive());
    ASSERT_TRUE(waitUntil([&] { return services.closed == 1; }));
    EXPECT_EQ(services.prompts.messages, QStringList{c.text});
    connection->received(framed({"CMD_postscores+1+0+"}));
    EXPECT_TRUE(connection->receivedlist().isEmpty()) << "nothing is queued after the refusal";
}

QByteArray manyMessages(int count) {
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += cmd::frame("CMD_postscores+1+0+");
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, ServerFloodTest,
    ::testing::Values(
        FloodCase{"endless message", "CMD_chat+1+" + QByteArray(300 * 1024, 'a'),
                  ClientConnection::tooLongText},
        FloodCase{"long message with its end",
                  cmd::frame("CMD_chat+1+" + QByteArray(ClientConnection::maxMessage, 'a')),
                  ClientConnection::tooLongText},
        FloodCase{"too many messages", manyMessages(ClientConnection::maxQueued + 1),
                  ClientConnection::tooManyText},
        FloodCase{"too many bytes queued",
                  QByteArray(cmd::frame("CMD_chat+" + QByteArray(60 * 1024, 'b')))
                      .repeated(int(ClientConnection::maxQueuedBytes / (60 * 1024)) + 1),
                  ClientConnection::tooManyText}));

// The largest message that is allowed, and a burst far larger than any game
// sends, are both taken.
TEST_F(ClientConnectionTest, BurstsOfARealGameAreTaken) {
    connection->received(
        cmd::frame("CMD_chat+" + QByteArray(ClientConnection::maxMessage - 9, 'c')) +
        manyMessages(1000));
    EXPECT_EQ(connection->receivedlist().size(), 1001);
    drain();
    for (int guard = 0; guard < 2000 && !connection->receivedlist().isEmpty(); ++guard)
        connection->Timer1Timer();
    EXPECT_EQ(handled.size(), 1000);
    EXPECT_EQ(services.closed, 0);
    EXPECT_TRUE(services.prompts.messages.isEmpty());
}

// An error quotes at most 100 characters of what the server sent, however
// long the field was; the rest of the text stays as it was.
TEST_F(ClientConnectionTest, ErrorTextsQuoteAtMostAHundredCharacters) {
    const QByteArray digits(8 * 1024, '7');
    feed({"CMD_nextplayer+" + digits + "+", "CMD_nextplayer+x+",
          "CMD_newplayerinfo+" + digits + "+Ann"});
    ASSERT_EQ(services.errors.size(), 3);
    const QString cut = "'" + QString(100, '7') + QChar(0x2026) + "' is not a valid integer value";
    EXPECT_EQ(services.errors[0], cut);
    EXPECT_EQ(services.errors[1], "'x' is not a valid integer value");
    EXPECT_EQ(services.errors[2], cut);
    EXPECT_EQ(ClientConnection::boundedErrorText(QString(5000, 'z')).size(), 201);
    EXPECT_EQ(ClientConnection::boundedErrorText("There is no seat 12"), "There is no seat 12");
}

// The server may change a typed name to keep names apart; the client goes by
// the name the server announced for its own seat.
TEST_F(ClientConnectionTest, OwnNameIsTheOneTheServerAnnounced) {
    services.m_state.playerName = "Ann";
    feed({"CMD_sendlogininfo+2", "CMD_existingplayers+1+Ann", "CMD_newplayerinfo+2+Ann (2)"});
    EXPECT_EQ(services.sent, QByteArrayList({"CMD_logininfo+2+1.0.1+Ann"}));
    EXPECT_EQ(model->ownName(), "Ann (2)");
    EXPECT_EQ(caption(2), "Ann (2)");
    feed({"CMD_newplayerinfo+3+Bo"});
    EXPECT_EQ(model->ownName(), "Ann (2)") << "another seat's name is not the own";
}
