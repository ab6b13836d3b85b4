#include "game/StrongPlayer.h"

#include "game/BustOdds.h"
#include "game/Game.h"

#include <algorithm>

namespace {

// The cost of a column a player can no longer complete.
constexpr double unreachable = 100.0;

std::uint16_t bit(int column) {
    return std::uint16_t(1u << (column - Board::firstColumn));
}

// The 126 distinct rolls of four dice (faces sorted), how many of the 1296
// ordered rolls each stands for, and the two sums of each of its three
// pairings.
struct RollKind {
    int weight = 0;
    int sums[3][2] = {};
    std::uint16_t sumMask = 0; // bit s - 2 for every sum s of the pairings
};

std::array<RollKind, 126> makeRollKinds() {
    std::array<RollKind, 126> kinds{};
    int n = 0;
    for (int a = 1; a <= 6; ++a)
        for (int b = a; b <= 6; ++b)
            for (int c = b; c <= 6; ++c)
                for (int d = c; d <= 6; ++d) {
                    RollKind& kind = kinds[n++];
                    // 4! over the factorials of the repeated faces.
                    int counts[7] = {};
                    for (int face : {a, b, c, d})
                        ++counts[face];
                    int weight = 24;
                    for (int face = 1; face <= 6; ++face)
                        for (int k = 2; k <= counts[face]; ++k)
                            weight /= k;
                    kind.weight = weight;
                    const int sums[3][2] = {{a + b, c + d}, {a + c, b + d}, {a + d, b + c}};
                    for (int p = 0; p < 3; ++p)
                        for (int s = 0; s < 2; ++s) {
                            kind.sums[p][s] = sums[p][s];
                            kind.sumMask |= bit(sums[p][s]);
                        }
                }
    return kinds;
}

const std::array<RollKind, 126>& rollKinds() {
    static const std::array<RollKind, 126> kinds = makeRollKinds();
    return kinds;
}

// The pairings of four dice: dice 0 and 1 with 2 and 3, and so on.
constexpr int pairings[3][2][2] = {{{0, 1}, {2, 3}}, {{0, 2}, {1, 3}}, {{0, 3}, {1, 2}}};

} // namespace

StrongPlayer::StrongPlayer(const Tuning& tuning) : m_tuning(tuning) {
    // How often each sum comes up in a roll of four dice.
    std::array<int, columnSlots> comesUp{};
    for (const RollKind& kind : rollKinds())
        for (int column = Board::firstColumn; column <= Board::lastColumn; ++column)
            if (kind.sumMask & bit(column))
                comesUp[column] += kind.weight;
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column) {
        const int length = Board::top(column) + 1;
        const double perTurn = m_tuning.rolls * comesUp[column] / double(BustOdds::outcomes);
        for (int height = 0; height <= length; ++height)
            m_steps[column][height] = (length - height) / perTurn;
    }
}

int StrongPlayer::bustingRolls(std::uint16_t playableMask) {
    // Every mask at once, the first time: a roll busts when none of the sums
    // of its three pairings is a playable column.
    static const std::array<std::int16_t, 1 << 11> counted = [] {
        std::array<std::int16_t, 1 << 11> table{};
        for (unsigned mask = 0; mask < table.size(); ++mask)
            for (const RollKind& kind : rollKinds())
                if (!(kind.sumMask & mask))
                    table[mask] = std::int16_t(table[mask] + kind.weight);
        return table;
    }();
    return counted[playableMask & ((1u << 11) - 1)];
}

