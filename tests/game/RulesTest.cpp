#include "game/Game.h"
#include "game/ScriptedRandom.h"

#include <gtest/gtest.h>

namespace {

// Sets the dice to the given pips (1 to 6), all available.
void setPips(Game& game, std::array<int, 4> pips) {
    for (int die = 0; die < 4; ++die)
        game.dice().set(die, pips[die] - 1, true);
}

void putChip(Game& game, int column, int position, int seat) {
    game.board().cell(column, position) = Cell{seat, 0};
}

// The items as the wire writes them: tag, then x, y, z.
std::string describe(const std::vector<PlaceItem>& items) {
    std::string out;
    for (const PlaceItem& item : items) {
        const BoardItem& cell = item.cell;
        if (item.kind == PlaceItem::Kind::DieUsed) {
            out += "d" + std::to_string(item.die) + ",0,0 ";
            continue;
        }
        const int z = item.kind == PlaceItem::Kind::Covered ? cell.seatUnder : cell.occupant;
        out += std::string(1, char(item.kind)) + std::to_string(cell.column) + "," +
               std::to_string(cell.position) + "," + std::to_string(z) + " ";
    }
    return out;
}

class Rules : public ::testing::Test {
protected:
    void SetUp() override {
        game.newGame(false);
        game.startTurn();
    }
    Game game;
};

} // namespace

TEST(Board, GethighnumFollowsTheColumnHeights) {
    const int expected[] = {0, 0, 1, 3, 5, 7, 9, 11, 9, 7, 5, 3, 1, 0};
    for (int column = 0; column <= 13; ++column)
        EXPECT_EQ(Board::gethighnum(column), expected[column]) << "column " << column;
    EXPECT_EQ(Board::gethighnum(-1), 0);
}

TEST(Board, CellsOutsideTheBoardAreNeverTouched) {
    Board board;
    EXPECT_THROW(board.cell(1, 0), std::out_of_range);
    EXPECT_THROW(board.cell(13, 0), std::out_of_range);
    EXPECT_THROW(board.cell(7, 13), std::out_of_range);
    EXPECT_THROW(board.cell(7, -1), std::out_of_range);
}

TEST_F(Rules, NothingIsPlayableBeforeTheFirstRoll) {
    EXPECT_FALSE(game.playable(1));
    EXPECT_EQ(game.checkPlacement(1, 7, 0, 1), Game::PlaceRefusal::DieUnavailable);
}

// Four ones only give the sum 2: closing column 2 or using up the markers
// elsewhere makes the roll unplayable.
TEST_F(Rules, FourOnesArePlayableOnlyInAnOpenColumnTwo) {
    setPips(game, {1, 1, 1, 1});
    EXPECT_TRUE(game.playable(1));

    putChip(game, 2, 2, 3); // seat 3 completed column 2
    EXPECT_FALSE(game.playable(1));
    EXPECT_FALSE(game.playable(3));

    game.board().clearboard();
    for (int column : {5, 7, 9})
        game.board().cell(column, 0).occupant = Board::marker;
    game.setMarkersUsed(3);
    EXPECT_FALSE(game.playable(1));
}

TEST_F(Rules, ANewMarkerLiftsTheOwnChipAndALostTurnLosesIt) {
    putChip(game, 7, 3, 1);
    setPips(game, {3, 4, 6, 6});
    ASSERT_EQ(game.checkPlacement(1, 7, 0, 1), Game::PlaceRefusal::None);
    EXPECT_EQ(describe(game.place(1, 7, 0, 1)), "u7,3,0 p7,4,10 d0,0,0 d1,0,0 ");
    EXPECT_EQ(game.markersUsed(), 1);

    const std::vector<EndItem> lost = game.lose();
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].cell.column, 7);
    EXPECT_EQ(lost[0].cell.position, 4);
    EXPECT_EQ(lost[0].cell.occupant, 0);
    EXPECT_EQ(game.board().chipPosition(1, 7), -1);
    EXPECT_EQ(game.board().cell(7, 4).occupant, 0);
}

TEST_F(Rules, ACoveredChipMustBeLeftBeforeKeepingAndReturnsOnLoss) {
    putChip(game, 6, 0, 2);
    setPips(game, {1, 5, 3, 3});
    EXPECT_EQ(describe(game.place(1, 6, 0, 1)), "c6,0,2 p6,0,10 d0,0,0 d1,0,0 ");
    EXPECT_EQ(game.checkKeep(), Game::KeepRefusal::MustMove);
    ASSERT_TRUE(game.mustMoveCell());
    EXPECT_EQ(game.mustMoveCell()->column, 6);
    EXPECT_EQ(game.mustMoveCell()->position, 0);

    // Moving on uncovers the chip; the turn can then be kept.
    EXPECT_EQ(describe(game.place(1, 6, 2, 3)), "u6,0,2 p6,1,10 d0,0,0 d1,0,0 d2,0,0 d3,0,0 ");
    EXPECT_EQ(game.checkKeep(), Game::KeepRefusal::None);

    Game covered;
    covered.newGame(false);
    covered.startTurn();
    putChip(covered, 6, 0, 2);
    setPips(covered, {1, 5, 3, 3});
    covered.place(1, 6, 0, 1);
    const std::vector<EndItem> lost = covered.lose();
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].cell.occupant, 2);
    EXPECT_EQ(covered.board().cell(6, 0).occupant, 2);
    EXPECT_EQ(covered.board().cell(6, 0).covered, 0);
}

