#pragma once

#include "game/BotPlayer.h"

#include <array>
#include <cstdint>

class Game;

// A computer player that decides from exact odds.
//
// It values a board by how many turns each player still needs to win: a
// column costs the turns its remaining steps take at the rate its sum comes
// up in a roll of four dice (more where an opponent stands higher and may
// close it first), a completed column costs nothing, and a player needs its
// three cheapest columns. The worth of a board for the seat is the
// opponents' cost (of the nearest to winning) less its own; three completed
// columns are a win.
//
// Placements: every way to pair the rolled dice and to place one or both
// pairs is tried, and the one whose result is worth most, less the risk that
// the next roll fits nothing and loses it, is taken. Rolling again or
// stopping: the worth after the best placement for each of the 1296 rolls of
// four dice (or, for a roll that fits nothing, the worth after losing every
// column this turn's markers stand in, chips lifted by them included) is
// averaged and compared with keeping now. The odds that a roll fits nothing
// depend only on which columns can still be played, and are looked up.
//
// It never asks for a move the rules refuse: it keeps only when the rules
// allow it (all markers placed when "Use All Markers" is on, no marker on
// another seat's chip), and otherwise rolls on. It reads only the board and
// the dice already rolled.
class StrongPlayer : public BotPlayer {
public:
    // The weights of the valuation; the defaults are tuned with bench_bots.
    struct Tuning {
        double rolls = 3.0;      // rolls a turn makes in a column, on average
        double overhead = 0.5;   // turns a column costs besides its steps
        double threat = 1.0;     // turns added where an opponent stands at the top
        double denial = 0.2;     // weight of the opponents' cost against the own
        double gain = 1.5;       // turns a further roll is taken to gain, when it fits
        double stopMargin = 0.5; // turns rolling must gain over stopping
        double winBonus = 3.0;   // turns a win is worth beyond its lead
    };

    StrongPlayer() : StrongPlayer(Tuning{}) {}
    explicit StrongPlayer(const Tuning& tuning);

    void resetTurn() override {}
    BotMove nextMove(const Game& game, int seat) override;

    // The number of the 1296 rolls that fit none of the columns in the mask
    // (bit c - 2 for column c). The same count as BustOdds makes by the
    // rules, from a table of all 2048 masks made in well under a millisecond.
    static int bustingRolls(std::uint16_t playableMask);

private:
    static constexpr int columnSlots = 13; // indexed by column 2 to 12 directly

    // What stays put during the decision: the columns' lengths, who closed
    // them, the opponents' chips, and each player's cost of every height.
    struct Fixed {
        int seat = 0;
        std::array<int, columnSlots> length{};
        std::array<bool, columnSlots> closed{};
        std::array<double, columnSlots> closedCost{};           // 0 when completed by this seat
        std::array<std::uint16_t, columnSlots> others{};        // positions of other seats' chips
        std::array<std::array<double, 14>, columnSlots> cost{}; // own, by height
        // The opponents' cost of each column as they stand; 0 once completed.
        std::array<std::array<double, columnSlots>, 4> rivalCost{};
        std::array<int, 4> rivalDone{}; // columns each opponent has completed
        int rivals = 0;
        double rivalsNow = 0; // the nearest opponent's cost as the board stands
        bool useAll = false;
    };
    // What placements change.
    struct Turn {
        std::array<int, columnSlots> height{}; // own chip or marker position + 1; 0 for none
        std::uint16_t markers = 0;             // bit c - 2: one of this turn's markers is there
        int markersUsed = 0;
        int completed = 0; // closed by this seat, or a marker on the top
        int covering = 0;  // markers standing on another seat's chip
    };

    void read(const Game& game, int seat, Fixed& fixed, Turn& turn) const;
    static bool canPlace(const Fixed& fixed, const Turn& turn, int column);
    static void place(const Fixed& fixed, Turn& turn, int column);
    static std::uint16_t playableMask(const Fixed& fixed, const Turn& turn);
    static bool keepable(const Fixed& fixed, const Turn& turn);
    // The cost of the opponent nearest to winning, with the columns in the
    // mask closed to them.
    double rivalsCost(const Fixed& fixed, std::uint16_t closing) const;
    // The worth of the board if the turn is kept, or if it is lost.
    double worth(const Fixed& fixed, const Turn& turn, bool lost) const;
    // The worth of a position reached by placing: keeping it, or going on
    // at the risk of a roll that fits nothing.
    double placedWorth(const Fixed& fixed, const Turn& turn) const;
    // The best worth after placing from two sums (either, or both); the
    // choice as 1 = first, 2 = second, 3 = both, 0 = nothing fits.
    double bestOf(const Fixed& fixed, const Turn& turn, int first, int second, int& choice) const;
    // The expected worth of rolling once more and placing at best.
    double rollWorth(const Fixed& fixed, const Turn& turn) const;

    Tuning m_tuning;
    // The turns the remaining steps take, by column and height.
    std::array<std::array<double, 14>, columnSlots> m_steps{};
};
