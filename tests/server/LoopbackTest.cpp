#include "ServerHarness.h"

#include "game/SystemRandom.h"
#include "protocol/FieldReader.h"
#include "support/EventLoop.h"

#include <QHash>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

// The exact layout of every message the server sends.
bool validLayout(const QByteArray& message) {
    static const QString column = "(?:[2-9]|1[0-2])";
    static const QString position = "(?:[0-9]|1[0-2])";
    static const QString endItem = "\\+" + column + "\\+" + position + "\\+[0-4]\\+" + position;
    static const QHash<QByteArray, QRegularExpression> layouts = {
        {"CMD_sendlogininfo", QRegularExpression("CMD_sendlogininfo\\+[1-9]")},
        {"CMD_full", QRegularExpression("CMD_full\\+")},
        {"CMD_newplayerinfo", QRegularExpression("CMD_newplayerinfo\\+[1-9]\\+.*")},
        {"CMD_existingplayers", QRegularExpression("CMD_existingplayers\\+[1-9]\\+.*")},
        {"CMD_playerdisconnected", QRegularExpression("CMD_playerdisconnected\\+[1-9]\\+.*")},
        {"CMD_startgame", QRegularExpression("CMD_startgame\\+.*\\+[^+]*\\+")},
        {"CMD_nextplayer", QRegularExpression("CMD_nextplayer\\+[1-4]\\+")},
        {"CMD_rolldice",
         QRegularExpression(
             "CMD_rolldice\\+[1-4]\\+[tf]\\+0\\+[0-5]\\+1\\+[0-5]\\+2\\+[0-5]\\+3\\+[0-5]")},
        {"CMD_placechip",
         QRegularExpression("CMD_placechip\\+[1-4](\\+u\\+" + column + "\\+" + position +
                            "\\+[0-4])?(\\+c\\+" + column + "\\+" + position + "\\+[1-4])?\\+p\\+" +
                            column + "\\+" + position + "\\+10(\\+d\\+[0-3]\\+0\\+0){2,4}")},
        {"CMD_invalid", QRegularExpression("CMD_invalid\\+[1-4]\\+")},
        {"CMD_cannotroll", QRegularExpression("CMD_cannotroll\\+[1-4]\\+")},
        {"CMD_mustmove",
         QRegularExpression("CMD_mustmove\\+[1-4]\\+" + column + "\\+" + position + "\\+")},
        {"CMD_endturn", QRegularExpression("CMD_endturn\\+[1-4]\\+[pn]((" + endItem +
                                           ")+|\\+101\\+101\\+101\\+0)")},
        {"CMD_postscores", QRegularExpression("CMD_postscores\\+[1-4]\\+[0-9]\\+")},
        {"CMD_winner", QRegularExpression("CMD_winner\\+.*\\+")},
        // System lines (seat 0), such as the one naming the computer's level.
        {"CMD_chat", QRegularExpression("CMD_chat\\+0\\+[^|]*\\|clBlue")},
    };
    const auto it = layouts.constFind(cmd::split(message).command);
    if (it == layouts.constEnd())
        return false;
    return QRegularExpression(QRegularExpression::anchoredPattern(it->pattern()))
        .match(QString::fromLatin1(message))
        .hasMatch();
}

// A player over a real socket: logs in, and on its turns rolls, places the
// first pair the server accepts and keeps. Records everything it receives.
class Client {
public:
    Client(int port, QByteArray name, bool host) : m_name(std::move(name)), m_host(host) {
        sock.setHostName("127.0.0.1");
        sock.setPortName(QString::number(port));
        sock.OnRead = [this](TSock* s, int) {
            for (const QByteArray& message : m_cutter.feed(s->Receive()))
                onMessage(message);
        };
        sock.OnDisconnect = [this](TSock*) { disconnected = true; };
        sock.Open();
    }
    void send(const QByteArray& message) { sock.Send(cmd::frame(message)); }

