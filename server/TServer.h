#pragma once

#include "game/ComputerPlayer.h"
#include "game/Game.h"
#include "game/StrongPlayer.h"
#include "net/TSock.h"
#include "protocol/Router.h"
#include "server/ChatRate.h"
#include "server/ReceiveQueue.h"
#include "server/SeatTable.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class BotSpeedSource;
class DiceSource;
class Peer;
class RandomSource;
class SystemRandom;

// The game server of the hosting process, a hidden object without window.
// It is the only authority on the game: clients send requests and paint
// what the server sends to all.
//
// Connections. Sock1 listens; every accepted connection gets the lowest
// free seat 1 to 9 and is asked to log in (a tenth gets "CMD_full+" and is
// dropped). A connection may act only for its own seat: every queued
// message remembers the seat of the connection it came from, and a request
// naming another seat is ignored. A connection logs in once; until then
// everything else it sends is ignored, and its name is made unique at the
// table. The host (seat 1) alone may start a game, remove a player and set
// other seats to "Just Watch". A connection that does not log in within the
// login timeout, or floods the server, is closed.
//
// Dispatch. Socket reads only cut bytes into messages and queue them, less
// the chat beyond its rate (ChatRate); socktimer handles one message per
// 10 ms, taking the connections in turn, each connection's messages in the
// order they came. It runs only while messages wait: a message reaching an
// idle server is handled on the next pass of the event loop.
//
// Turns. startgame clears the board and starts the first turn; findplayer
// picks the next seat (seat 2 always plays, by the computer when nobody
// holds it; seats 3 and 4 only while held). A turn is rolls and placements
// until the player keeps it (endturn "p"), loses it (a roll that fits no
// column, or "n"), or wins with three completed columns. After a turn
// without winner, timer1 pauses 2 ticks (kept) or 5 ticks (lost) before the
// next one; requests during the pause are ignored.
//
// Computer player. A seat nobody holds, or whose player watches, is played
// by the host's chosen level (ComputerPlayer, "Classic", unless the host
// chose StrongPlayer, "Strong"), one step per computertimer tick of the
// host's bot speed; its requests go through the same operations as a
// person's. The level is fixed for a game when it starts; if seat 2 is then
// played by the computer, every client is told which level plays it.
//
// The timer handlers are public so that tests and the fuzz harness can step
// them; a handler stepped while its timer is stopped does nothing.
class TServer : public QObject {
    Q_OBJECT
public:
    static constexpr int dispatchMs = 10;
    static constexpr int pauseTickMs = 1000;
    static constexpr int loginTimeoutMs = 30000;
    enum ComputerStep { noStep = 0, rollStep = 1, playStep = 2 };

    explicit TServer(BotSpeedSource& botSpeed, QObject* parent = nullptr);
    // With the dice and the computer player's draws taken from the given sources.
    TServer(BotSpeedSource& botSpeed, DiceSource& dice, RandomSource& random,
            QObject* parent = nullptr);
    ~TServer() override;

    // The listener, port "7772". setListen(true) may raise ESockException.
    TSock& Sock1() { return m_sock1; }
    // Keeps seat 1 for the host's own client, the connection from 127.0.0.1
    // at this local port, until it has been seated; others get seat 2 on.
    void keepFirstSeatFor(int ownClientPort) { m_ownClientPort = ownClientPort; }

    // Connections without a socket (tests, fuzz harness). acceptPeer seats
    // the peer as Sock1Accept would and answers its seat, or 0 when refused
    // (the peer then got "CMD_full+" and was closed and released). feed hands
    // in bytes the seat's peer sent; connectionClosed reports its close.
    int acceptPeer(std::unique_ptr<Peer> peer);
    void feed(int seat, const QByteArray& bytes);
    void connectionClosed(int seat);
    // Closes the seat's connection if the seat is in use.
    void disconnectsock(int seat);

    // Socket events.
    void Sock1Accept(TSock* sender);
    void Sock1Read(TSock* sender, int count);
    void tempsockDisconnect(TSock* sender);
    void tempsockInfo(TSock* sender, TSocketInfo kind, const QString& msg);

    // Timer handlers.
    void socktimerTimer();
    void timer1Timer();
    void computertimerTimer();
    void logintimerTimer(int seat);

    // Message handlers: the argument text after the command name, and the
    // seat of the connection the message came from.
    void receivedlogininfo(const QByteArray& args, int sender);
    void kickhim(const QByteArray& args, int sender);
    void chat(const QByteArray& args, int sender);
    void action(const QByteArray& args, int sender);
    void playasound(const QByteArray& args, int sender);
    void justwatch(const QByteArray& args, int sender);
    void startgame(const QByteArray& args, int sender);
    void rollthedice(const QByteArray& args, int sender);
    void placechip(const QByteArray& args, int sender);
    void endturn(const QByteArray& args, int sender);

