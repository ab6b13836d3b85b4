#include "game/StrongPlayer.h"
#include "game/BustOdds.h"
#include "game/Game.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int me = 1;
constexpr int rival = 2;

const BotMove rollStep{BotMove::Kind::RollStep};
const BotMove keep{BotMove::Kind::Keep};

// A turn of the strong player in seat 1, set up cell by cell.
class Strong : public ::testing::Test {
protected:
    void SetUp() override { start(false); }
    void start(bool useAll) {
        game.newGame(useAll);
        game.startTurn();
    }
    void chip(int seat, int column, int position) {
        game.board().cell(column, position) = Cell{seat, 0};
    }
    // One of this turn's markers, over whatever chip lies there.
    void marker(int column, int position) {
        Cell& cell = game.board().cell(column, position);
        cell = Cell{Board::marker, cell.occupant};
        game.setMarkersUsed(game.markersUsed() + 1);
    }
    void closeColumn(int seat, int column) { chip(seat, column, Board::top(column)); }
    void roll(std::array<int, 4> pips) {
        for (int die = 0; die < 4; ++die)
            game.dice().set(die, pips[die] - 1, true);
    }
    // Asks for moves until the player leaves the roll, applying each
    // placement as the server would; answers the columns placed.
    std::vector<int> playRoll() {
        std::vector<int> columns;
        for (BotMove move = player.nextMove(game, me); move.kind == BotMove::Kind::Place;
             move = player.nextMove(game, me)) {
            EXPECT_EQ(game.checkPlacement(me, move.column, move.dieA, move.dieB),
                      Game::PlaceRefusal::None);
            game.place(me, move.column, move.dieA, move.dieB);
            columns.push_back(move.column);
        }
        return columns;
    }

    Game game;
    StrongPlayer player;
};

} // namespace

TEST_F(Strong, RollsAtTheStartOfATurnAndWhileLittleIsAtStake) {
    EXPECT_EQ(player.nextMove(game, me), rollStep);
    marker(7, 0); // two markers free: hardly a roll fits nothing
    EXPECT_EQ(player.nextMove(game, me), rollStep);
}

TEST_F(Strong, StopsWhenTheNextRollWouldLikelyCostACompletedColumn) {
    // Column 12 completes if kept; only 2 and 3 can still be played, so about
    // seven rolls in ten fit nothing and lose column 12 and the chips below.
    marker(3, 3);
    marker(2, 1);
    marker(12, 2);
    EXPECT_GT(BustOdds(game, me).probability(), 0.6);
    EXPECT_EQ(player.nextMove(game, me), keep);
}

TEST_F(Strong, TakesThePlacementThatCompletesAColumn) {
    marker(4, 5); // one step below the top of column 4
    marker(7, 3);
    // 1 + 3 completes column 4; 1 + 6 and 3 + 6 would go to 7 and a new 9.
    roll({1, 6, 3, 6});
    const std::vector<int> placed = playRoll();
    EXPECT_NE(std::find(placed.begin(), placed.end(), 4), placed.end());
    EXPECT_EQ(game.board().markerPosition(4), Board::top(4));
}

TEST_F(Strong, KeepsAtOnceWhenKeepingWins) {
    closeColumn(me, 2);
    closeColumn(me, 12);
    marker(7, Board::top(7));
    marker(6, 3);
    EXPECT_EQ(player.nextMove(game, me), keep);
}

TEST_F(Strong, NeverKeepsWhatTheRulesDoNotLetEnd) {
    // A marker standing on another seat's chip must move on first.
    chip(rival, 2, 0);
    marker(2, 0);
    marker(12, 1);
    marker(3, 3);
    ASSERT_EQ(game.checkKeep(), Game::KeepRefusal::MustMove);
    EXPECT_EQ(player.nextMove(game, me), rollStep);

    // With "Use All Markers", two markers on the board are not enough.
    start(true);
    marker(4, 5);
    marker(10, 5);
    ASSERT_EQ(game.checkKeep(), Game::KeepRefusal::MarkersLeft);
    EXPECT_EQ(player.nextMove(game, me), rollStep);
}

TEST_F(Strong, DoesNotStepOntoAChipWhenThatRisksACompletedColumn) {
    // 2 + 3 completes column 5. 6 + 6 would open column 12 on another seat's
    // chip, after which the turn cannot be kept without rolling again and
    // the completed column would be at stake.
    chip(rival, 12, 0);
    marker(5, 7);
    marker(7, 3);
    roll({2, 6, 3, 6});
    EXPECT_EQ(playRoll(), std::vector<int>{5});
    EXPECT_EQ(game.board().markerPosition(12), -1);
}

// The player's bust counts by the set of playable columns agree with BustOdds
// judging a real board by the rules, for every set: the columns outside the
// set closed, every marker free.
TEST(StrongOdds, BustingRollsAgreeWithTheRulesForEverySetOfPlayableColumns) {
    for (unsigned mask = 0; mask < (1u << 11); ++mask) {
        BustOdds::Position position;
        for (int column = 2; column <= 12; ++column)
            if (!(mask & (1u << (column - 2))))
                position.closed.push_back(column);
        ASSERT_EQ(StrongPlayer::bustingRolls(std::uint16_t(mask)),
                  BustOdds(position).bustingRolls())
            << "mask " << mask;
    }
    // Three markers in use leave only their own columns playable.
    BustOdds::Position middle;
    middle.markers = {6, 7, 8};
    EXPECT_EQ(StrongPlayer::bustingRolls(0b00001110000), BustOdds(middle).bustingRolls());
}
