// The client's model of the table: how each kind of news from the server
// moves it on, what the own player may ask for at each step, and that news
// which does not fit the table is refused whole.
#include "client/TableModel.h"
#include "client/EViewError.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <functional>

namespace {
using Phase = TableModel::Phase;
using Kind = PlaceItem::Kind;

PlaceItem marker(int column, int position) {
    return {Kind::Marker, BoardItem{column, position, TableModel::marker, 0}, 0};
}
PlaceItem uncover(int column, int position, int occupant) {
    return {Kind::Uncovered, BoardItem{column, position, occupant, 0}, 0};
}
PlaceItem cover(int column, int position, int seat) {
    return {Kind::Covered, BoardItem{column, position, 0, seat}, 0};
}
PlaceItem used(int die) {
    return {Kind::DieUsed, BoardItem{}, die};
}
msg::Rolldice roll(int seat, std::array<int, 4> values, bool playable = true) {
    msg::Rolldice r{seat, playable, {}};
    for (int die = 0; die < 4; ++die)
        r.dice.append({die, values[die], true});
    return r;
}

// Everything the model shows, as one text, so that a refused message can
// be seen to have changed nothing at all.
QString snapshot(const TableModel& m) {
    QStringList parts;
    for (int seat = 1; seat <= 9; ++seat) {
        const TableModel::Seat& s = m.seat(seat);
        parts << QString("%1:%2/%3/%4%5%6")
                     .arg(seat)
                     .arg(s.name)
                     .arg(s.score)
                     .arg(s.present)
                     .arg(s.computer)
                     .arg(s.watching);
    }
    for (int column = 2; column <= 12; ++column)
        for (int position = 0; position <= 12; ++position) {
            const TableModel::Cell& c = m.cell(column, position);
            parts << QString("%1.%2.%3").arg(c.occupant).arg(c.seatUnder).arg(c.completedBy);
        }
    for (int marker = 1; marker <= 3; ++marker)
        parts << QString("m%1%2").arg(m.markerColumn(marker)).arg(m.markerLabelled(marker));
    for (int die = 0; die < 4; ++die)
        parts
            << QString("d%1/%2/%3").arg(m.die(die).face).arg(m.die(die).value).arg(m.die(die).home);
    parts << QString("sel%1,%2 own%3 turn%4 arrow%5 phase%6 roll%7 end%8 useall%9")
                 .arg(m.slotA())
                 .arg(m.slotB())
                 .arg(m.ownSeat())
                 .arg(m.turnSeat())
                 .arg(m.arrowSeat())
                 .arg(int(m.phase()))
                 .arg(m.rollOffered())
                 .arg(m.endOffered())
                 .arg(m.useAll());
    parts << m.winner() << m.status() << QString::number(m.markersInUse());
    return parts.join(' ');
}

class TableModelTest : public ::testing::Test {
protected:
    void seatOwn(int seat, const QString& name) {
        model.setOwnSeat(seat);
        model.seatArrived(seat, name);
    }
    TableModel model;
};
} // namespace

// One own turn from its start to its end: the roll may be asked once, a
// placement waits for its answer with input blocked, an end refused gives
// back the roll only, and the kept end completes the column.
TEST_F(TableModelTest, AnOwnTurnPlayedThrough) {
    seatOwn(1, "Ann");
    model.startGame(false);
    EXPECT_EQ(model.phase(), Phase::Paused);
    EXPECT_FALSE(model.inputAccepted());

    model.beginTurn(1);
    EXPECT_EQ(model.phase(), Phase::AwaitingRoll);
    EXPECT_TRUE(model.rollOffered());
    EXPECT_FALSE(model.endOffered());
    EXPECT_TRUE(model.requestRoll());
    EXPECT_FALSE(model.requestRoll()) << "a second press rolls nothing";

    model.applyRoll(roll(1, {2, 4, 0, 5}));
    EXPECT_EQ(model.phase(), Phase::Rolled);
    EXPECT_FALSE(model.die(1).home);
    model.setSelection(0, 1); // 3 and 5 pips make 8
    EXPECT_FALSE(model.requestPlacement(7));
    EXPECT_EQ(model.phase(), Phase::Rolled);
    EXPECT_TRUE(model.requestPlacement(8));
    EXPECT_EQ(model.phase(), Phase::Placing);
    EXPECT_FALSE(model.inputAccepted());
    EXPECT_FALSE(model.requestPlacement(8)) << "no second placement before the answer";

    model.applyPlacement({1, {marker(8, 0), used(0), used(1)}});
    EXPECT_EQ(model.cell(8, 0).occupant, TableModel::marker);
    EXPECT_EQ(model.markerColumn(1), 8);
    EXPECT_TRUE(model.markerLabelled(1));
    EXPECT_TRUE(model.die(0).home);
    EXPECT_EQ(model.die(0).value, TableModel::noValue);
    EXPECT_EQ(model.die(2).value, 0) << "the unused dice stay on the table";
    EXPECT_EQ(model.slotA(), TableModel::noDie);
    EXPECT_TRUE(model.rollOffered());
    EXPECT_TRUE(model.endOffered());

    EXPECT_TRUE(model.requestEnd());
    EXPECT_FALSE(model.rollOffered());
    model.refuseEnd();
    EXPECT_TRUE(model.rollOffered());
    EXPECT_FALSE(model.endOffered());
    EXPECT_TRUE(model.inputAccepted());

    model.applyEnd({1, "p", {EndItem{BoardItem{8, 10, 1, 0}, 9}}});
    EXPECT_EQ(model.phase(), Phase::Paused);
    EXPECT_FALSE(model.inputAccepted());
    EXPECT_EQ(model.cell(8, 10).occupant, 1);
    EXPECT_EQ(model.cell(8, 10).completedBy, 0);
    for (int position = 0; position <= 9; ++position)
        EXPECT_EQ(model.cell(8, position).completedBy, 1) << position;
}