TEST_F(Rules, KeepingTheTopOfColumnTwelveClosesItForEverybody) {
    putChip(game, 12, 0, 2);
    putChip(game, 12, 1, 1);
    setPips(game, {6, 6, 1, 1});
    // The own chip at 1 is lifted and the marker reaches the top.
    EXPECT_EQ(describe(game.place(1, 12, 0, 1)), "u12,1,0 p12,2,10 d0,0,0 d1,0,0 ");
    const std::vector<EndItem> kept = game.keep(1);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].cell.position, 2);
    EXPECT_EQ(kept[0].cell.occupant, 1);
    EXPECT_EQ(kept[0].completedThrough, 1);
    EXPECT_EQ(game.board().cell(12, 0).occupant, 0);
    EXPECT_EQ(game.board().cell(12, 1).occupant, 0);
    EXPECT_EQ(game.completedColumns(1), 1);
    game.startTurn();
    for (int seat = 1; seat <= 4; ++seat)
        EXPECT_EQ(game.reach(seat, 12), Game::notPlayable);
}

TEST_F(Rules, UseAllMarkersDecidesWhetherATurnCanBeKeptEarly) {
    EXPECT_EQ(game.checkKeep(), Game::KeepRefusal::None);
    EXPECT_TRUE(game.keep(1).empty()); // nothing placed, nothing changes

    game.newGame(true);
    game.startTurn();
    game.board().cell(4, 0).occupant = Board::marker;
    game.board().cell(9, 0).occupant = Board::marker;
    game.setMarkersUsed(2);
    EXPECT_EQ(game.checkKeep(), Game::KeepRefusal::MarkersLeft);
    game.setMarkersUsed(3);
    EXPECT_EQ(game.checkKeep(), Game::KeepRefusal::None);
}

TEST_F(Rules, PlacementsAreCheckedInTheirOrder) {
    struct Case {
        const char* what;
        int column, first, second;
        Game::PlaceRefusal expected;
    };
    // Dice 2, 3, 5 and a used die; column 8 is completed by seat 4.
    setPips(game, {2, 3, 5, 1});
    game.dice().use(3);
    putChip(game, 8, 10, 4);
    const Case cases[] = {
        {"legal", 5, 0, 1, Game::PlaceRefusal::None},
        {"column below the board", 1, 0, 1, Game::PlaceRefusal::BadRequest},
        {"column above the board", 13, 0, 1, Game::PlaceRefusal::BadRequest},
        {"die index too high", 7, 0, 4, Game::PlaceRefusal::BadRequest},
        {"negative die index", 7, -1, 0, Game::PlaceRefusal::BadRequest},
        {"same die twice", 4, 0, 0, Game::PlaceRefusal::BadRequest},
        {"used die", 3, 0, 3, Game::PlaceRefusal::DieUnavailable},
        {"used die beats wrong sum", 12, 0, 3, Game::PlaceRefusal::DieUnavailable},
        {"wrong sum", 6, 0, 1, Game::PlaceRefusal::NotPlayable},
        {"completed column", 8, 1, 2, Game::PlaceRefusal::NotPlayable},
    };
    for (const Case& c : cases)
        EXPECT_EQ(game.checkPlacement(1, c.column, c.first, c.second), c.expected) << c.what;
    // Refused placements change nothing.
    EXPECT_TRUE(game.place(1, 6, 0, 1).empty());
    EXPECT_TRUE(game.dice().available(0));
    EXPECT_EQ(game.markersUsed(), 0);
}

TEST_F(Rules, AFourthColumnNeedsAMarkerButMarkersStillAdvance) {
    setPips(game, {1, 1, 2, 2});
    game.place(1, 2, 0, 1);
    game.place(1, 4, 2, 3);
    setPips(game, {3, 3, 5, 5});
    game.place(1, 6, 0, 1);
    EXPECT_FALSE(game.markerFree());
    EXPECT_EQ(game.reach(1, 10), Game::notPlayable);
    EXPECT_EQ(game.reach(1, 6), 1);
    EXPECT_EQ(game.checkPlacement(1, 10, 2, 3), Game::PlaceRefusal::NotPlayable);
    EXPECT_FALSE(game.playable(1)); // the last pair sums to 10, where no marker stands
}

TEST(Dice, PairsNeedTwoDistinctAvailableDice) {
    Dice dice;
    EXPECT_FALSE(dice.checkdice(2)); // nothing rolled yet
    ScriptedRandom faces{0, 5, 2, 5};
    dice.roll(faces);
    EXPECT_TRUE(dice.checkdice(7));  // 1 + 6
    EXPECT_TRUE(dice.checkdice(12)); // 6 + 6
    EXPECT_FALSE(dice.checkdice(2)); // would need die 0 twice
    EXPECT_FALSE(dice.checkdice(13));
    dice.use(1);
    EXPECT_TRUE(dice.checkdice(7));
    dice.use(3);
    EXPECT_FALSE(dice.checkdice(7));
    EXPECT_TRUE(dice.checkdice(4)); // 1 + 3
}

TEST(Dice, AFaultySourceCannotLeaveTheFaceRange) {
    struct Wild : DiceSource {
        int n = 0;
        int face() override { return (n++ % 2) ? 1000 : -7; }
    } wild;
    Dice dice;
    dice.roll(wild);
    for (int die = 0; die < 4; ++die) {
        EXPECT_GE(dice.value(die), 0);
        EXPECT_LE(dice.value(die), 5);
    }
}
