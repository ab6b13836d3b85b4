#pragma once

#include <utility>
#include <vector>

class Game;

// The chance that a roll of the four dice fits no column for a seat, counted
// exactly over all 6^4 outcomes. Every outcome is judged by Game::playable on
// a copy of the game, so the odds always agree with the rules the server
// applies.
class BustOdds {
public:
    static constexpr int outcomes = 1296;

    // A position told simply, for callers that hold no Game.
    struct Position {
        int seat = 1;
        // Columns holding one of this turn's markers; each stands one step
        // above the seat's own chip there (or at the bottom).
        std::vector<int> markers;
        // Completed columns; who completed them does not change the odds.
        std::vector<int> closed;
        // The seat's chips as (column, position), below the column's top.
        std::vector<std::pair<int, int>> chips;
    };

    // The odds for the seat with the game's board and markers as they are;
    // the game's dice do not matter.
    BustOdds(const Game& game, int seat);
    // Entries naming no column, a position off the column or more markers
    // than a turn has are ignored.
    explicit BustOdds(const Position& position);

    // The number of outcomes that fit no column, 0 to 1296.
    int bustingRolls() const { return m_busting; }
    double probability() const { return double(m_busting) / outcomes; }

private:
    static int count(const Game& game, int seat);

    int m_busting = 0;
};
