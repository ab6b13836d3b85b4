// The soak test trusts its clients' copies of the table to catch a server
// that breaks the rules or the order of a turn; these cases make sure the
// copy refuses what it must and accepts a correct game.
#include "bench/support/TableMirror.h"

#include "protocol/Commands.h"

#include <gtest/gtest.h>

namespace {

// Roll items of faces 1 to 6.
QByteArray roll(int seat, bool playable, std::array<int, 4> pips) {
    for (int& p : pips)
        p -= 1;
    return cmd::rolldice_(seat, playable, pips);
}

// Joins a game in which seat 2 then keeps its third completed column.
void scoreThreeColumnsForSeat2(TableMirror& m) {
    ASSERT_TRUE(m.apply("CMD_gamestats+5+2+0+d+0+0+0+0+d+1+0+0+0+d+2+5+1+0+d+3+5+1+0"
                        "+c+2+2+2+0+c+3+4+2+0+c+12+1+10+0"));
    ASSERT_TRUE(m.apply("CMD_placechip+2+u+12+1+0+p+12+2+10+d+0+0+0+d+1+0+0+d+2+0+0+d+3+0+0"))
        << m.error().toStdString();
    ASSERT_TRUE(m.apply("CMD_endturn+2+p+12+2+2+1")) << m.error().toStdString();
    ASSERT_TRUE(m.apply("CMD_postscores+2+3+")) << m.error().toStdString();
}

class Mirror : public ::testing::Test {
protected:
    void SetUp() override {
        feed(cmd::newplayerinfo_(1, "Ann"));
        feed(cmd::startgame_("Ann", "0"));
        feed(cmd::nextplayer_(1));
    }
    void feed(const QByteArray& message) {
        ASSERT_TRUE(mirror.apply(message))
            << mirror.error().toStdString() << " in " << message.toStdString();
    }
    void refused(const QByteArray& message, const char* part) {
        EXPECT_FALSE(mirror.apply(message)) << message.toStdString();
        EXPECT_TRUE(mirror.error().contains(part)) << mirror.error().toStdString();
    }
    TableMirror mirror;
};

} // namespace

// Written out by hand: seat 1 places faces 3 and 4 in column 7, then keeps.
TEST_F(Mirror, FollowsACorrectTurnWrittenOutByHand) {
    feed(roll(1, true, {3, 4, 6, 6}));
    EXPECT_EQ(mirror.lastEvent(), TableMirror::Event::Rolled);
    EXPECT_FALSE(mirror.rollingAllowed());
    feed("CMD_placechip+1+p+7+0+10+d+0+0+0+d+1+0+0");
    EXPECT_EQ(mirror.game().board().cell(7, 0).occupant, Board::marker);
    EXPECT_TRUE(mirror.rollingAllowed());
    feed("CMD_endturn+1+p+7+0+1+0");
    EXPECT_EQ(mirror.game().board().cell(7, 0).occupant, 1);
    feed("CMD_postscores+1+0+");
    feed(cmd::nextplayer_(2));
    EXPECT_EQ(mirror.currentSeat(), 2);
}

TEST_F(Mirror, RefusesAWrongVerdictOfARoll) {
    // 1, 1, 1, 1 fits column 2 on an empty board.
    refused(roll(1, false, {1, 1, 1, 1}), "verdict");
}

TEST_F(Mirror, RefusesRollsOutOfTurnOrTwiceWithoutAPlacement) {
    refused(roll(2, true, {3, 4, 6, 6}), "during the turn of seat 1");
    feed(roll(1, true, {3, 4, 6, 6}));
    refused(roll(1, true, {3, 4, 6, 6}), "twice");
}

TEST_F(Mirror, RefusesPlacementsTheRulesDoNotGive) {
    feed(roll(1, true, {3, 4, 6, 6}));
    // The right cell but a wrong die list, a die never rolled, and a column
    // that is not the sum of the dice.
    refused("CMD_placechip+1+p+7+0+10+d+0+0+0", "dice");
    refused("CMD_placechip+1+p+10+0+10+d+0+0+0+d+2+0+0", "illegal");
    refused("CMD_placechip+1+p+7+1+10+d+0+0+0+d+1+0+0", "the rules give");
}