    TSock sock;
    int seat = 0;
    bool disconnected = false;
    QByteArray winner;
    QByteArrayList received;
    QByteArrayList badLayouts;

private:
    void onMessage(const QByteArray& message) {
        received << message;
        if (!validLayout(message))
            badLayouts << message;
        const cmd::Split parts = cmd::split(message);
        FieldReader reader(parts.args);
        if (parts.command == cmd::sendlogininfo) {
            seat = reader.nextInt();
            // Sent in two pieces, to be joined by the server.
            const QByteArray login = cmd::frame(cmd::logininfo_(seat, cmd::version, m_name));
            sock.Send(login.left(5));
            sock.Send(login.mid(5));
            return;
        }
        if (parts.command == cmd::winner) {
            winner = reader.next();
            return;
        }
        static const QByteArrayList mine = {cmd::nextplayer, cmd::mustmove, cmd::rolldice,
                                            cmd::invalid, cmd::placechip};
        if (!mine.contains(parts.command) || reader.nextInt() != seat)
            return;
        if (parts.command == cmd::nextplayer || parts.command == cmd::mustmove)
            send(cmd::rollthedice_(seat));
        else if (parts.command == cmd::rolldice && reader.next() == "t")
            startTrying(reader);
        else if (parts.command == cmd::invalid)
            tryNext();
        else if (parts.command == cmd::placechip)
            send(cmd::endturn_(seat, "p"));
    }
    void startTrying(FieldReader& reader) {
        std::array<int, 4> values{};
        for (int die = 0; die < 4; ++die) {
            reader.nextInt();
            values[die] = reader.nextInt();
        }
        m_tries.clear();
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j)
                m_tries.push_back({values[i] + values[j] + 2, i, j});
        tryNext();
    }
    void tryNext() {
        if (m_tries.empty())
            return;
        const auto [column, i, j] = m_tries.front();
        m_tries.erase(m_tries.begin());
        send(cmd::placechip_(seat, column, i, j));
    }

    StreamCutter m_cutter;
    QByteArray m_name;
    bool m_host;
    std::vector<std::tuple<int, int, int>> m_tries;
};

// A listening server with fast steps, dice from a fixed seed.
struct LiveServer {
    LiveServer() {
        speed.ms = 1;
        server.setPauseTickMs(1);
        server.Sock1().setPortName("0");
        server.Sock1().setListen(true);
        port = server.Sock1().localPort();
    }
    FixedBotSpeed speed;
    SystemRandom random{20240521};
    TServer server{speed, random, random};
    int port = 0;
};

// Every turn is nextplayer, rolls each followed by placements, endturn,
// postscores, then the next turn or the winner.
QString turnOrderFault(const QByteArrayList& messages) {
    QByteArray last;
    for (const QByteArray& message : messages) {
        const QByteArray command = cmd::split(message).command;
        static const QHash<QByteArray, QByteArrayList> follows = {
            {"", {"CMD_startgame"}},
            {"CMD_startgame", {"CMD_nextplayer"}},
            {"CMD_nextplayer", {"CMD_rolldice", "CMD_endturn"}},
            {"CMD_rolldice", {"CMD_placechip", "CMD_endturn"}},
            {"CMD_placechip", {"CMD_placechip", "CMD_rolldice", "CMD_endturn"}},
            {"CMD_endturn", {"CMD_postscores"}},
            {"CMD_postscores", {"CMD_nextplayer", "CMD_winner"}},
            {"CMD_winner", {}},
        };
        if (!follows.contains(command))
            continue; // not a turn message
        if (!follows.value(last).contains(command))
            return QString("%1 after %2").arg(QString(message), QString(last));
        last = command;
    }
    return last == "CMD_winner" ? QString() : QString("no winner");
}

QByteArrayList fromGameStart(const QByteArrayList& messages) {
    const qsizetype start = messages.indexOf(QByteArray("CMD_startgame+Ann+0+"));
    return start < 0 ? QByteArrayList() : messages.mid(start);
}

QByteArrayList broadcastsOnly(const QByteArrayList& messages) {
    QByteArrayList out;
    for (const QByteArray& message : messages)
        if (!message.startsWith("CMD_invalid") && !message.startsWith("CMD_mustmove"))
            out << message;
    return out;
}

} // namespace

