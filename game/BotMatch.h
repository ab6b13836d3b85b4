#pragma once

#include "game/Game.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class BotPlayer;
class DiceSource;

// One complete game between computer players, stepped directly: no
// messages, no timers. The turns run as the host's turn engine runs a
// computer-played seat: the seats take turns 1, 2, ... in order; a roll that
// fits nothing loses the turn; a refused placement ends the turn (kept when a
// named die was not available, lost otherwise); a refused keep loses it; a
// seat that completes three columns wins. Every player is told of every
// turn's start, and is asked for one move per play step.
//
// A request the rules refuse is counted and described, so that a checker can
// tell a player that only ever asks for legal moves.
class BotMatch {
public:
    static constexpr int maxSeats = 4;
    // A game that has not ended after this many turns is given up.
    static constexpr int turnLimit = 20000;
    // A turn with this many play steps is ended as lost and counted refused.
    static constexpr int stepLimit = 1000;

    struct Result {
        int winner = 0; // the winning seat 1 to players, 0 when given up
        int turns = 0;
        std::array<int, maxSeats> turnsOf{};
        std::array<std::int64_t, maxSeats> decisions{};
        std::array<std::int64_t, maxSeats> decisionNs{}; // time spent deciding
        std::array<std::int64_t, maxSeats> slowestDecisionNs{};
        std::array<std::int64_t, maxSeats> decisionsOverMs{}; // taking a millisecond or more
        int refusals = 0;
        std::string firstRefusal; // what was refused first, for the checker's message
    };

    // players[0] plays seat 1, and so on; 2 to 4 players.
    BotMatch(std::vector<BotPlayer*> players, DiceSource& dice, bool useAll = false);

    Result play();
    const Game& game() const { return m_game; }

private:
    // Plays one turn of the seat; answers true when it won.
    bool playTurn(int seat, Result& result);
    void refuse(Result& result, int seat, const std::string& what);

    std::vector<BotPlayer*> m_players;
    DiceSource& m_dice;
    bool m_useAll;
    Game m_game;
};