TEST_F(Mirror, RefusesAKeptTurnWithAMarkerOnAnotherSeatsChip) {
    mirror.apply(cmd::newplayerinfo_(2, "Bo"));
    // Seat 2 owns position 0 of column 7; seat 1's marker lands on it.
    feed(roll(1, true, {3, 4, 6, 6}));
    feed("CMD_placechip+1+p+7+0+10+d+0+0+0+d+1+0+0");
    feed("CMD_endturn+1+n+7+0+0+0");
    feed("CMD_postscores+1+0+");
    feed(cmd::nextplayer_(2));
    feed(roll(2, true, {3, 4, 6, 6}));
    feed("CMD_placechip+2+p+7+0+10+d+0+0+0+d+1+0+0");
    feed("CMD_endturn+2+p+7+0+2+0");
    feed("CMD_postscores+2+0+");
    feed(cmd::nextplayer_(1));
    feed(roll(1, true, {3, 4, 6, 6}));
    feed("CMD_placechip+1+c+7+0+2+p+7+0+10+d+0+0+0+d+1+0+0");
    EXPECT_EQ(mirror.keepRefusal(), Game::KeepRefusal::MustMove);
    refused("CMD_endturn+1+p+7+0+1+0", "do not let it keep");
    // Losing the turn shows the covered chip again.
    feed("CMD_endturn+1+n+7+0+2+0");
}

TEST_F(Mirror, ARollThatFitsNothingMustBeFollowedByTheLostTurn) {
    feed(roll(1, true, {1, 1, 2, 2})); // sums 2, 3, 4: all open
    feed("CMD_placechip+1+p+2+0+10+d+0+0+0+d+1+0+0");
    // The lost turn, and nothing changed is one "101" item.
    feed(roll(1, true, {1, 1, 6, 6}));
    feed("CMD_placechip+1+u+2+0+0+p+2+1+10+d+0+0+0+d+1+0+0");
    refused("CMD_placechip+1+p+12+0+10+d+0+0+0+d+1+0+0", "");
    TableMirror fresh;
    ASSERT_TRUE(fresh.apply(cmd::startgame_("Ann", "0")));
    ASSERT_TRUE(fresh.apply(cmd::nextplayer_(1)));
    ASSERT_TRUE(fresh.apply("CMD_endturn+1+p+101+101+101+0")) << fresh.error().toStdString();
    ASSERT_TRUE(fresh.apply("CMD_postscores+1+0+"));
    ASSERT_TRUE(fresh.apply(cmd::nextplayer_(2)));
    EXPECT_FALSE(fresh.apply("CMD_endturn+2+p+7+0+2+0")) << "a marker that is not there";
}

TEST_F(Mirror, TheScoreMustFollowTheEndAndMatchTheBoard) {
    feed("CMD_endturn+1+p+101+101+101+0");
    refused(cmd::nextplayer_(2), "before the score");
    refused("CMD_postscores+1+1+", "the board shows 0");
    feed("CMD_postscores+1+0+");
    refused(cmd::winner_("Ann"), "without three completed columns");
}

TEST_F(Mirror, TheWinnerIsNamedByLoginOrByTheComputersName) {
    // Seat 2 holds the tops of columns 2, 3 and 12 after its kept turn.
    TableMirror m;
    scoreThreeColumnsForSeat2(m);
    EXPECT_FALSE(m.apply(cmd::winner_("Bo")));
    TableMirror named;
    scoreThreeColumnsForSeat2(named);
    named.apply(cmd::winner_("Bo")); // refused, as above
    EXPECT_TRUE(m.apply(cmd::winner_("Klot"))) << m.error().toStdString();
    EXPECT_FALSE(m.gameRunning());
    // Once the seat has a login name, that is the winner's name.
    ASSERT_TRUE(named.apply(cmd::newplayerinfo_(2, "Bo")));
    EXPECT_TRUE(named.apply(cmd::winner_("Bo"))) << named.error().toStdString();
}

// A client that joins during a game starts from the whole state; whether
// the current seat may roll is unknown until the next turn begins.
TEST(MirrorJoin, StartsFromTheGameStateAndChecksTurnsFromTheNextOne) {
    TableMirror m;
    EXPECT_TRUE(m.apply(roll(3, true, {1, 1, 1, 1}))) << "not followed before the state";
    EXPECT_FALSE(m.synced());
    ASSERT_TRUE(m.apply("CMD_gamestats+6+3+1+d+0+2+0+0+d+1+3+0+0+d+2+0+1+0+d+3+1+1+0"
                        "+c+7+0+10+0+c+9+2+4+0"));
    EXPECT_TRUE(m.synced());
    EXPECT_TRUE(m.useAll());
    EXPECT_EQ(m.game().markersUsed(), 1);
    EXPECT_EQ(m.game().board().cell(9, 2).occupant, 4);
    // Dice 2 and 3 (faces 1 and 2) are left: column 3.
    const auto moves = m.legalMoves(3);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].column, 3);
    ASSERT_TRUE(m.apply("CMD_placechip+3+p+3+0+10+d+0+0+0+d+1+0+0+d+2+0+0+d+3+0+0"))
        << m.error().toStdString();
    EXPECT_FALSE(m.turnKnown());
    ASSERT_TRUE(m.apply("CMD_endturn+3+n+3+0+0+0+7+0+0+0")) << m.error().toStdString();
    ASSERT_TRUE(m.apply("CMD_postscores+3+0+"));
    ASSERT_TRUE(m.apply(cmd::nextplayer_(4)));
    EXPECT_TRUE(m.turnKnown());
    EXPECT_FALSE(m.apply(cmd::nextplayer_(1))) << "a turn began while one was open";
}

