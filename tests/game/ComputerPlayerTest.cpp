#include "game/ComputerPlayer.h"
#include "game/ScriptedRandom.h"

#include <gtest/gtest.h>

namespace {

constexpr int bot = 2;

BotMove place(int column, int a, int b) {
    return {BotMove::Kind::Place, column, a, b};
}
const BotMove keep{BotMove::Kind::Keep};
const BotMove rollStep{BotMove::Kind::RollStep};

// A turn of the computer player in seat 2 with scripted draws.
class Bot : public ::testing::Test {
protected:
    void SetUp() override {
        game.newGame(false);
        game.startTurn();
    }
    void setPips(std::array<int, 4> pips) {
        for (int die = 0; die < 4; ++die)
            game.dice().set(die, pips[die] - 1, true);
    }
    // Applies the move as the server would after accepting it.
    void apply(const BotMove& move) {
        ASSERT_EQ(move.kind, BotMove::Kind::Place);
        ASSERT_EQ(game.checkPlacement(bot, move.column, move.dieA, move.dieB),
                  Game::PlaceRefusal::None);
        game.place(bot, move.column, move.dieA, move.dieB);
    }
    void putMarker(int column, int position) {
        game.board().cell(column, position).occupant = Board::marker;
        game.setMarkersUsed(game.markersUsed() + 1);
    }

    Game game;
    ScriptedRandom draws;
    ComputerPlayer computer{draws};
};

} // namespace

TEST(ComputerDice, FindsTheFirstAvailablePairOfTheSum) {
    Dice dice;
    for (int die = 0; die < 4; ++die)
        dice.set(die, die, true); // pips 1, 2, 3, 4
    EXPECT_EQ(ComputerPlayer::computerdice(dice, 5), std::make_pair(0, 3));
    EXPECT_EQ(ComputerPlayer::computerdice(dice, 7), std::make_pair(2, 3));
    EXPECT_EQ(ComputerPlayer::computerdice(dice, 9), std::make_pair(10, 10));
    dice.use(0);
    EXPECT_EQ(ComputerPlayer::computerdice(dice, 5), std::make_pair(1, 2));
}

// Faces 2, 3, 4, 5 on an empty board: the first new column is free, a
// second one costs a 3-in-10 draw.
TEST_F(Bot, OpensAFreeColumnThenASecondOnlyOnALuckyDraw) {
    setPips({2, 3, 4, 5});
    draws.push({4, 0}); // best-column start (nothing found), opening start 0
    const BotMove first = computer.computerplay(game, bot);
    EXPECT_EQ(first, place(5, 1, 0)); // i = 1, j = 0: 3 + 2
    EXPECT_EQ(computer.turnPoints(), 6);
    EXPECT_FALSE(computer.freeOpening());
    apply(first);

    // Pips 4 and 5 are left: 9 is no advance of column 5.
    draws.push(3); // above 2: no new column
    EXPECT_EQ(computer.computerplay(game, bot), rollStep);
    EXPECT_TRUE(computer.freeOpening());
    EXPECT_EQ(draws.remaining(), 0u);

    computer.setFreeOpening(false);
    draws.push({2, 0, 1}); // lucky draw, best-column start, opening start
    EXPECT_EQ(computer.computerplay(game, bot), place(9, 2, 3));
    EXPECT_EQ(computer.turnPoints(), 12);
    EXPECT_EQ(draws.misses(), 0);
}

TEST_F(Bot, TheSecondPairAdvancesTheNewColumnWhenItFits) {
    setPips({2, 3, 3, 2});
    draws.push({0, 0});
    apply(computer.computerplay(game, bot)); // 3 + 2 in column 5
    EXPECT_EQ(computer.computerplay(game, bot), place(5, 2, 3));
    EXPECT_EQ(computer.turnPoints(), 6 + 3);
    EXPECT_EQ(draws.misses(), 0);
}

TEST_F(Bot, AdvancingToTheTopOfColumnTwelveEarnsSeventeen) {
    putMarker(12, 1);
    setPips({6, 6, 1, 2});
    EXPECT_EQ(computer.computeradvance(game, bot), place(12, 0, 1));
    EXPECT_EQ(computer.turnPoints(), 17);
    putMarker(7, 3);
    setPips({3, 4, 1, 1});
    EXPECT_EQ(computer.computeradvance(game, bot), place(7, 0, 1));
    EXPECT_EQ(computer.turnPoints(), 17 + 1);
}

// With all markers placed and 25 points the drawn threshold decides.
TEST_F(Bot, StopsOnlyWhenThePointsExceedTheThreshold) {
    putMarker(3, 0);
    putMarker(5, 0);
    putMarker(9, 0);
    game.dice().makeUnavailable();
    for (int draw = 0; draw < 8; ++draw) {
        computer.setTurnPoints(25);
        draws.push(draw);
        const auto move = computer.computerend(game, bot);
        if (20 + draw < 25)
            EXPECT_EQ(move, keep) << "threshold " << 20 + draw;
        else
            EXPECT_FALSE(move) << "threshold " << 20 + draw;
    }
    // Not stopping with every die used means rolling again.
    computer.setTurnPoints(0);
    draws.push(7);
    EXPECT_EQ(computer.computerplay(game, bot), rollStep);
}

TEST_F(Bot, ThreeMarkersOnTopsKeepAtOnceWithoutADraw) {
    putMarker(2, 2);
    putMarker(12, 2);
    putMarker(11, 4);
    setPips({1, 1, 1, 1});
    EXPECT_EQ(computer.computerplay(game, bot), keep);
    EXPECT_EQ(draws.misses(), 0);
}

TEST_F(Bot, AdvancingBeatsStoppingAndACoveredChipBlocksIt) {
    putMarker(3, 0);
    putMarker(5, 0);
    putMarker(9, 0);
    computer.setTurnPoints(100);
    setPips({4, 5, 6, 6});
    EXPECT_EQ(computer.computerplay(game, bot), place(9, 0, 1));

    game.board().cell(9, 0).covered = 1; // the marker in 9 stands on seat 1's chip
    game.dice().makeUnavailable();
    EXPECT_FALSE(computer.computerend(game, bot));
    EXPECT_EQ(draws.misses(), 0);
}

TEST_F(Bot, OpensWhereItAlreadyStandsHighest) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> chips; // column, position
        int start;                              // drawn start column - 2
        int expected;                           // 0: nothing found
    };
    const Case cases[] = {
        {"highest chip", {{4, 1}, {8, 3}}, 0, 8},
        {"equal heights: first visited", {{4, 2}, {8, 2}}, 3, 8},
        {"equal heights from the start", {{4, 2}, {8, 2}}, 0, 4},
        {"a chip at the bottom never counts", {{6, 0}}, 0, 0},
        {"column 2 is left out", {{2, 1}}, 0, 0},
    };
    for (const Case& c : cases) {
        game.newGame(false);
        game.startTurn();
        for (auto [column, position] : c.chips)
            game.board().cell(column, position).occupant = bot;
        setPips({1, 3, 3, 5}); // sums 4, 6, 8 and more
        draws.push(c.start);
        const auto move = computer.computermarkbest(game, bot);
        if (c.expected == 0)
            EXPECT_FALSE(move) << c.what;
        else
            ASSERT_TRUE(move && move->column == c.expected) << c.what;
    }
}
