#pragma once

#include "client/TableModel.h"
#include "game/Game.h"

#include <QByteArray>
#include <QString>

#include <memory>
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
// The table itself (seats, cells, dice, markers, turn, phase, winner) is the
// client's TableModel, fed with each message once its checks passed; the
// rules work on a Game drawn from the model, and after a placement or an end
// the model must show what the rules made of it.
//
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

    // The model is an object of its own: a mirror moves, it is not copied.
    TableMirror() : m_model(std::make_unique<TableModel>()) {}

    // Follows one message (without its 0xFF). False when the message breaks
    // the rules or the order of a turn, or does not fit its layout or the
    // table; error() then says how, and the table is as before.
    bool apply(const QByteArray& message);
    QString error() const { return m_error; }
    // Forgets the game (not the names) after a fault, until the next start.
    void desync() { m_synced = false; }
    Event lastEvent() const { return m_event; }
    // The seat the last game message was about.
    int lastSeat() const { return m_lastSeat; }

    const TableModel& model() const { return *m_model; }
    // The rules' view of the model: board, dice, markers taken, option.
    Game game() const;
    bool synced() const { return m_synced; }
    bool gameRunning() const { return m_synced && m_model->gameRunning(); }
    bool turnOpen() const;
    // Known only from the first turn that began while this client watched.
    bool turnKnown() const { return m_turnKnown; }
    int currentSeat() const { return m_model->turnSeat(); }
    bool rollingAllowed() const { return m_rollingAllowed; }
    bool useAll() const { return m_model->useAll(); }
    bool anyDieAvailable() const { return game().dice().anyAvailable(); }
    // The last placement: its column and dice.
    Move lastPlacement() const { return m_lastPlacement; }
    QByteArray lastWinner() const;
    QByteArray lastEndCode() const { return m_lastEndCode; }

    // The login name of a person at the seat, else empty.
    QByteArray name(int seat) const;
    // The login name, or "Klot", "Klock", "Kling" for seats 2 to 4 without one.
    QByteArray displayName(int seat) const;

    // Every placement the seat could make now with the available dice.
    std::vector<Move> legalMoves(int seat) const;
    // What the rules would answer to a keep request now.
    Game::KeepRefusal keepRefusal() const { return game().checkKeep(); }

private:
    using Handler = bool (TableMirror::*)(const QByteArray&);
    struct Command;
    static const Command* find(const QByteArray& name);

    bool fail(const QString& text);
    // The name the server gives the seat's player: the login or the fallback.
    QString shownName(int seat) const;
    bool seated(const QByteArray& args);
    bool left(const QByteArray& args);
    // Follows the order of turns afresh: from a game's start or its state.
    bool follow(bool turnKnown, bool rollingAllowed, Event event);
    bool startgame(const QByteArray& args);
    bool gamestats(const QByteArray& args);
    bool nextplayer(const QByteArray& args);
    bool rolldice(const QByteArray& args);
    bool placechip(const QByteArray& args);
    bool endturn(const QByteArray& args);
    bool postscores(const QByteArray& args);
    bool winner(const QByteArray& args);
    bool turnMessage(int seat, const char* what);
    // The model, after a change, shows what the rules made of it.
    bool modelAgrees(const Game& rules, const char* after);
    void followBeforeSync(const QByteArray& command, const QByteArray& args);

    std::unique_ptr<TableModel> m_model;
    bool m_synced = false;
    bool m_turnKnown = false;
    bool m_rollingAllowed = false;
    bool m_mustLose = false; // a roll that fits nothing: the lost turn comes next
    int m_scoreDue = 0;      // the seat whose score comes next, else 0
    bool m_winnerDue = false;
    // Before the game state came: the seat whose turn began and is still
    // open, and whether it may roll.
    int m_earlyTurnSeat = 0;
    bool m_earlyRollingAllowed = false;
    int m_lastSeat = 0;
    Move m_lastPlacement{0, 0, 0};
    QByteArray m_lastEndCode;
    Event m_event = Event::Other;
    QString m_error;
};
