#include "game/BustOdds.h"
#include "game/DiceFairness.h"
#include "game/Game.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace {

// The test's own account of a position: which columns hold a marker, which
// are closed, and how many markers are still free.
struct Sketch {
    std::set<int> markers;
    std::set<int> closed;
};

// Brute force over every roll: a roll fits when one of the three ways of
// splitting four dice into two pairs gives a sum whose column is open and
// either holds a marker already or can take one of the free markers.
int countBusts(const Sketch& sketch) {
    const int free = 3 - int(sketch.markers.size());
    const auto fits = [&](int sum) {
        return !sketch.closed.count(sum) && (sketch.markers.count(sum) || free > 0);
    };
    int busts = 0;
    for (int a = 1; a <= 6; ++a)
        for (int b = 1; b <= 6; ++b)
            for (int c = 1; c <= 6; ++c)
                for (int d = 1; d <= 6; ++d) {
                    const int pairings[3][2] = {{a + b, c + d}, {a + c, b + d}, {a + d, b + c}};
                    bool any = false;
                    for (const auto& pairing : pairings)
                        any = any || fits(pairing[0]) || fits(pairing[1]);
                    busts += any ? 0 : 1;
                }
    return busts;
}

BustOdds oddsOf(const Sketch& sketch) {
    BustOdds::Position position;
    position.markers.assign(sketch.markers.begin(), sketch.markers.end());
    position.closed.assign(sketch.closed.begin(), sketch.closed.end());
    return BustOdds(position);
}

// Q(5/2, x/2), the chi-square tail for five degrees of freedom, in closed form.
double tailFiveDegrees(double x) {
    return std::erfc(std::sqrt(x / 2)) + std::sqrt(2 * x / M_PI) * std::exp(-x / 2) * (1 + x / 3);
}

} // namespace

TEST(BustOdds, WellKnownPositionsGiveTheirExactCounts) {
    EXPECT_EQ(oddsOf({}).bustingRolls(), 0);
    EXPECT_EQ(oddsOf({{2, 3, 12}, {}}).bustingRolls(), 728);
    EXPECT_EQ(oddsOf({{6, 7, 8}, {}}).bustingRolls(), 104);
    EXPECT_DOUBLE_EQ(oddsOf({{6, 7, 8}, {}}).probability(), 104.0 / 1296.0);
}

TEST(BustOdds, AgreesWithAnIndependentCountWhereColumnsAreClosed) {
    const Sketch sketches[] = {
        {{6, 8}, {7}},
        {{6}, {7, 8}},
        {{}, {5, 6, 7, 8, 9}},
        {{2, 12}, {6, 7, 8}},
        {{4, 10}, {2, 3, 11, 12}},
        {{5, 9, 7}, {}},
        {{}, {2, 3, 4, 5, 6, 8, 9, 10, 11, 12}},
    };
    for (const Sketch& sketch : sketches) {
        const int expected = countBusts(sketch);
        EXPECT_EQ(oddsOf(sketch).bustingRolls(), expected)
            << sketch.markers.size() << " markers, " << sketch.closed.size() << " closed";
    }
    // Every column closed: nothing can ever fit.
    EXPECT_EQ(oddsOf({{}, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}).bustingRolls(), 1296);
}

TEST(BustOdds, AMarkerThatReachedTheTopThisTurnCanGoNoHigher) {
    // Seat 1 holds a chip just below the top of column 3 and moves a marker
    // onto the top with real placements; markers also stand on 6 and 8.
    Game game;
    game.newGame(false);
    game.startTurn();
    game.board().cell(3, Board::top(3) - 1) = Cell{1, 0};
    // Dice 1, 2, 3, 3: 1 + 2 onto column 3, 3 + 3 onto column 6.
    for (int die = 0; die < 4; ++die)
        game.dice().set(die, std::array{0, 1, 2, 2}[die], true);
    ASSERT_TRUE(game.place(1, 3, 0, 1).size() > 0);
    ASSERT_TRUE(game.place(1, 6, 2, 3).size() > 0);
    // Dice 2 and 6 onto column 8.
    game.dice().set(0, 1, true);
    game.dice().set(1, 5, true);
    ASSERT_TRUE(game.place(1, 8, 0, 1).size() > 0);
    ASSERT_EQ(game.board().markerPosition(3), Board::top(3));

    const int expected = countBusts({{3, 6, 8}, {3}});
    EXPECT_EQ(BustOdds(game, 1).bustingRolls(), expected);
    // The same position told simply gives the same count.
    BustOdds::Position position{1, {3, 6, 8}, {}, {{3, Board::top(3) - 1}}};
    EXPECT_EQ(BustOdds(position).bustingRolls(), expected);
    // Another seat's chips change nothing; another seat's completed column does.
    game.board().cell(10, 2) = Cell{2, 0};
    EXPECT_EQ(BustOdds(game, 1).bustingRolls(), expected);
    game.board().cell(10, Board::top(10)) = Cell{2, 0};
    EXPECT_EQ(BustOdds(game, 1).bustingRolls(), countBusts({{3, 6, 8}, {3, 10}}));
}

