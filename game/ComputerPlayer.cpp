#include "game/ComputerPlayer.h"

#include "game/RandomSource.h"

int ComputerPlayer::columnValue(int column) {
    static constexpr int value[] = {12, 10, 8, 6, 4, 2, 4, 6, 8, 10, 12};
    return Board::isColumn(column) ? value[column - Board::firstColumn] : 0;
}

std::pair<int, int> ComputerPlayer::computerdice(const Dice& dice, int column) {
    for (int i = 0; i <= 2; ++i)
        for (int j = 1; j <= 3; ++j)
            if (j != i && dice.available(i) && dice.available(j) && dice.sum(i, j) == column)
                return {i, j};
    return {Dice::used, Dice::used};
}

void ComputerPlayer::resetTurn() {
    m_turnPoints = 0;
    m_freeOpening = true;
}

BotMove ComputerPlayer::placeFor(int column, int dieA, int dieB, int points) {
    m_turnPoints += points;
    m_freeOpening = false;
    return {BotMove::Kind::Place, column, dieA, dieB};
}

BotMove ComputerPlayer::computerplay(const Game& game, int seat) {
    if (auto move = computerend(game, seat))
        return *move;
    if (auto move = computerneedroll(game))
        return *move;
    if (auto move = computeradvance(game, seat))
        return *move;
    if (auto move = computermark(game, seat))
        return *move;
    if (auto move = computerend(game, seat))
        return *move;
    m_freeOpening = true;
    return {BotMove::Kind::RollStep};
}

std::optional<BotMove> ComputerPlayer::computerend(const Game& game, int seat) {
    // All three markers go on the board before stopping is considered.
    if (game.markerFree())
        return std::nullopt;
    if (auto move = computeradvance(game, seat))
        return move;
    if (game.mustMoveCell())
        return std::nullopt; // the turn cannot be kept yet
    const Board& board = game.board();
    int tops = 0;
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column) {
        const int occupant = board.cell(column, Board::top(column)).occupant;
        if (occupant == Board::marker || occupant == seat)
            ++tops;
    }
    if (tops >= Game::winningColumns)
        return BotMove{BotMove::Kind::Keep}; // keeping now wins
    const int threshold = 20 + m_random.below(8);
    if (m_turnPoints > threshold)
        return BotMove{BotMove::Kind::Keep};
    return std::nullopt;
}

std::optional<BotMove> ComputerPlayer::computerneedroll(const Game& game) const {
    if (game.dice().anyAvailable())
        return std::nullopt;
    return BotMove{BotMove::Kind::RollStep};
}

std::optional<BotMove> ComputerPlayer::computeradvance(const Game& game, int) {
    const Board& board = game.board();
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column) {
        const int position = board.markerPosition(column);
        if (position < 0 || !board.topEmpty(column))
            continue;
        const auto [i, j] = computerdice(game.dice(), column);
        if (i == Dice::used)
            continue;
        // Reaching the top is worth more than a step up the column.
        const int points = position == Board::gethighnum(column) ? columnValue(column) + 5
                                                                 : columnValue(column) / 2;
        return placeFor(column, i, j, points);
    }
    return std::nullopt;
}

std::optional<BotMove> ComputerPlayer::computermark(const Game& game, int seat) {
    // Once something was placed, a further column is opened only 3 times in 10.
    if (!m_freeOpening && m_random.below(10) > 2)
        return std::nullopt;
    if (!game.markerFree())
        return std::nullopt;
    if (auto move = computermarkbest(game, seat))
        return move;
    const Board& board = game.board();
    const Dice& dice = game.dice();
    const int attempts = Game::markerCount - game.markersUsed();
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const int start = m_random.below(4);
        for (int k = 1; k <= 4; ++k) {
            const int i = (start + k) % 4;
            for (int j = 0; j < Dice::count; ++j) {
                if (j == i || !dice.available(i) || !dice.available(j))
                    continue;
                const int column = dice.sum(i, j);
                if (board.markerPosition(column) < 0 && board.topEmpty(column))
                    return placeFor(column, i, j, columnValue(column));
            }
        }
    }
    return std::nullopt;
}

std::optional<BotMove> ComputerPlayer::computermarkbest(const Game& game, int seat) {
    const Board& board = game.board();
    const int columns = Board::lastColumn - Board::firstColumn + 1;
    const int start = m_random.below(columns);
    int best = 0;
    int bestColumn = 0;
    for (int n = 0; n < columns; ++n) {
        const int column = Board::firstColumn + (start + n) % columns;
        const int position = board.chipPosition(seat, column);
        if (position > best) {
            best = position;
            bestColumn = column;
        }
    }
    // Column 2 is left to the ordinary opening.
    if (bestColumn == 0 || bestColumn == 2)
        return std::nullopt;
    const auto [i, j] = computerdice(game.dice(), bestColumn);
    if (i == Dice::used)
        return std::nullopt;
    return placeFor(bestColumn, i, j, columnValue(bestColumn));
}