// A marker moving up onto another seat's chip covers it; moving on
// uncovers it, and the end of the turn hides every cover.
TEST_F(TableModelTest, MarkerCoversAndUncoversAnotherSeatsChip) {
    seatOwn(3, "Cy");
    model.startGame(true);
    model.beginTurn(1);
    model.applyPlacement({1, {marker(7, 3)}});
    model.applyEnd({2, "p", {EndItem{BoardItem{7, 4, 2, 0}, 0}}}); // seat 2's chip above it
    model.beginTurn(1);
    model.applyPlacement({1, {marker(7, 3)}});
    model.applyPlacement({1, {uncover(7, 3, 0), cover(7, 4, 2), marker(7, 4)}});
    EXPECT_EQ(model.cell(7, 3).occupant, 0);
    EXPECT_EQ(model.cell(7, 4).occupant, TableModel::marker);
    EXPECT_EQ(model.coverPosition(7), 4);
    EXPECT_EQ(model.cell(7, 4).seatUnder, 2);
    EXPECT_EQ(model.markersInUse(), 1) << "a second marker move on a column takes no marker";

    model.applyPlacement({1, {uncover(7, 4, 2), marker(7, 5)}});
    EXPECT_EQ(model.coverPosition(7), -1);
    EXPECT_EQ(model.cell(7, 4).occupant, 2);

    model.applyPlacement({1, {cover(7, 6, 4), marker(7, 6)}});
    model.applyEnd({1, "n", {EndItem{BoardItem{7, 6, 4, 0}, 0}}});
    EXPECT_EQ(model.coverPosition(7), -1);
    EXPECT_EQ(model.cell(7, 6).occupant, 4);
}

// Another seat's turn: this client shows it but may ask for nothing.
TEST_F(TableModelTest, AnotherSeatsTurnAcceptsNoInput) {
    seatOwn(2, "Bo");
    model.startGame(false);
    model.beginTurn(3);
    model.applyRoll(roll(3, {0, 0, 1, 1}));
    model.setSelection(0, 1);
    EXPECT_FALSE(model.inputAccepted());
    EXPECT_FALSE(model.requestRoll());
    EXPECT_FALSE(model.requestEnd());
    EXPECT_FALSE(model.requestPlacement(2));
    EXPECT_EQ(model.arrowSeat(), 3);

    // A spectator never has the turn.
    TableModel spy;
    spy.setOwnSeat(6);
    spy.startGame(false);
    spy.beginTurn(1);
    EXPECT_FALSE(spy.inputAccepted());
}