    // The computer level of the game that runs (or ran last), read from the
    // host's settings when the game started.
    BotLevel computerLevel() const { return m_gameLevel; }
    // The system line that names the computer seat's level, e.g. "Klot plays Strong."
    static QByteArray levelNotice(BotLevel level);

    // Intervals, shortened by tests.
    void setPauseTickMs(int ms) { m_pauseTickMs = ms; }
    void setLoginTimeoutMs(int ms) { m_loginTimeoutMs = ms; }
    // The milliseconds the chat rate is measured in; tests set their own.
    void setClock(std::function<qint64()> nowMs) { m_nowMs = std::move(nowMs); }

    // What the sender of chat beyond its rate is told, as a system line:
    // seat 0, shown by the client in the blue of its own notices.
    static constexpr char floodNotice[] =
        "You are sending messages too fast. Some of them were not sent.";
    static constexpr char floodNoticeColour[] = "clBlue";

    // State, for the host window's tests and the fuzz harness.
    const QTimer& socktimer() const { return m_socktimer; }
    const QTimer& timer1() const { return m_timer1; }
    const QTimer& computertimer() const { return m_computertimer; }
    const QTimer& logintimer(int seat) const { return m_logintimer.at(seat); }
    int computertimerTag() const { return m_computertimerTag; }
    int pauseTicks() const { return m_pauseTicks; }
    bool anyTimerActive() const;
    const SeatTable& seats() const { return m_seats; }
    int seatCount() const { return m_seats.seatCount(); }
    int waitingMessages() const { return m_queue.size(); }
    Game& game() { return m_game; }
    const Game& game() const { return m_game; }
    ComputerPlayer& computer() { return m_computer; }
    bool gameRunning() const { return m_gameRunning; }
    // True while the current seat may act: a game runs and its turn has not ended.
    bool turnOpen() const { return m_turnOpen; }
    int currentSeat() const { return m_currentSeat; }
    bool rollingAllowed() const { return m_rollingAllowed; }
    QByteArray useAllFlag() const { return m_useAllFlag; }
    bool computerPlayed(int seat) const;

private:
    TServer(BotSpeedSource& botSpeed, DiceSource* dice, RandomSource* random, QObject* parent);

    void seatConnection(int seat, std::unique_ptr<Peer> peer, TSock* sock);
    void refuse(TSock* sock);
    void closeConnection(int seat);
    void scheduleDispatch();
    bool admit(int seat, const QByteArray& message, bool& tell);
    QByteArray gamestats(int seat) const;

    // The turn engine; requests are checked against the connection's seat
    // before they get here, and the computer player calls them directly.
    void requestRoll(int seat);
    void requestPlace(int seat, int column, int firstDie, int secondDie);
    void requestEnd(int seat, const QByteArray& code);
    void rolldice(int seat);
    void refusePlacement(int seat, const QByteArray& computerCode);
    void endTurnFor(int seat, const QByteArray& code);
    bool checkforwin(int seat);
    void findplayer();
    void startPause(int ticks);

    void startComputer(ComputerStep step);
    void computerroll(int seat);
    void computerplay(int seat);

    BotSpeedSource& m_botSpeed;
    std::unique_ptr<SystemRandom> m_ownRandom;
    DiceSource& m_dice;
    RandomSource& m_random;
    Game m_game;
    ComputerPlayer m_computer;
    StrongPlayer m_strong;
    BotLevel m_gameLevel = BotLevel::Classic;

    TSock m_sock1;
    TSock m_tempsock;
    SeatTable m_seats;
    ReceiveQueue m_queue;
    Router<int> m_router;

    QTimer m_socktimer;
    QElapsedTimer m_lastDispatch;
    QTimer m_timer1;
    QTimer m_computertimer;
    std::array<QTimer, seats::last + 1> m_logintimer;
    std::array<ChatRate, seats::last + 1> m_chatRate;
    QElapsedTimer m_clockStart;
    std::function<qint64()> m_nowMs;
    int m_timer1Tag = 0;
    int m_computertimerTag = noStep;
    int m_pauseTicks = 0;
    int m_pauseTickMs = pauseTickMs;
    int m_loginTimeoutMs = loginTimeoutMs;
    int m_ownClientPort = 0;

    bool m_gameRunning = false;
    bool m_turnOpen = false;
    int m_currentSeat = 0;
    bool m_rollingAllowed = false;
    QByteArray m_useAllFlag;
};
