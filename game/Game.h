#pragma once

#include "game/Board.h"
#include "game/BoardItem.h"
#include "game/Dice.h"

#include <optional>
#include <vector>

class DiceSource;

struct CellRef {
    int column, position;
};

// The rules of the climbing game on one board: four dice, three temporary
// markers, placement, keeping and losing a turn, completed columns. It knows
// nothing of seats in use, turns order or messages; the server decides whose
// turn it is and calls these for that seat.
//
// A turn: startTurn(); roll(); place() up to twice per roll with the
// available dice; roll() again or keep()/lose(). A roll that is not
// playable() loses the turn.
class Game {
public:
    static constexpr int markerCount = 3;
    // What checkforplay answers for a column that cannot be played.
    static constexpr int notPlayable = 100;
    static constexpr int winningColumns = 3;

    enum class PlaceRefusal {
        None,
        BadRequest,     // column, die index out of range, or the same die twice
        DieUnavailable, // a named die is not available
        NotPlayable,    // the column cannot be played or is not the sum of the dice
    };
    enum class KeepRefusal {
        None,
        MarkersLeft, // "Use All Markers" is on and a marker is still free
        MustMove,    // a marker covers another seat's chip
    };

    Board& board() { return m_board; }
    const Board& board() const { return m_board; }
    Dice& dice() { return m_dice; }
    const Dice& dice() const { return m_dice; }

    bool useAll() const { return m_useAll; }
    // Empties the board and fixes the "Use All Markers" rule for the game.
    void newGame(bool useAll);
    // All markers free and nothing placeable until the first roll.
    void startTurn();
    void roll(DiceSource& source) { m_dice.roll(source); }

    int markersUsed() const { return m_markersUsed; }
    bool markerFree() const { return m_markersUsed < markerCount; }
    void setMarkersUsed(int count) { m_markersUsed = count; }

    // The position a placement by the seat in the column would reach, or
    // notPlayable. Mode 'f' also takes a free marker when a new one is needed;
    // mode 'r' only asks.
    int checkforplay(char mode, int seat, int column);
    // checkforplay('r', ...), usable on a const game.
    int reach(int seat, int column) const;
    // True when some column can be played with two available dice.
    bool playable(int seat) const;

    // Checks a placement in the order: request in range, both dice
    // available, column playable and equal to the dice's sum.
    PlaceRefusal checkPlacement(int seat, int column, int firstDie, int secondDie) const;
    // Applies a placement that checkPlacement accepted; returns the changes:
    // Uncovered (if any), Covered (if any), Marker, then DieUsed for every
    // die that is used.
    std::vector<PlaceItem> place(int seat, int column, int firstDie, int secondDie);

    KeepRefusal checkKeep() const;
    // The first marker that covers a chip, columns ascending, positions upward.
    std::optional<CellRef> mustMoveCell() const;
    // Turns every marker into the seat's chip; a chip on a column's top
    // empties the rest of that column (the item's completedThrough is then
    // the position below the top). Call after checkKeep accepted.
    std::vector<EndItem> keep(int seat);
    // Takes every marker off and shows what lay under it again. Chips lifted
    // by new markers stay lifted.
    std::vector<EndItem> lose();

    int completedColumns(int seat) const { return m_board.completedColumns(seat); }
    bool hasWon(int seat) const { return completedColumns(seat) >= winningColumns; }

private:
    Board m_board;
    Dice m_dice;
    int m_markersUsed = 0;
    bool m_useAll = false;
};