void StrongPlayer::read(const Game& game, int seat, Fixed& fixed, Turn& turn) const {
    const Board& board = game.board();
    fixed.seat = seat;
    fixed.useAll = game.useAll();
    turn.markersUsed = game.markersUsed();
    // The opponents: every playing seat but this one that has a chip on the board.
    std::array<int, 5> rivalOf{}; // seat -> index + 1
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column)
        for (int position = 0; position <= Board::top(column); ++position) {
            const Cell& cell = board.cell(column, position);
            const int chip = cell.occupant == Board::marker ? cell.covered : cell.occupant;
            if (chip >= 1 && chip <= 4 && chip != seat && rivalOf[chip] == 0 &&
                fixed.rivals < int(fixed.rivalCost.size()))
                rivalOf[chip] = ++fixed.rivals;
        }
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column) {
        const int length = Board::top(column) + 1;
        fixed.length[column] = length;
        const Cell& top = board.cell(column, Board::top(column));
        if (top.occupant != 0 && top.occupant != Board::marker) {
            fixed.closed[column] = true;
            fixed.closedCost[column] = top.occupant == seat ? 0 : unreachable;
            if (top.occupant == seat)
                ++turn.completed;
            for (int r = 0; r < fixed.rivals; ++r)
                fixed.rivalCost[r][column] = unreachable;
            if (top.occupant >= 1 && top.occupant <= 4 && rivalOf[top.occupant]) {
                fixed.rivalCost[rivalOf[top.occupant] - 1][column] = 0;
                ++fixed.rivalDone[rivalOf[top.occupant] - 1];
            }
            continue;
        }
        int height = 0;
        int rival = 0; // the highest other seat's chip, as a height
        std::array<int, 4> rivalHeight{};
        for (int position = 0; position < length; ++position) {
            const Cell& cell = board.cell(column, position);
            const int chip = cell.occupant == Board::marker ? cell.covered : cell.occupant;
            if (cell.occupant == Board::marker) {
                height = position + 1;
                turn.markers |= bit(column);
            } else if (chip == seat && !(turn.markers & bit(column))) {
                height = position + 1;
            }
            if (chip >= 1 && chip <= 4 && chip != seat) {
                fixed.others[column] |= std::uint16_t(1u << position);
                rival = std::max(rival, position + 1);
                if (rivalOf[chip])
                    rivalHeight[rivalOf[chip] - 1] = position + 1;
            }
        }
        turn.height[column] = height;
        for (int r = 0; r < fixed.rivals; ++r)
            fixed.rivalCost[r][column] = m_tuning.overhead + m_steps[column][rivalHeight[r]];
        // A column where an opponent stands higher may be closed first.
        const double share = double(rival) / length;
        const double extra = m_tuning.overhead + m_tuning.threat * share * share;
        for (int h = 0; h < length; ++h)
            fixed.cost[column][h] = m_steps[column][h] + extra;
        fixed.cost[column][length] = 0;
        if (height == length)
            ++turn.completed;
        if ((turn.markers & bit(column)) && height > 0 &&
            (fixed.others[column] & (1u << (height - 1))))
            ++turn.covering;
    }
    fixed.rivalsNow = rivalsCost(fixed, 0);
}

bool StrongPlayer::canPlace(const Fixed& fixed, const Turn& turn, int column) {
    if (column < Board::firstColumn || column > Board::lastColumn || fixed.closed[column])
        return false;
    if (turn.markers & bit(column))
        return turn.height[column] < fixed.length[column];
    return turn.markersUsed < Game::markerCount;
}

void StrongPlayer::place(const Fixed& fixed, Turn& turn, int column) {
    const int from = turn.height[column];
    const int to = from + 1;
    const std::uint16_t others = fixed.others[column];
    if (turn.markers & bit(column)) {
        if (others & (1u << (from - 1)))
            --turn.covering;
    } else {
        turn.markers |= bit(column);
        ++turn.markersUsed;
    }
    if (others & (1u << (to - 1)))
        ++turn.covering;
    if (to == fixed.length[column])
        ++turn.completed;
    turn.height[column] = to;
}

std::uint16_t StrongPlayer::playableMask(const Fixed& fixed, const Turn& turn) {
    std::uint16_t mask = 0;
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column)
        if (canPlace(fixed, turn, column))
            mask |= bit(column);
    return mask;
}

bool StrongPlayer::keepable(const Fixed& fixed, const Turn& turn) {
    return turn.covering == 0 && (!fixed.useAll || turn.markersUsed == Game::markerCount);
}

namespace {

// The sum of the three smallest of the costs of columns 2 to 12.
template <typename CostOf> double cheapestThree(CostOf costOf) {
    double a = unreachable, b = unreachable, c = unreachable;
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column) {
        const double cost = costOf(column);
        if (cost < c) {
            c = cost;
            if (c < b)
                std::swap(b, c);
            if (b < a)
                std::swap(a, b);
        }
    }
    return a + b + c;
}

} // namespace

double StrongPlayer::rivalsCost(const Fixed& fixed, std::uint16_t closing) const {
    // The opponent nearest to winning; a column completed now is closed to all.
    double nearest = fixed.rivals ? unreachable * Game::winningColumns : 0;
    for (int r = 0; r < fixed.rivals; ++r)
        nearest =
            std::min(nearest, cheapestThree([&](int column) {
                         return (closing & bit(column)) ? unreachable : fixed.rivalCost[r][column];
                     }));
    return nearest;
}

double StrongPlayer::worth(const Fixed& fixed, const Turn& turn, bool lost) const {
    const double own = cheapestThree([&](int column) {
        if (fixed.closed[column])
            return fixed.closedCost[column];
        const bool marked = turn.markers & bit(column);
        return fixed.cost[column][lost && marked ? 0 : turn.height[column]];
    });
    std::uint16_t closing = 0;
    if (!lost)
        for (int column = Board::firstColumn; column <= Board::lastColumn; ++column)
            if (!fixed.closed[column] && turn.height[column] == fixed.length[column])
                closing |= bit(column);
    const double rivals = closing ? rivalsCost(fixed, closing) : fixed.rivalsNow;
    // Winning ends the race: worth the lead it has, and more.
    const bool wins = !lost && turn.completed >= Game::winningColumns;
    return m_tuning.denial * rivals - own + (wins ? m_tuning.winBonus : 0);
}

