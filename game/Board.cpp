#include "game/Board.h"

#include <stdexcept>

int Board::gethighnum(int column) {
    static constexpr int highnum[] = {1, 3, 5, 7, 9, 11, 9, 7, 5, 3, 1};
    return isColumn(column) ? highnum[column - firstColumn] : 0;
}

void Board::clearboard() {
    for (auto& column : m_cells)
        column.fill(Cell{});
}

Cell& Board::cell(int column, int position) {
    if (!isColumn(column))
        throw std::out_of_range("no such column");
    return m_cells[column].at(position);
}

const Cell& Board::cell(int column, int position) const {
    if (!isColumn(column))
        throw std::out_of_range("no such column");
    return m_cells[column].at(position);
}

int Board::markerPosition(int column) const {
    for (int position = 0; position <= top(column); ++position)
        if (m_cells[column][position].occupant == marker)
            return position;
    return -1;
}

int Board::chipPosition(int seat, int column) const {
    for (int position = 0; position <= gethighnum(column); ++position)
        if (m_cells[column][position].occupant == seat)
            return position;
    return -1;
}

int Board::completedColumns(int seat) const {
    int count = 0;
    for (int column = firstColumn; column <= lastColumn; ++column)
        if (m_cells[column][top(column)].occupant == seat)
            ++count;
    return count;
}