// A client joining during a game rebuilds the board from the server's state
// items; a board meant for another newcomer changes nothing.
TEST_F(TableModelTest, AJoinersGamestatsRebuildTheTable) {
    seatOwn(3, "Cy");
    const QString before = snapshot(model);
    EXPECT_FALSE(model.applyGamestats({4, 3, "1", {}, {BoardItem{4, 0, 10, 0}}}));
    EXPECT_EQ(snapshot(model), before);
    EXPECT_FALSE(model.gameRunning());

    msg::Gamestats stats{3, 3, "1", {}, {}};
    stats.dice = {{0, 2, false}, {1, 10, true}, {2, 4, true}, {3, 5, true}};
    stats.cells = {{2, 2, 1, 0}, {4, 3, 10, 2}, {10, 0, 10, 0}};
    ASSERT_TRUE(model.applyGamestats(stats));

    EXPECT_TRUE(model.gameRunning());
    EXPECT_TRUE(model.useAll());
    EXPECT_EQ(model.markerColumn(1), 4);
    EXPECT_EQ(model.markerColumn(2), 10);
    EXPECT_EQ(model.markerColumn(3), 0);
    EXPECT_FALSE(model.markerLabelled(1));
    EXPECT_EQ(model.coverPosition(4), 3);
    EXPECT_EQ(model.cell(2, 0).completedBy, 1);
    EXPECT_EQ(model.cell(2, 1).completedBy, 1);
    EXPECT_EQ(model.cell(2, 2).occupant, 1);
    EXPECT_TRUE(model.die(0).home);
    EXPECT_EQ(model.die(0).value, TableModel::noValue);
    EXPECT_EQ(model.die(1).face, 1) << "a die without a value shows two pips";
    EXPECT_FALSE(model.die(1).home);
    EXPECT_EQ(model.turnSeat(), 3);
    EXPECT_EQ(model.arrowSeat(), 3);
    EXPECT_TRUE(model.rollOffered());
    EXPECT_TRUE(model.endOffered());
    EXPECT_TRUE(model.ownColourShown());
}

// News naming what the table does not have is refused before anything
// changes, earlier items of the same message included.
struct RefusalCase {
    const char* what;
    std::function<void(TableModel&)> apply;
    QString error;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.what;
}

class TableRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(TableRefusalTest, LeavesTheModelUnchanged) {
    TableModel model;
    model.setOwnSeat(1);
    model.seatArrived(1, "Ann");
    model.startGame(false);
    model.beginTurn(1);
    model.applyRoll(roll(1, {1, 2, 3, 4}));
    model.applyPlacement({1, {marker(5, 0), used(0), used(1)}});
    const QString before = snapshot(model);
    try {
        GetParam().apply(model);
        FAIL() << "not refused";
    } catch (const EViewError& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()), GetParam().error);
    }
    EXPECT_EQ(snapshot(model), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TableRefusalTest,
    ::testing::Values(
        RefusalCase{"column 14",
                    [](TableModel& m) {
                        m.applyPlacement({1, {marker(6, 0), marker(14, 0)}});
                    },
                    "There is no control named chip_140"},
        RefusalCase{"above column 2's top",
                    [](TableModel& m) {
                        m.applyPlacement({1, {marker(2, 3)}});
                    },
                    "There is no control named chip_23"},
        RefusalCase{"no such chip picture",
                    [](TableModel& m) {
                        m.applyPlacement({1, {{Kind::Marker, BoardItem{6, 0, 11, 0}, 0}}});
                    },
                    "There is no image 11 in imagelist_chips"},
        RefusalCase{"a mover who is no player",
                    [](TableModel& m) {
                        m.applyPlacement({5, {marker(6, 0)}});
                    },
                    "There is no control named label_playername5"},
        RefusalCase{"turn of an unknown seat", [](TableModel& m) { m.beginTurn(9); },
                    "There is no control named label_playername9"},
        RefusalCase{"die 4",
                    [](TableModel& m) {
                        m.applyPlacement({1, {used(2), used(4)}});
                    },
                    "There is no control named dice_4"},
        RefusalCase{"a face of seven pips",
                    [](TableModel& m) {
                        m.applyRoll(roll(1, {0, 1, 2, 6}));
                    },
                    "There is no image 6 in imagelist_dice"},
        RefusalCase{"fill above the top",
                    [](TableModel& m) {
                        m.applyEnd({1,
                                    "p",
                                    {EndItem{BoardItem{4, 1, 1, 0}, 0},
                                     EndItem{BoardItem{8, 10, 1, 0}, 11}}});
                    },
                    "There is no control named chip_811"},
        RefusalCase{"score of a spectator", [](TableModel& m) { m.setScore(5, 1); },
                    "There is no control named label_score5"},
        RefusalCase{"arrival at seat 10", [](TableModel& m) { m.seatArrived(10, "X"); },
                    "There is no seat 10"},
        RefusalCase{"joined board with die 4",
                    [](TableModel& m) {
                        m.applyGamestats({1, 1, "0", {{0, 1, true}, {4, 0, true}}, {}});
                    },
                    "There is no control named dice_4"}));