TEST(BustOdds, NonsenseInAPositionIsIgnored) {
    BustOdds::Position position{1, {0, 6, 6, 7, 8, 9, 40}, {1, 13}, {{7, 99}, {-2, 0}}};
    EXPECT_EQ(BustOdds(position).bustingRolls(), countBusts({{6, 7, 8}, {}}));
}

TEST(DiceFairness, EvenCountsAndNoCountsAreNothingUnusual) {
    const std::array<std::uint64_t, 6> cases[] = {
        {100, 100, 100, 100, 100, 100},
        {0, 0, 0, 0, 0, 0},
    };
    for (const auto& counts : cases) {
        const DiceFairness fairness(counts);
        EXPECT_EQ(fairness.chiSquare(), 0.0);
        EXPECT_EQ(fairness.pValue(), 1.0);
        EXPECT_EQ(fairness.verdict(), "nothing unusual");
    }
}

TEST(DiceFairness, ASkewedDieIsCalledUnusualWithRoundedOdds) {
    // (900 + 400 + 0 + 0 + 0 + 100) / 100 = 14; p = 0.01561, 1/p = 64.06.
    const DiceFairness skewed({130, 80, 100, 100, 100, 90});
    EXPECT_DOUBLE_EQ(skewed.chiSquare(), 14.0);
    EXPECT_NEAR(skewed.pValue(), 0.0156094, 1e-6);
    EXPECT_EQ(skewed.verdict(), "unusual, 1 in 64");
    // (400 + 100 + 0 + 0 + 25 + 25) / 100 = 5.5; p = 0.358.
    const DiceFairness mild({120, 90, 100, 100, 95, 95});
    EXPECT_DOUBLE_EQ(mild.chiSquare(), 5.5);
    EXPECT_EQ(mild.verdict(), "nothing unusual");
}

TEST(DiceFairness, PValuesMatchTheTableForFiveDegreesOfFreedom) {
    const struct {
        double chiSquare, p;
    } table[] = {
        {1.6103, 0.90}, {9.2364, 0.10}, {11.0705, 0.05}, {15.0863, 0.01}, {20.5150, 0.001}};
    for (const auto& row : table)
        EXPECT_NEAR(DiceFairness::upperGamma(2.5, row.chiSquare / 2), row.p, 1e-4) << row.chiSquare;
    // Both ways of computing (series below a + 1, fraction above) against the
    // closed form, including either side of the switch.
    for (double x : {0.01, 0.5, 2.0, 6.9, 7.0, 7.1, 12.0, 30.0, 80.0, 200.0})
        EXPECT_NEAR(DiceFairness::upperGamma(2.5, x / 2), tailFiveDegrees(x),
                    1e-12 + 1e-9 * tailFiveDegrees(x))
            << x;
}

TEST(DiceFairness, HugeCountsNeitherOverflowNorGiveNaN) {
    constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    const DiceFairness even({most, most, most, most, most, most});
    EXPECT_EQ(even.chiSquare(), 0.0);
    EXPECT_EQ(even.verdict(), "nothing unusual");

    const DiceFairness oneFace({most, 0, 0, 0, 0, 0});
    EXPECT_FALSE(std::isnan(oneFace.pValue()));
    EXPECT_EQ(oneFace.pValue(), 0.0);
    EXPECT_EQ(oneFace.verdict(), "unusual, 1 in more than 1000000000000000000");
}
