#pragma once

#include "game/ScriptedRandom.h"
#include "protocol/Commands.h"
#include "protocol/StreamCutter.h"
#include "server/BotSpeedSource.h"
#include "server/Peer.h"
#include "server/TServer.h"

#include <QByteArrayList>

#include <array>
#include <memory>
#include <ostream>

// Lets test failures show messages as text.
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"' << bytes.toStdString() << '"';
}

// What one fake connection received, kept beyond the peer's release.
struct PeerLog {
    StreamCutter cutter;
    QByteArrayList messages;
    bool closed = false;
    bool released = false; // the server let go of the peer
};

class FakePeer : public Peer {
public:
    explicit FakePeer(std::shared_ptr<PeerLog> log) : m_log(std::move(log)) {}
    ~FakePeer() override { m_log->released = true; }
    void send(const QByteArray& bytes) override { m_log->messages += m_log->cutter.feed(bytes); }
    void close() override { m_log->closed = true; }

private:
    std::shared_ptr<PeerLog> m_log;
};

class FixedBotSpeed : public BotSpeedSource {
public:
    int botSpeedMs() const override { return ms; }
    BotLevel computerLevel() const override { return level; }
    int ms = 750;
    BotLevel level = BotLevel::Classic;
};

// A server with scripted dice and draws and socket-less connections.
// Messages are fed as a peer would send them and dispatched by stepping
// socktimer; the pause and the computer player are stepped too.
struct Harness {
    FixedBotSpeed speed;
    ScriptedRandom dice;
    ScriptedRandom draws;
    TServer server{speed, dice, draws};
    std::array<std::shared_ptr<PeerLog>, 11> logs;
    // The chat rate's clock: it stands still unless a test moves it.
    qint64 nowMs = 0;

    Harness() {
        server.setClock([this] { return nowMs; });
    }

    // Whether no seat was sent anything since the logs were last cleared.
    bool nothingSent() const {
        for (int seat = 1; seat <= 9; ++seat)
            if (logs[seat] && !logs[seat]->messages.isEmpty())
                return false;
        return true;
    }

    // Accepts a connection; its seat, or 0 when refused. Refused logs go to logs[10].
    int connect() {
        auto log = std::make_shared<PeerLog>();
        const int seat = server.acceptPeer(std::make_unique<FakePeer>(log));
        logs[seat == 0 ? 10 : seat] = log;
        return seat;
    }
    void login(int seat, const QByteArray& name, const QByteArray& version = cmd::version) {
        send(seat, cmd::logininfo_(seat, version, name));
    }
    // Connects and logs in seats 1 to n named A, B, C, ...; clears their logs.
    void seatPlayers(int n) {
        for (int i = 1; i <= n; ++i) {
            const int seat = connect();
            login(seat, QByteArray(1, char('A' + seat - 1)));
        }
        clearLogs();
    }
    // Feeds a framed message from the seat's connection and handles the queue.
    void send(int seat, const QByteArray& message) {
        server.feed(seat, cmd::frame(message));
        dispatch();
    }
    void dispatch() {
        while (server.socktimer().isActive())
            server.socktimerTimer();
    }
    // Queues the pips (1 to 6) of the next rolls.
    void pips(std::initializer_list<int> values) {
        for (int value : values)
            dice.push(value - 1);
    }
    void endPause() {
        while (server.timer1().isActive())
            server.timer1Timer();
    }
    // Runs computer steps until the computer waits for nothing (its turn is over).
    int runComputer(int maxSteps = 200) {
        int steps = 0;
        while (server.computertimer().isActive() && steps < maxSteps) {
            server.computertimerTimer();
            ++steps;
        }
        return steps;
    }
    QByteArrayList& got(int seat) { return logs[seat]->messages; }
    QByteArrayList take(int seat) {
        QByteArrayList out = logs[seat]->messages;
        logs[seat]->messages.clear();
        return out;
    }
    void clearLogs() {
        for (auto& log : logs)
            if (log)
                log->messages.clear();
    }
    void startGame(const QByteArray& useAll = "0") { send(1, cmd::startgame_("A", useAll)); }
};
