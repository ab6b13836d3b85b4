#pragma once

#include "client/SeatNames.h"
#include "protocol/Messages.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

// The client's picture of the table, kept apart from the widgets that show
// it: who sits where, the board's cells, the markers and dice of the turn,
// whose turn it is and how far it has come, the game's option and its
// winner. The server decides everything; the dispatcher reads each message
// and hands it here, and the views follow the signals.
//
// Every operation that takes a message's content checks all of it first and
// raises EViewError for a seat, column, position, die or value the table
// does not have, so a bad message changes nothing.
//
// A turn as seen here: beginTurn (AwaitingRoll), applyRoll (Rolled), then
// any number of placementSent (Placing) answered by applyPlacement or
// refusePlacement (Rolled again), more rolls, possibly refuseEnd, then
// applyEnd (Paused), and at last announceWinner (Won). A client that joins
// during a game starts from applyGamestats.
class TableModel : public QObject {
    Q_OBJECT
public:
    enum class Phase {
        NoGame,       // before the first game
        Paused,       // a game runs, between a turn's end and the next turn
        AwaitingRoll, // a turn has begun; its dice are not rolled yet
        Rolled,       // the dice are on the table
        Placing,      // the own placement is sent and not answered yet
        Won,          // the game is over
    };

    struct Seat {
        QString name = QString::fromLatin1(seats::waiting);
        int score = 0;
        bool present = false;  // a person holds the seat
        bool computer = false; // shown as played by the computer
        bool watching = false; // the seat's player just watches
    };
    struct Cell {
        int occupant = 0;    // 0 empty, a seat's chip, or marker
        int seatUnder = 0;   // the seat whose chip a marker covers here, else 0
        int completedBy = 0; // the seat that completed the column through here, else 0
    };
    struct Die {
        int face = 0;        // the picture shown: 0 to 5 for one to six pips
        int value = noValue; // 0 to 5, or noValue: not selectable
        bool home = true;    // resting below the board, out of the row
    };

    static constexpr int marker = 10;  // occupant code of a temporary marker
    static constexpr int noValue = 10; // a die that cannot be selected
    static constexpr int noDie = 10;   // an empty selection slot
    static constexpr int markers = 3;
    static constexpr int dice = 4;

    explicit TableModel(QObject* parent = nullptr);

    // ---- Seats ----------------------------------------------------------
    // Raise EViewError unless the seat exists (1 to 9) / plays (1 to 4);
    // a playing seat is named after its control, as the view has one per
    // playing seat.
    static void requireSeat(int seat);
    static void requirePlayer(int seat, const char* control = "label_playername");
    // A seat 1 to 9; any other number gives an empty seat.
    const Seat& seat(int seat) const;
    // The seat's caption: the person's name, the computer's or "<Waiting>".
    QString seatName(int seat) const { return this->seat(seat).name; }
    // Spectators present, as "seat: name", by seat.
    QStringList spectators() const;
    // The captions of the four playing seats, seat 1 first.
    QStringList seatCaptions() const;

    // A person arrived at the seat (announced or already there).
    void seatArrived(int seat, const QString& name);
    // The person at the seat left. A playing seat shows the computer on
    // seat 2 and "<Waiting>" elsewhere; returns the caption it showed.
    QString seatLeft(int seat);
    void setScore(int seat, int score);
    void setWatching(int seat, bool watching);

    // ---- The own seat ---------------------------------------------------
    int ownSeat() const { return m_ownSeat; }
    // The own name as the server announced it; empty until then.
    QString ownName() const { return m_ownName; }
    bool isOwn(int seat) const { return seat != 0 && seat == m_ownSeat; }
    bool ownSeatPlays() const;
    void setOwnSeat(int seat);

    // ---- The turn -------------------------------------------------------
    int turnSeat() const { return m_turnSeat; }
    // The seat the turn arrow points at, 0 while it is hidden.
    int arrowSeat() const { return m_arrowSeat; }
    Phase phase() const { return m_phase; }
    // A game started (or was under way when this client joined) and no
    // winner has been announced since.
    bool gameRunning() const;
    // The own turn, and not waiting for the server's answer to a placement.
    bool inputAccepted() const;
    // The turn buttons the own turn offers now. They stay up while a
    // placement waits for its answer.
    bool rollOffered() const { return isOwn(m_turnSeat) && m_rollOffered; }
    bool endOffered() const { return isOwn(m_turnSeat) && m_endOffered; }
    bool ownColourShown() const { return m_phase != Phase::NoGame; }