TEST(Loopback, TwoPlayersPlayAWholeGame) {
    LiveServer live;
    Client ann(live.port, "Ann", true);
    ASSERT_TRUE(waitUntil([&] { return ann.received.contains("CMD_newplayerinfo+1+Ann"); }));
    Client bob(live.port, "Bob", false);
    ASSERT_TRUE(waitUntil([&] {
        return ann.received.contains("CMD_newplayerinfo+2+Bob") && bob.received.size() == 3;
    }));
    EXPECT_EQ(bob.received.mid(0, 3),
              QByteArrayList(
                  {"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Bob", "CMD_existingplayers+1+Ann"}));
    ann.send(cmd::startgame_("Ann", "0"));
    ASSERT_TRUE(waitUntil([&] { return !ann.winner.isEmpty() && !bob.winner.isEmpty(); }, 120000));

    EXPECT_TRUE(ann.winner == "Ann" || ann.winner == "Bob");
    EXPECT_EQ(bob.winner, ann.winner);
    EXPECT_TRUE(ann.badLayouts.isEmpty()) << ann.badLayouts.join('\n').constData();
    EXPECT_TRUE(bob.badLayouts.isEmpty()) << bob.badLayouts.join('\n').constData();
    const QByteArrayList seen = broadcastsOnly(fromGameStart(ann.received));
    EXPECT_EQ(seen, broadcastsOnly(fromGameStart(bob.received)));
    const QString fault = turnOrderFault(seen);
    EXPECT_TRUE(fault.isEmpty()) << fault.toStdString();
    EXPECT_FALSE(live.server.gameRunning());
    EXPECT_FALSE(live.server.anyTimerActive());
}

TEST(Loopback, OnePlayerAgainstKlotUntilSomebodyWins) {
    LiveServer live;
    Client ann(live.port, "Ann", true);
    ASSERT_TRUE(waitUntil([&] { return ann.received.contains("CMD_newplayerinfo+1+Ann"); }));
    ann.send(cmd::startgame_("Ann", "0"));
    ASSERT_TRUE(waitUntil([&] { return !ann.winner.isEmpty(); }, 120000));

    EXPECT_TRUE(ann.winner == "Ann" || ann.winner == "Klot") << ann.winner.constData();
    EXPECT_TRUE(ann.badLayouts.isEmpty()) << ann.badLayouts.join('\n').constData();
    const QByteArrayList seen = broadcastsOnly(fromGameStart(ann.received));
    const QString fault = turnOrderFault(seen);
    EXPECT_TRUE(fault.isEmpty()) << fault.toStdString();
    EXPECT_TRUE(seen.contains("CMD_nextplayer+2+"));
    EXPECT_FALSE(live.server.anyTimerActive());
}

TEST(Loopback, TheTenthSocketGetsFullAndEveryClosedSocketIsReleased) {
    LiveServer live;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 1; i <= 9; ++i) {
        clients.push_back(std::make_unique<Client>(live.port, "P" + QByteArray::number(i), i == 1));
        ASSERT_TRUE(waitUntil([&] { return clients.back()->seat == i; }));
    }
    ASSERT_TRUE(waitUntil([&] { return clients[0]->received.contains("CMD_newplayerinfo+9+P9"); }));
    Client tenth(live.port, "Late", false);
    ASSERT_TRUE(waitUntil([&] { return tenth.disconnected; }));
    EXPECT_EQ(tenth.received, QByteArrayList({"CMD_full+"}));
    EXPECT_TRUE(waitUntil([&] { return live.server.Sock1().findChildren<TSock*>().size() == 9; }));

    clients[4]->sock.Close(); // seat 5 leaves
    ASSERT_TRUE(
        waitUntil([&] { return clients[0]->received.contains("CMD_playerdisconnected+5+P5"); }));
    EXPECT_FALSE(live.server.seats().inUse(5));
    EXPECT_TRUE(waitUntil([&] { return live.server.Sock1().findChildren<TSock*>().size() == 8; }));
    Client again(live.port, "New", false);
    EXPECT_TRUE(waitUntil([&] { return again.seat == 5; }));
}
