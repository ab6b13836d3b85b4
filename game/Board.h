#pragma once

#include <array>

// One cell of the board.
struct Cell {
    // 0 empty, 1 to 4 the chip of that seat, Board::marker a temporary marker.
    int occupant = 0;
    // The seat whose chip lies under a temporary marker here, else 0.
    int covered = 0;
};

// The eleven columns 2 to 12, one per sum of two dice. Positions count from
// 0 at the bottom; a column's top position is gethighnum(column) + 1, and a
// chip there completes the column. Storage has 13 positions for every
// column; those above a column's top stay empty.
class Board {
public:
    static constexpr int firstColumn = 2;
    static constexpr int lastColumn = 12;
    static constexpr int positions = 13;
    static constexpr int marker = 10;

    static bool isColumn(int column) { return column >= firstColumn && column <= lastColumn; }
    // The position just below the column's top; 0 for a number that is no column.
    static int gethighnum(int column);
    static int top(int column) { return gethighnum(column) + 1; }

    // Empties every cell.
    void clearboard();

    // Raise std::out_of_range outside columns 2 to 12 and positions 0 to 12.
    Cell& cell(int column, int position);
    const Cell& cell(int column, int position) const;

    bool topEmpty(int column) const { return cell(column, top(column)).occupant == 0; }
    // The position of the column's temporary marker, or -1.
    int markerPosition(int column) const;
    // The position of the seat's chip in the column below its top, or -1.
    int chipPosition(int seat, int column) const;
    // The number of columns whose top cell holds the seat's chip.
    int completedColumns(int seat) const;

private:
    // Indexed by column directly; rows 0 and 1 are never used.
    std::array<std::array<Cell, positions>, lastColumn + 1> m_cells{};
};