    // What the player asks: each takes the offer back, so that a second
    // press sends nothing, and returns whether it may be sent: not while a
    // placement waits for its answer (the press only takes the buttons down,
    // and the answer brings them back).
    bool requestRoll();
    bool requestEnd();
    // A placement of the two selected dice on the column may be sent when
    // it is the own turn and the dice add up to the column; input then
    // waits for the answer.
    bool requestPlacement(int column);

    // ---- Board, markers, dice --------------------------------------------
    static void requireCell(int column, int position);
    static void requireDie(int die);
    const Cell& cell(int column, int position) const;
    // The position of the marker that covers another seat's chip in the
    // column, or -1.
    int coverPosition(int column) const;
    // The column a stock marker (1 to 3) works on, 0 while in the stock.
    int markerColumn(int marker) const { return m_markers.at(marker - 1).column; }
    // Whether the marker's column is written under "Working Columns".
    bool markerLabelled(int marker) const { return m_markers.at(marker - 1).labelled; }
    // Markers taken from the stock this turn, as far as seen here.
    int markersInUse() const { return m_markersInUse; }
    const Die& die(int die) const { return m_dice.at(die); }
    int slotA() const { return m_slotA; }
    int slotB() const { return m_slotB; }
    bool isSelected(int die) const { return die == m_slotA || die == m_slotB; }
    void setSelection(int slotA, int slotB);
    // The two selected dice add up to the column.
    bool checkformatch(int column) const;

    // ---- Game messages --------------------------------------------------
    // A game starts: the board is cleared and the scores are 0.
    void startGame(bool useAll);
    void beginTurn(int seat);
    void applyRoll(const msg::Rolldice& roll);
    void applyPlacement(const msg::PlacechipResult& placement);
    // The own placement was refused: input comes back, the selection stays.
    void refusePlacement();
    // The own end was refused: input and the roll come back.
    void refuseEnd();
    void applyEnd(const msg::EndturnResult& end);
    // Returns false, changing nothing, unless a game is running: a winner
    // counts once per game.
    bool announceWinner(const QString& name);
    // The whole board for this client joining a running game; returns
    // false, changing nothing, when it is meant for another seat.
    bool applyGamestats(const msg::Gamestats& stats);

    bool useAll() const { return m_useAll; }
    QString winner() const { return m_winner; }
    // The own seat plays and the winner carries the own name.
    bool ownWin() const;
    QString status() const { return m_status; }
    void setStatus(const QString& text);
    // A status that refuses the player's request; the next own roll clears
    // it (see statusRefuses).
    void setRefusal(const QString& text);
    bool statusRefuses() const { return m_statusRefuses; }

signals:
    void seatChanged(int seat);
    void ownSeatChanged();
    void cellChanged(int column, int position);
    // Every cell may have changed (a new game, a joined game's board).
    void boardReset();
    void diceChanged();
    // A roll of the seat's dice has been laid out.
    void rolled(int seat);
    // The turn seat, the arrow or the turn buttons on offer.
    void turnChanged();
    void phaseChanged();
    void markersChanged();
    void useAllChanged();
    void statusChanged();
    void winnerAnnounced(const QString& name, bool ownWin);

private:
    struct StockMarker {
        int column = 0;
        bool labelled = false;
    };

    Cell& cellAt(int column, int position);
    void setCell(int column, int position, int occupant, int seatUnder);
    void completeColumn(int column, int through, int seat);
    void clearCovers();
    // Shows again what a marker covered anywhere in the column but at `except`.
    void clearCoversIn(int column, int except);
    void clearStock();
    // Takes a stock marker for the column unless one works on it already.
    void takeMarker(int column, bool label);
    void setPhase(Phase phase);
    void setOffers(bool roll, bool end);
    void setTurn(int seat);
    void dieHome(int die);

    std::array<Seat, 10> m_seats{};
    std::array<std::array<Cell, 13>, 13> m_cells{};
    std::array<StockMarker, markers> m_markers{};
    std::array<Die, dice> m_dice{};
    int m_markersInUse = 0;
    int m_slotA = noDie;
    int m_slotB = noDie;
    int m_ownSeat = 0;
    QString m_ownName;
    int m_turnSeat = 0;
    int m_arrowSeat = 0;
    Phase m_phase = Phase::NoGame;
    bool m_rollOffered = false;
    bool m_endOffered = false;
    bool m_useAll = false;
    QString m_winner;
    QString m_status = QStringLiteral("Welcome to Climora");
    bool m_statusRefuses = false;
};