TEST(MirrorJoin, LegalMovesAreOnlyThePairsTheRulesAccept) {
    TableMirror m;
    ASSERT_TRUE(m.apply(cmd::startgame_("Ann", "0")));
    ASSERT_TRUE(m.apply(cmd::nextplayer_(1)));
    ASSERT_TRUE(m.apply(roll(1, true, {6, 6, 6, 1})));
    // 6+6 = 12 (three ways) and 6+1 = 7 (three ways).
    const auto moves = m.legalMoves(1);
    EXPECT_EQ(moves.size(), 6u);
    for (const auto& move : moves)
        EXPECT_TRUE(move.column == 12 || move.column == 7);
    EXPECT_TRUE(m.legalMoves(2).size() == 6u) << "the rules do not depend on whose turn";
}

// A connection receives what is sent to all before its login is handled, so
// its turn may begin before it has the game state; it then knows the turn is
// its own and whether it may roll.
TEST(MirrorJoin, ATurnThatBeganBeforeTheGameStateIsKnownToBeOpen) {
    TableMirror m;
    ASSERT_TRUE(m.apply(cmd::nextplayer_(3)));
    ASSERT_TRUE(m.apply(roll(3, true, {1, 2, 5, 6})));
    ASSERT_TRUE(m.apply("CMD_placechip+3+p+3+0+10+d+0+0+0+d+1+0+0"));
    ASSERT_TRUE(m.apply(cmd::winner_("Somebody"))) << "no field to read: nothing to follow";
    ASSERT_TRUE(m.apply(cmd::nextplayer_(3)));
    ASSERT_TRUE(m.apply(roll(3, true, {1, 2, 5, 6})));
    ASSERT_TRUE(m.apply("CMD_gamestats+3+3+0+d+0+0+1+0+d+1+1+1+0+d+2+4+1+0+d+3+5+1+0"));
    EXPECT_TRUE(m.turnKnown());
    EXPECT_TRUE(m.turnOpen());
    EXPECT_FALSE(m.rollingAllowed()) << "it rolled and has not placed yet";
    EXPECT_FALSE(m.apply(roll(3, true, {1, 1, 1, 1})));

    // Had the turn ended before the state came, nothing would be known.
    TableMirror ended;
    ASSERT_TRUE(ended.apply(cmd::nextplayer_(3)));
    ASSERT_TRUE(ended.apply("CMD_endturn+3+p+101+101+101+0"));
    ASSERT_TRUE(ended.apply("CMD_gamestats+3+3+0+d+0+10+0+0+d+1+10+0+0+d+2+10+0+0+d+3+10+0+0"));
    EXPECT_FALSE(ended.turnKnown());
}

// A connection that saw the game start before its login was handled gets the
// state anyway; it must agree with what was followed, and the turn stays known.
TEST(MirrorJoin, AStateAfterFollowingTheGameMustAgreeWithIt) {
    TableMirror m, other;
    for (TableMirror* mirror : {&m, &other}) {
        ASSERT_TRUE(mirror->apply(cmd::startgame_("Ann", "0")));
        ASSERT_TRUE(mirror->apply(cmd::nextplayer_(3)));
    }
    ASSERT_TRUE(m.apply("CMD_gamestats+3+3+0+d+0+10+0+0+d+1+10+0+0+d+2+10+0+0+d+3+10+0+0"))
        << m.error().toStdString();
    EXPECT_TRUE(m.turnKnown());
    EXPECT_TRUE(m.rollingAllowed());
    EXPECT_FALSE(other.apply("CMD_gamestats+3+3+0+d+0+10+0+0+d+1+10+0+0+d+2+10+0+0+d+3+10+0+0"
                             "+c+7+0+2+0"));
    EXPECT_TRUE(other.error().contains("column 7 position 0"));
}

// A refused message must leave the table as it was, or every later check
// would compare against a table the server never had.
TEST_F(Mirror, ARefusedPlacementChangesNothingAndTheRightOneIsTaken) {
    feed(roll(1, true, {3, 4, 6, 6}));
    refused("CMD_placechip+1+p+7+1+10+d+0+0+0+d+1+0+0", "the rules give");
    EXPECT_EQ(mirror.model().cell(7, 1).occupant, 0);
    EXPECT_EQ(mirror.model().markersInUse(), 0);
    EXPECT_TRUE(mirror.game().dice().available(0));
    feed("CMD_placechip+1+p+7+0+10+d+0+0+0+d+1+0+0");
    EXPECT_EQ(mirror.model().cell(7, 0).occupant, Board::marker);
    EXPECT_EQ(mirror.model().markersInUse(), 1);
    EXPECT_EQ(mirror.lastEvent(), TableMirror::Event::Placed);
}

