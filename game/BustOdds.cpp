#include "game/BustOdds.h"

#include "game/Game.h"

BustOdds::BustOdds(const Game& game, int seat) : m_busting(count(game, seat)) {}

BustOdds::BustOdds(const Position& position) {
    Game game;
    game.newGame(false);
    game.startTurn();
    for (const auto& [column, place] : position.chips)
        if (Board::isColumn(column) && place >= 0 && place < Board::top(column))
            game.board().cell(column, place) = Cell{position.seat, 0};
    int markers = 0;
    for (int column : position.markers) {
        if (!Board::isColumn(column) || markers == Game::markerCount ||
            game.board().markerPosition(column) >= 0)
            continue;
        // Lifting the seat's own chip, as a placement does.
        const int chip = game.board().chipPosition(position.seat, column);
        if (chip >= 0)
            game.board().cell(column, chip) = Cell{};
        game.board().cell(column, chip + 1) = Cell{Board::marker, 0};
        ++markers;
    }
    game.setMarkersUsed(markers);
    for (int column : position.closed)
        if (Board::isColumn(column)) {
            for (int place = 0; place < Board::top(column); ++place)
                game.board().cell(column, place) = Cell{};
            game.board().cell(column, Board::top(column)) = Cell{position.seat, 0};
        }
    m_busting = count(game, position.seat);
}

int BustOdds::count(const Game& game, int seat) {
    Game trial = game;
    int busting = 0;
    for (int outcome = 0; outcome < outcomes; ++outcome) {
        int rest = outcome;
        for (int die = 0; die < Dice::count; ++die) {
            trial.dice().set(die, rest % 6, true);
            rest /= 6;
        }
        if (!trial.playable(seat))
            ++busting;
    }
    return busting;
}
