#pragma once

#include "bench/support/TableMirror.h"
#include "protocol/StreamCutter.h"

#include <QObject>

#include <deque>

class SoakWorld;
class TSock;

// One well-behaved player of the soak run, on its own TSock connection. It
// logs in, and by the seat it gets plays its turns by the rules (seats 1 to
// 4) or chats (5 to 9); in seat 1 it also starts the games. Every request it
// sends has an answer the protocol promises; it checks that the answer comes
// in time, and its TableMirror checks every message of the game against the
// rules. It also reports anything done in its name that it did not ask for,
// which is how the rogue's spoofed requests would show.
class HonestClient : public QObject {
    Q_OBJECT
public:
    struct Role {
        bool churns = false;  // leaves and comes back now and then
        bool watches = false; // uses "Just Watch" (the client that holds seat 2)
    };

    HonestClient(SoakWorld& world, int port, const QByteArray& name, Role role,
                 QObject* parent = nullptr);
    ~HonestClient() override;

    void start();
    void stop();
    // Called every 100 ms: deadlines, the host's watchdog, churning, chatting.
    void tick();

    const QByteArray& name() const { return m_name; }
    int seat() const { return m_seat; }
    bool connected() const { return m_sock != nullptr; }
    bool loggedIn() const { return m_loggedIn; }
    // Counts the connections this client made; a chat line sent before a
    // reconnection is not owed to the new connection.
    int generation() const { return m_generation; }
    bool isHost() const { return m_seat == 1; }

private:
    enum class Kind { Login, Game, Refusal, Start, Watch, Chat, Kick };
    struct Expect {
        QByteArray text;
        bool prefix = false;
        Kind kind = Kind::Game;
        qint64 sentNs = 0;
        QString what;
        TableMirror::Move move{0, 0, 0}; // the placement asked for, if it is one
    };

    void connectNow();
    void closed(bool byServer);
    void onRead();
    void handle(const QByteArray& message);
    bool matchExpectation(const QByteArray& message);
    void checkForeign(const QByteArray& message);
    void send(const QByteArray& message);
    void request(const QByteArray& message, const QByteArray& answer, bool prefix, Kind kind,
                 const QString& what, TableMirror::Move move = {0, 0, 0});

    bool playing() const { return m_seat >= 1 && m_seat <= 4; }
    bool myTurn() const;
    void scheduleAct();
    void act();
    void afterEvent(const QByteArray& message, bool wasRunning);
    void startGame();
    void hostWatchdog();
    void socialTick();
    void beginWatching();
    void endWatching();

    SoakWorld& m_world;
    int m_port;
    QByteArray m_name;
    Role m_role;
    TSock* m_sock = nullptr;
    StreamCutter m_cutter;
    TableMirror m_mirror;
    std::deque<Expect> m_expects;
    int m_seat = 0;
    int m_generation = 0;
    bool m_loggedIn = false;
    bool m_closing = false;
    bool m_requestOut = false; // a game request waits for its answer
    bool m_actScheduled = false;
    bool m_rollFailedOwnTurn = false;

    // Just Watch (seat 2).
    bool m_watching = false;
    bool m_watchPending = false;
    bool m_unwatchPending = false;
    int m_watchedTurns = 0;
    int m_watchTurnsLeft = 0;

    // Host: game starts, replacement and the watchdog.
    bool m_startPending = false;
    qint64 m_startAtNs = -1;
    qint64 m_lastProgressNs = 0;
    int m_kickedForStall = 0;
    qint64 m_nextRogueKickNs = 0;

    qint64 m_nextChatNs = 0;
    qint64 m_nextChurnNs = 0;
    qint64 m_reconnectAtNs = -1;
};