double StrongPlayer::placedWorth(const Fixed& fixed, const Turn& turn) const {
    const double kept = worth(fixed, turn, false);
    const bool canKeep = keepable(fixed, turn);
    if (canKeep && turn.completed >= Game::winningColumns)
        return kept;
    const double bust = bustingRolls(playableMask(fixed, turn)) / double(BustOdds::outcomes);
    const double lost = worth(fixed, turn, true);
    // The better of stopping here and one more roll that gains about the
    // usual amount or busts; a position that cannot be kept must roll.
    const double onward = kept + (1 - bust) * m_tuning.gain - bust * (kept - lost);
    return canKeep ? std::max(kept, onward) : onward;
}

double StrongPlayer::bestOf(const Fixed& fixed, const Turn& turn, int first, int second,
                            int& choice) const {
    choice = 0;
    double best = 0;
    auto consider = [&](const Turn& after, int option) {
        const double worth = placedWorth(fixed, after);
        if (choice == 0 || worth > best) {
            best = worth;
            choice = option;
        }
    };
    const bool firstFits = canPlace(fixed, turn, first);
    const bool secondFits = canPlace(fixed, turn, second);
    if (firstFits) {
        Turn after = turn;
        place(fixed, after, first);
        consider(after, 1);
        if (canPlace(fixed, after, second)) {
            place(fixed, after, second);
            consider(after, 3);
        }
    }
    if (secondFits) {
        Turn after = turn;
        place(fixed, after, second);
        consider(after, 2);
        if (!firstFits && canPlace(fixed, after, first)) {
            place(fixed, after, first);
            consider(after, 3);
        }
    }
    return best;
}

double StrongPlayer::rollWorth(const Fixed& fixed, const Turn& turn) const {
    const double lostWorth = worth(fixed, turn, true);
    // Many rolls share a pair of sums: each pair is weighed once.
    struct Known {
        bool done = false, fits = false;
        double worth = 0;
    };
    std::array<std::array<Known, columnSlots>, columnSlots> known{};
    double total = 0;
    for (const RollKind& kind : rollKinds()) {
        double best = 0;
        bool fits = false;
        for (const auto& sums : kind.sums) {
            Known& pair = known[std::min(sums[0], sums[1])][std::max(sums[0], sums[1])];
            if (!pair.done) {
                int choice = 0;
                pair.worth = bestOf(fixed, turn, sums[0], sums[1], choice);
                pair.fits = choice != 0;
                pair.done = true;
            }
            if (pair.fits && (!fits || pair.worth > best)) {
                best = pair.worth;
                fits = true;
            }
        }
        total += kind.weight * (fits ? best : lostWorth);
    }
    return total / BustOdds::outcomes;
}

BotMove StrongPlayer::nextMove(const Game& game, int seat) {
    Fixed fixed;
    Turn turn;
    read(game, seat, fixed, turn);
    const Dice& dice = game.dice();
    int available[Dice::count];
    int count = 0;
    for (int die = 0; die < Dice::count; ++die)
        if (dice.available(die))
            available[count++] = die;

    auto placeMove = [&](int a, int b) {
        return BotMove{BotMove::Kind::Place, dice.sum(a, b), a, b};
    };

    if (count == Dice::count) {
        // Just rolled: a placement must be made, the best of every pairing.
        double best = 0;
        int bestPairing = -1, bestChoice = 0;
        for (int p = 0; p < 3; ++p) {
            const auto& pair = pairings[p];
            int choice = 0;
            const double worth = bestOf(fixed, turn, dice.sum(pair[0][0], pair[0][1]),
                                        dice.sum(pair[1][0], pair[1][1]), choice);
            if (choice != 0 && (bestPairing < 0 || worth > best)) {
                best = worth;
                bestPairing = p;
                bestChoice = choice;
            }
        }
        if (bestPairing >= 0) {
            const auto& pair = pairings[bestPairing];
            const int first = dice.sum(pair[0][0], pair[0][1]);
            bool firstNow = bestChoice == 1;
            if (bestChoice == 3) {
                // Both: begin with the pair after which the other still fits.
                Turn after = turn;
                firstNow = canPlace(fixed, turn, first);
                if (firstNow) {
                    place(fixed, after, first);
                    firstNow = canPlace(fixed, after, dice.sum(pair[1][0], pair[1][1]));
                }
            }
            const auto& chosen = firstNow ? pair[0] : pair[1];
            return placeMove(chosen[0], chosen[1]);
        }
    } else if (count == 2) {
        // One pair placed: the other too, if that is worth more than leaving it.
        const int column = dice.sum(available[0], available[1]);
        if (canPlace(fixed, turn, column)) {
            Turn after = turn;
            place(fixed, after, column);
            if (placedWorth(fixed, after) > placedWorth(fixed, turn))
                return placeMove(available[0], available[1]);
        }
    }

    // Between rolls: keep, or roll again.
    if (turn.markersUsed == 0 || !keepable(fixed, turn))
        return {BotMove::Kind::RollStep};
    if (turn.completed >= Game::winningColumns)
        return {BotMove::Kind::Keep};
    if (rollWorth(fixed, turn) > worth(fixed, turn, false) + m_tuning.stopMargin)
        return {BotMove::Kind::RollStep};
    return {BotMove::Kind::Keep};
}
