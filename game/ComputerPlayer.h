#pragma once

#include "game/BotPlayer.h"
#include "game/Game.h"

#include <optional>
#include <utility>

class RandomSource;

// The computer player's heuristic. It looks at the board and dice of the
// current turn and answers with one request; the server carries it out
// through the same operations as a person's request, and paces the steps.
//
// Tactics, tried in order on every play step until one acts: stop if worth
// it (computerend), roll when all dice are used (computerneedroll), advance
// a marker already on the board (computeradvance), open a new column
// (computermark), and the stop check again. When none acts, the next step
// rolls and the next new column is free again.
//
// Per turn it keeps the points of its placements (a higher column value for
// the outer, shorter columns) and whether a new column may be opened without
// the 3-in-10 draw.
class ComputerPlayer : public BotPlayer {
public:
    explicit ComputerPlayer(RandomSource& random) : m_random(random) {}

    // 12, 10, 8, 6, 4, 2, 4, ... 12 for columns 2 to 12; 0 for any other number.
    static int columnValue(int column);
    // The first pair of available dice summing to the column, or (10, 10).
    static std::pair<int, int> computerdice(const Dice& dice, int column);

    // Called at the start of every turn, the computer's or not.
    void resetTurn() override;
    int turnPoints() const { return m_turnPoints; }
    void setTurnPoints(int points) { m_turnPoints = points; }
    bool freeOpening() const { return m_freeOpening; }
    void setFreeOpening(bool free) { m_freeOpening = free; }

    // One play step for the seat.
    BotMove computerplay(const Game& game, int seat);
    BotMove nextMove(const Game& game, int seat) override { return computerplay(game, seat); }

    // The tactics; each answers a move when it acts.
    std::optional<BotMove> computerend(const Game& game, int seat);
    std::optional<BotMove> computerneedroll(const Game& game) const;
    std::optional<BotMove> computeradvance(const Game& game, int seat);
    std::optional<BotMove> computermark(const Game& game, int seat);
    std::optional<BotMove> computermarkbest(const Game& game, int seat);

private:
    BotMove placeFor(int column, int dieA, int dieB, int points);

    RandomSource& m_random;
    int m_turnPoints = 0;
    bool m_freeOpening = true;
};
