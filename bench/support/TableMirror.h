#pragma once

#include "game/Game.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

// A client's copy of the table, kept from the messages the server sends, that
// checks each of them against the rules and the order of a turn:
//   - a turn begins only when none is open, for a playing seat;
//   - a roll comes from the current seat when rolling is allowed, with the
//     verdict the dice give, and a roll that fits nothing is followed by the
//     lost turn;
//   - a placement names two dice that were available, is legal, and changes
//     exactly the cells the rules say, listed in their order;
//   - an end of turn keeps only what may be kept and lists exactly the cells
//     that change; the score follows, and the winner after three columns.
// A client that joins during a game starts from CMD_gamestats. The state
// does not tell whether the current seat may roll; the client knows it only
// if it saw the turn begin (a connection gets everything sent to all from
// the moment it is accepted, its login may come later), else the checks
// that depend on it wait until the next turn begins.
class TableMirror {
public:
    enum class Event { Other, Started, Synced, TurnBegan, Rolled, Placed, TurnEnded, Scored, Won };

    struct Move {
        int column, dieA, dieB;
    };

    // Follows one message (without its 0xFF). False when the message breaks
    // the rules or the order of a turn; error() then says how.
    bool apply(const QByteArray& message);
    QString error() const { return m_error; }
    // Forgets the game (not the names) after a fault, until the next start.
    void desync() {
        m_synced = false;
        m_running = false;
        m_turnOpen = false;
    }
    Event lastEvent() const { return m_event; }
    // The seat the last game message was about.
    int lastSeat() const { return m_lastSeat; }

    const Game& game() const { return m_game; }
    bool synced() const { return m_synced; }
    bool gameRunning() const { return m_running; }
    bool turnOpen() const { return m_turnOpen; }
    // Known only from the first turn that began while this client watched.
    bool turnKnown() const { return m_turnKnown; }
    int currentSeat() const { return m_current; }
    bool rollingAllowed() const { return m_rollingAllowed; }
    bool useAll() const { return m_game.useAll(); }
    bool anyDieAvailable() const { return m_game.dice().anyAvailable(); }
    // The last placement: its column and dice.
    Move lastPlacement() const { return m_lastPlacement; }
    QByteArray lastWinner() const { return m_winner; }
    QByteArray lastEndCode() const { return m_lastEndCode; }

    QByteArray name(int seat) const;
    // The login name, or "Klot", "Klock", "Kling" for seats 2 to 4 without one.
    QByteArray displayName(int seat) const;

    // Every placement the seat could make now with the available dice.
    std::vector<Move> legalMoves(int seat) const;
    // What the rules would answer to a keep request now.
    Game::KeepRefusal keepRefusal() const { return m_game.checkKeep(); }

private:
    bool fail(const QString& text);
    bool startgame(const QByteArray& args);
    bool gamestats(const QByteArray& args);
    bool nextplayer(const QByteArray& args);
    bool rolldice(const QByteArray& args);
    bool placechip(const QByteArray& args);
    bool endturn(const QByteArray& args);
    bool postscores(const QByteArray& args);
    bool winner(const QByteArray& args);
    bool turnMessage(int seat, const char* what);
    void followBeforeSync(const QByteArray& command, const QByteArray& args);

    Game m_game;
    std::array<QByteArray, 10> m_names{};
    bool m_synced = false;
    bool m_running = false;
    bool m_turnOpen = false;
    bool m_turnKnown = false;
    bool m_rollingAllowed = false;
    bool m_mustLose = false; // a roll that fits nothing: the lost turn comes next
    int m_scoreDue = 0;      // the seat whose score comes next, else 0
    bool m_winnerDue = false;
    int m_current = 0;
    // Before the game state came: the seat whose turn began and is still
    // open, and whether it may roll.
    int m_earlyTurnSeat = 0;
    bool m_earlyRollingAllowed = false;
    int m_lastSeat = 0;
    Move m_lastPlacement{0, 0, 0};
    QByteArray m_winner;
    QByteArray m_lastEndCode;
    Event m_event = Event::Other;
    QString m_error;
};
