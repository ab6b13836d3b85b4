#include "client/RulesGame.h"

#include "client/TableModel.h"

Game rulesGame(const TableModel& model) {
    Game game;
    game.newGame(model.useAll());
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column)
        for (int position = 0; position <= Board::top(column); ++position) {
            const TableModel::Cell& c = model.cell(column, position);
            // Below a completed column's top the model keeps what lay there
            // to show the completion over it; to the rules those places are
            // empty, and the completing chip on the top closes the column.
            if (c.completedBy == 0 || position == Board::top(column))
                game.board().cell(column, position) = Cell{c.occupant, c.seatUnder};
        }
    for (int die = 0; die < Dice::count; ++die) {
        const TableModel::Die& d = model.die(die);
        game.dice().set(die, d.value, !d.home && d.value != TableModel::noValue);
    }
    game.setMarkersUsed(model.markersInUse());
    return game;
}
