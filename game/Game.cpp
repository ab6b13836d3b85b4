#include "game/Game.h"

void Game::newGame(bool useAll) {
    m_board.clearboard();
    m_useAll = useAll;
}

void Game::startTurn() {
    m_dice.makeUnavailable();
    m_markersUsed = 0;
}

int Game::reach(int seat, int column) const {
    if (!Board::isColumn(column) || !m_board.topEmpty(column))
        return notPlayable;
    const int markerAt = m_board.markerPosition(column);
    if (markerAt >= 0)
        return markerAt + 1; // the marker moves one step up
    if (!markerFree())
        return notPlayable;
    return m_board.chipPosition(seat, column) + 1; // 0 when the seat has no chip here
}

int Game::checkforplay(char mode, int seat, int column) {
    const int position = reach(seat, column);
    if (mode == 'f' && position != notPlayable && m_board.markerPosition(column) < 0)
        ++m_markersUsed;
    return position;
}

bool Game::playable(int seat) const {
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column)
        if (reach(seat, column) != notPlayable && m_dice.checkdice(column))
            return true;
    return false;
}

Game::PlaceRefusal Game::checkPlacement(int seat, int column, int firstDie, int secondDie) const {
    if (!Board::isColumn(column) || !Dice::isIndex(firstDie) || !Dice::isIndex(secondDie) ||
        firstDie == secondDie)
        return PlaceRefusal::BadRequest;
    if (!m_dice.available(firstDie) || !m_dice.available(secondDie))
        return PlaceRefusal::DieUnavailable;
    if (reach(seat, column) == notPlayable || m_dice.sum(firstDie, secondDie) != column)
        return PlaceRefusal::NotPlayable;
    return PlaceRefusal::None;
}

std::vector<PlaceItem> Game::place(int seat, int column, int firstDie, int secondDie) {
    std::vector<PlaceItem> items;
    if (checkPlacement(seat, column, firstDie, secondDie) != PlaceRefusal::None)
        return items;
    const int position = checkforplay('f', seat, column);
    m_dice.use(firstDie);
    m_dice.use(secondDie);
    if (position > 0) {
        // The cell the marker leaves, or the seat's own chip that a new marker lifts.
        Cell& below = m_board.cell(column, position - 1);
        below.occupant = below.covered;
        below.covered = 0;
        items.push_back({PlaceItem::Kind::Uncovered, {column, position - 1, below.occupant, 0}, 0});
    }
    Cell& target = m_board.cell(column, position);
    if (target.occupant != 0) {
        target.covered = target.occupant;
        items.push_back(
            {PlaceItem::Kind::Covered, {column, position, Board::marker, target.covered}, 0});
    }
    target.occupant = Board::marker;
    items.push_back({PlaceItem::Kind::Marker, {column, position, Board::marker, 0}, 0});
    for (int die = 0; die < Dice::count; ++die)
        if (!m_dice.available(die))
            items.push_back({PlaceItem::Kind::DieUsed, {}, die});
    return items;
}

std::optional<CellRef> Game::mustMoveCell() const {
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column) {
        const int position = m_board.markerPosition(column);
        if (position >= 0 && m_board.cell(column, position).covered != 0)
            return CellRef{column, position};
    }
    return std::nullopt;
}

Game::KeepRefusal Game::checkKeep() const {
    if (m_useAll && markerFree())
        return KeepRefusal::MarkersLeft;
    if (mustMoveCell())
        return KeepRefusal::MustMove;
    return KeepRefusal::None;
}

std::vector<EndItem> Game::keep(int seat) {
    std::vector<EndItem> items;
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column) {
        const int position = m_board.markerPosition(column);
        if (position < 0)
            continue;
        m_board.cell(column, position) = Cell{seat, 0};
        int fill = 0;
        if (position == Board::top(column)) {
            // Completed: the column is closed for everybody.
            fill = Board::gethighnum(column);
            for (int below = 0; below <= fill; ++below)
                m_board.cell(column, below) = Cell{};
        }
        items.push_back({{column, position, seat, 0}, fill});
    }
    return items;
}

std::vector<EndItem> Game::lose() {
    std::vector<EndItem> items;
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column) {
        const int position = m_board.markerPosition(column);
        if (position < 0)
            continue;
        Cell& cell = m_board.cell(column, position);
        cell = Cell{cell.covered, 0};
        items.push_back({{column, position, cell.occupant, 0}, 0});
    }
    return items;
}