// A winner counts only while a game runs, and once: a server repeating it,
// or sending one with no game, changes nothing.
TEST_F(TableModelTest, WinnerCountsOncePerGame) {
    seatOwn(1, "Ann");
    QSignalSpy announced(&model, &TableModel::winnerAnnounced);
    EXPECT_FALSE(model.announceWinner("Ann"));
    EXPECT_EQ(model.phase(), Phase::NoGame);

    model.startGame(false);
    model.beginTurn(1);
    EXPECT_TRUE(model.announceWinner("Ann"));
    EXPECT_FALSE(model.announceWinner("Ann"));
    EXPECT_FALSE(model.announceWinner("Bo"));
    ASSERT_EQ(announced.size(), 1);
    EXPECT_EQ(announced[0][0].toString(), "Ann");
    EXPECT_TRUE(announced[0][1].toBool());
    EXPECT_EQ(model.phase(), Phase::Won);
    EXPECT_EQ(model.turnSeat(), 0);
    EXPECT_FALSE(model.inputAccepted());
    EXPECT_EQ(model.arrowSeat(), 1) << "the arrow stays where it was";

    // Joining a game in progress makes it running again.
    model.applyGamestats({1, 2, "0", {}, {}});
    EXPECT_TRUE(model.announceWinner("Bo"));
    EXPECT_FALSE(model.ownWin());
}

// Two players typed the same name; the server calls the second "Ann (2)".
// Each client decides "did I win" by the name the server gave its own
// seat, and a spectator never wins.
TEST_F(TableModelTest, OwnWinGoesByTheNameTheServerAnnounced) {
    struct Case {
        int own;
        QString winner;
        bool won;
    };
    for (const Case& c : {Case{1, "Ann", true}, Case{1, "Ann (2)", false}, Case{2, "Ann", false},
                          Case{2, "Ann (2)", true}, Case{6, "Eve", false}}) {
        TableModel m;
        m.setOwnSeat(c.own);
        m.seatArrived(1, "Ann");
        m.seatArrived(2, "Ann (2)");
        m.seatArrived(6, "Eve");
        m.startGame(false);
        ASSERT_TRUE(m.announceWinner(c.winner));
        EXPECT_EQ(m.ownWin(), c.won) << c.own << " " << c.winner.toStdString();
    }
}

// A person leaving a playing seat hands it to the computer on seat 2 and
// leaves "<Waiting>" elsewhere; the score stays and the watching mark goes.
TEST_F(TableModelTest, SeatLeavingShowsTheComputerOnSeatTwoOnly) {
    seatOwn(1, "Ann");
    model.seatArrived(2, "Bo");
    model.seatArrived(3, "Cy");
    model.seatArrived(7, "Eve");
    model.startGame(false);
    model.setScore(3, 2);
    model.setWatching(3, true);
    EXPECT_EQ(model.spectators(), QStringList{"7: Eve"});

    EXPECT_EQ(model.seatLeft(2), "Bo");
    EXPECT_EQ(model.seatLeft(3), "Cy");
    EXPECT_EQ(model.seatName(2), "Klot");
    EXPECT_TRUE(model.seat(2).computer);
    EXPECT_EQ(model.seatName(3), "<Waiting>");
    EXPECT_FALSE(model.seat(3).present);
    EXPECT_FALSE(model.seat(3).watching);
    EXPECT_EQ(model.seat(3).score, 2);
    EXPECT_EQ(model.seatCaptions(), QStringList({"Ann", "Klot", "<Waiting>", "<Waiting>"}));

    EXPECT_EQ(model.seatLeft(7), "Eve");
    EXPECT_TRUE(model.spectators().isEmpty());
}

// A new game clears the board and the scores and puts the computer on an
// empty seat 2; seats held by people keep their names.
TEST_F(TableModelTest, GameStartClearsTheBoardAndSeatsTheComputer) {
    seatOwn(1, "Ann");
    model.startGame(false);
    model.beginTurn(1);
    model.applyPlacement({1, {marker(3, 0)}});
    model.setScore(1, 2);
    model.announceWinner("Ann");

    QSignalSpy reset(&model, &TableModel::boardReset);
    model.startGame(true);
    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(model.cell(3, 0).occupant, 0);
    EXPECT_EQ(model.seat(1).score, 0);
    EXPECT_EQ(model.seatName(1), "Ann");
    EXPECT_EQ(model.seatName(2), "Klot");
    EXPECT_EQ(model.seatName(3), "<Waiting>");
    EXPECT_TRUE(model.useAll());
    EXPECT_TRUE(model.winner().isEmpty());
    EXPECT_EQ(model.markerColumn(1), 0);
    EXPECT_TRUE(model.gameRunning());
}