TEST_F(Mirror, RefusesRollsThatDoNotFitTheirLayout) {
    const struct {
        const char* message;
        const char* part;
    } cases[] = {
        {"CMD_rolldice+1+t+0+2+1+3+2+5", "a roll of 3 dice"},
        {"CMD_rolldice+1+t+0+2+1+3+2+5+3+5+0+1", "a roll of 5 dice"},
        {"CMD_rolldice+1+t+1+2+0+3+2+5+3+5", "not in the order"},
        {"CMD_rolldice+1+t+0+6+1+3+2+5+3+5", "a die shows 6"},
        {"CMD_rolldice+1+t+0+-1+1+3+2+5+3+5", "a die shows -1"},
        {"CMD_rolldice+1+x+0+2+1+3+2+5+3+5", "roll verdict"},
        {"CMD_rolldice+1+t+0+2+1+3+2+5+3", "does not fit the layout"},
    };
    for (const auto& c : cases)
        refused(c.message, c.part);
    feed(roll(1, true, {3, 4, 6, 6})); // the turn goes on as before
}

// A state with a place the table does not have must be refused, not
// written past the board, and the mirror waits for a state it can hold.
TEST(MirrorJoin, AGameStateTheTableCannotHoldIsRefused) {
    const char* const bad[] = {
        "CMD_gamestats+5+2+0+c+13+0+2+0",           // no column 13
        "CMD_gamestats+5+2+0+c+2+3+2+0",            // above column 2's top
        "CMD_gamestats+5+2+0+c+7+-1+2+0",           // below the bottom
        "CMD_gamestats+5+2+0+c+7+0+11+0",           // no such occupant
        "CMD_gamestats+5+2+0+d+4+2+1+0",            // no die 4
        "CMD_gamestats+5+2+0+d+0+7+1+0",            // no face 8
        "CMD_gamestats+0+2+0+c+7+0+2+0",            // meant for no seat
        "CMD_gamestats+5+2+0+c+12+2+1+0+c+12+3+1+0" // one good cell, one bad
    };
    for (const char* message : bad) {
        TableMirror m;
        EXPECT_FALSE(m.apply(message)) << message;
        EXPECT_FALSE(m.synced()) << message;
        EXPECT_FALSE(m.gameRunning()) << message;
        ASSERT_TRUE(m.apply("CMD_gamestats+5+2+0+c+7+0+2+0")) << m.error().toStdString();
        EXPECT_EQ(m.game().board().cell(7, 0).occupant, 2);
        EXPECT_EQ(m.game().board().cell(12, 2).occupant, 0) << message;
    }
}

// The server names a winner whose seat has no login by the seat's fallback
// name ("Klock" for seat 3, unlike the seat label's hint), and by the login
// as the client shows it, whatever its bytes.
TEST(MirrorNames, TheWinnerIsNamedAsTheServerNamesTheSeat) {
    TableMirror m;
    EXPECT_EQ(m.displayName(3), "Klock");
    ASSERT_TRUE(m.apply(cmd::newplayerinfo_(3, "Cy")));
    EXPECT_EQ(m.displayName(3), "Cy");
    ASSERT_TRUE(m.apply(cmd::playerdisconnected_(3, "Cy")));
    EXPECT_EQ(m.name(3), "");
    EXPECT_EQ(m.displayName(3), "Klock");
    EXPECT_EQ(m.displayName(7), "");
    EXPECT_TRUE(m.apply(cmd::newplayerinfo_(12, "Nobody"))) << "a seat the table lacks is ignored";

    const QByteArray names[] = {"Zo\xeb", "Bo+Bo", "Ab\x81"};
    for (const QByteArray& name : names) {
        TableMirror game;
        ASSERT_TRUE(game.apply(cmd::newplayerinfo_(2, name)));
        scoreThreeColumnsForSeat2(game);
        EXPECT_TRUE(game.apply(cmd::winner_(name))) << game.error().toStdString();
        EXPECT_EQ(game.model().seat(2).score, 3);
    }
    TableMirror left;
    ASSERT_TRUE(left.apply(cmd::newplayerinfo_(2, "Bo")));
    ASSERT_TRUE(left.apply(cmd::playerdisconnected_(2, "Bo")));
    scoreThreeColumnsForSeat2(left);
    EXPECT_FALSE(left.apply(cmd::winner_("Bo")));
    EXPECT_TRUE(left.apply(cmd::winner_("Klot"))) << left.error().toStdString();
}
