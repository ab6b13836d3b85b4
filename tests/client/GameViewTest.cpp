// The game view paints what the server broadcasts: chips, covers, the stock,
// the dice, the labels. These cases feed the handlers whole messages and look
// at the named controls, as another client would see them.
#include "ViewFixture.h"

#include "client/EViewError.h"
#include "protocol/FieldReader.h"

namespace {
// An item as the wire writes it: a tag and its numbers.
struct WireItem {
    char tag;
    int x, y, z;
};

PlaceItem toPlaceItem(const WireItem& w) {
    PlaceItem item;
    item.kind = PlaceItem::Kind(w.tag);
    if (item.kind == PlaceItem::Kind::DieUsed)
        item.die = w.x;
    else if (item.kind == PlaceItem::Kind::Covered)
        item.cell = {w.x, w.y, 0, w.z};
    else
        item.cell = {w.x, w.y, w.z, 0};
    return item;
}

// CMD_gamestats from its items in the order given: "d" items are dice
// (die, value, available, 0), "c" items cells (column, position, occupant,
// seat under).
QByteArray gamestats(int seat, int turn, const QByteArray& flag,
                     std::initializer_list<std::pair<char, std::array<int, 4>>> items) {
    QList<msg::DieState> dice;
    QList<BoardItem> cells;
    for (const auto& [tag, n] : items) {
        if (tag == 'd')
            dice.append({n[0], n[1], n[2] != 0});
        else
            cells.append({n[0], n[1], n[2], n[3]});
    }
    return cmd::gamestats_(seat, turn, flag, dice, cells);
}

class GameViewTest : public ViewFixture {
protected:
    void place(int seat, std::initializer_list<WireItem> items) {
        QList<PlaceItem> placed;
        for (const WireItem& item : items)
            placed.append(toPlaceItem(item));
        game->placechip(args(cmd::placechipResult_(seat, placed)));
    }
};
} // namespace

// A marker moving up column 7 onto seat 2's chip: the cell it left gets back
// its content, the cover shows blue peeking out 3 pixels below and right of
// the marker, and the move sounds like a placement.
TEST_F(GameViewTest, PlacementOntoAnotherSeatsChipShowsTheCoverBeneathTheMarker) {
    login(1);
    model->beginTurn(1);
    place(1, {{'p', 7, 3, 10}, {'d', 0, 0, 0}, {'d', 1, 0, 0}});
    view->board().drawChip(7, 4, 2);
    services.sounds.clear();

    place(1, {{'u', 7, 3, 0}, {'c', 7, 4, 2}, {'p', 7, 4, 10}, {'d', 2, 0, 0}, {'d', 3, 0, 0}});

    EXPECT_TRUE(chip(7, 3)->isBlank());
    Picture* cover = pic("image_cover7");
    EXPECT_FALSE(cover->isHidden());
    EXPECT_EQ(cover->image(), 2);
    EXPECT_EQ(cover->pos(), chip(7, 4)->pos() + QPoint(3, 3));
    EXPECT_EQ(chip(7, 4)->image(), 0);
    EXPECT_EQ(services.sounds, QStringList({"placechip", "placechip"}));
    // The second marker on the same column takes nothing more from the stock.
    EXPECT_EQ(model->markersInUse(), 1);
    EXPECT_FALSE(pic("extra_2")->isHidden());
    for (int die = 0; die < 4; ++die) {
        EXPECT_EQ(pic(QString("dice_%1").arg(die))->value(), 10);
        EXPECT_EQ(pic(QString("dice_%1").arg(die))->pos(), board::diceHome[die]);
    }
    EXPECT_FALSE(view->board().rollButton()->isHidden());
    EXPECT_FALSE(view->board().endButton()->isHidden());
    EXPECT_EQ(model->turnSeat(), 1);
}

TEST_F(GameViewTest, MarkerReachingTheTopOfColumn12SoundsRowComplete) {
    login(1);
    place(2, {{'u', 12, 1, 0}, {'p', 12, 2, 10}, {'d', 1, 0, 0}, {'d', 3, 0, 0}});
    EXPECT_EQ(services.sounds, QStringList({"rowcomplete"}));
    EXPECT_EQ(chip(12, 2)->image(), 0);
    // Another seat's placement gives this client no buttons.
    EXPECT_TRUE(view->board().rollButton()->isHidden());
    EXPECT_EQ(model->turnSeat(), 2);
}

// Each new column takes the next stock marker and names it under "Working
// Columns"; a placement on a worked column takes none.
TEST_F(GameViewTest, MarkersLeaveTheStockOnePerNewColumn) {
    login(3);
    place(3, {{'p', 5, 0, 10}, {'d', 0, 0, 0}, {'d', 1, 0, 0}});
    EXPECT_TRUE(pic("extra_1")->isHidden());
    EXPECT_EQ(pic("extra_1")->value(), 5);
    EXPECT_EQ(label("label_working1")->text(), "5");
    EXPECT_FALSE(pic("extra_2")->isHidden());

    place(3, {{'u', 5, 0, 0}, {'p', 5, 1, 10}, {'d', 2, 0, 0}, {'d', 3, 0, 0}});
    EXPECT_FALSE(pic("extra_2")->isHidden());
    EXPECT_EQ(label("label_working2")->text(), "");

    place(3, {{'p', 11, 0, 10}, {'d', 0, 0, 0}, {'d', 3, 0, 0}});
    EXPECT_TRUE(pic("extra_2")->isHidden());
    EXPECT_EQ(label("label_working2")->text(), "11");
    EXPECT_EQ(model->markersInUse(), 2);

    // The next turn fills the stock again.
    game->getnextplayer("4+");
    for (int marker = 1; marker <= 3; ++marker) {
        EXPECT_FALSE(pic(QString("extra_%1").arg(marker))->isHidden());
        EXPECT_EQ(pic(QString("extra_%1").arg(marker))->value(), 0);
        EXPECT_EQ(label(QString("label_working%1").arg(marker))->text(), "");
    }
}

TEST_F(GameViewTest, KeptTurnOnTheTopPaintsTheCompletedColumn) {
    login(1);
    model->seatArrived(3, "Cy");
    place(1, {{'c', 6, 2, 4}, {'p', 6, 2, 10}});
    services.sounds.clear();
    game->endturn(args(cmd::endturnResult_(3, "p", {EndItem{{8, 10, 3, 0}, 9}})));

    for (int position = 0; position <= 9; ++position)
        EXPECT_EQ(chip(8, position)->image(), 7) << position;
    EXPECT_EQ(chip(8, 10)->image(), 3);
    EXPECT_TRUE(pic("image_cover6")->isHidden());
    EXPECT_EQ(status(), "Cy ended their turn.");
    EXPECT_EQ(services.sounds, QStringList({"turnovergood"}));
}

TEST_F(GameViewTest, EmptyEndOfTurnListChangesNoChipButClearsSelectionAndCovers) {
    login(1);
    game->getnextplayer("1+");
    game->rolldice(args(cmd::rolldice_(1, true, {0, 1, 2, 3})));
    view->selection().dice_0Click(0);
    view->board().drawChip(4, 2, 1);
    place(1, {{'c', 9, 1, 2}, {'p', 9, 1, 10}});

    game->endturn(args(cmd::endturnResult_(1, "p", {})));

    EXPECT_EQ(chip(4, 2)->image(), 1);
    EXPECT_EQ(view->selection().slotA(), Selection::empty);
    EXPECT_TRUE(pic("image_cover9")->isHidden());
    EXPECT_EQ(status(), "You ended your turn.");
}

// A roll that fits no column ends the turn; the lost turn's end leaves the
// roll's status and plays nothing more.
TEST_F(GameViewTest, LostRollKeepsItsStatusThroughTheLostEnd) {
    login(1);
    view->board().drawChip(5, 2, 10);
    game->rolldice(args(cmd::rolldice_(1, false, {0, 0, 0, 0})));
    EXPECT_EQ(status(), "No Moves.. Turn Over");
    EXPECT_EQ(services.sounds, QStringList({"turnoverbad"}));

    game->endturn(args(cmd::endturnResult_(1, "n", {EndItem{{5, 2, 0, 0}, 0}})));
    EXPECT_TRUE(chip(5, 2)->isBlank());
    EXPECT_EQ(status(), "No Moves.. Turn Over");
    EXPECT_EQ(services.sounds, QStringList({"turnoverbad"}));
}

TEST_F(GameViewTest, RollLaysTheDiceOutInTheRow) {
    login(2);
    game->rolldice(args(cmd::rolldice_(2, true, {0, 2, 4, 5})));
    const int faces[] = {0, 2, 4, 5};
    for (int die = 0; die < 4; ++die) {
        Picture* shown = pic(QString("dice_%1").arg(die));
        EXPECT_EQ(shown->image(), faces[die]);
        EXPECT_EQ(shown->value(), faces[die]);
        EXPECT_EQ(shown->pos(), QPoint(57 + 80 * die, 439));
    }
    EXPECT_EQ(services.sounds, QStringList({"dice"}));
}

struct WinnerCase {
    int ownSeat;
    QString ownName;
    QString winner;
    QString text;
    QStringList recorded;
};

void PrintTo(const WinnerCase& c, std::ostream* out) {
    *out << "own seat " << c.ownSeat << ", winner " << c.winner.toStdString();
}

class WinnerTest : public ViewFixture, public ::testing::WithParamInterface<WinnerCase> {};

// Every client shows the winner panel; only seated players record the game,
// the winner as "addtomine".
TEST_P(WinnerTest, ShowsTheWinnerAndRecordsForSeatedPlayersOnly) {
    const WinnerCase& c = GetParam();
    login(c.ownSeat, c.ownName);
    game->startthegame(args(cmd::startgame_("Ann", "0")));
    services.lines.clear();
    game->getnextplayer("1+");
    services.sounds.clear();
    game->winner(args(cmd::winner_(c.winner.toLatin1())));

    EXPECT_EQ(label("label_winner1")->text(), c.text);
    EXPECT_EQ(label("label_winner2")->text(), c.text);
    EXPECT_EQ(label("label_winner2")->pos(), label("label_winner1")->pos() + QPoint(1, -1));
    EXPECT_FALSE(pic("panel_winner")->isHidden());
    EXPECT_EQ(status(), "Game Over!");
    EXPECT_EQ(services.lines, QStringList({c.text}));
    EXPECT_EQ(services.games, c.recorded);
    EXPECT_EQ(services.sounds, QStringList({"winner"}));
    EXPECT_EQ(model->turnSeat(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Seats, WinnerTest,
    ::testing::Values(WinnerCase{1, "Ann", "Ann", "You have Won the Game!", {"addtomine"}},
                      WinnerCase{2, "Bo", "Ann", "Ann has Won the Game!", {"Ann"}},
                      WinnerCase{6, "", "Ann", "Ann has Won the Game!", {}},
                      // The name is the whole field, "+" included.
                      WinnerCase{3, "A+B", "A+B", "You have Won the Game!", {"addtomine"}}));

// A winner counts only for a game that is running, and only once: a server
// repeating it, or sending it with no game, records nothing and shows nothing.
TEST_F(GameViewTest, WinnerCountsOnlyForARunningGameAndOnce) {
    login(1, "Ann");
    for (int i = 0; i < 3; ++i)
        game->winner("Ann+");
    EXPECT_TRUE(services.games.isEmpty());
    EXPECT_TRUE(pic("panel_winner")->isHidden());
    EXPECT_TRUE(services.sounds.isEmpty());

    game->startthegame(args(cmd::startgame_("Ann", "0")));
    for (int i = 0; i < 1000; ++i)
        game->winner("Ann+");
    EXPECT_EQ(services.games, QStringList{"addtomine"});
    EXPECT_FALSE(model->gameRunning());

    // Joining during a game: the board the server sends makes it running.
    game->gamestats(args(gamestats(1, 2, "0", {})));
    EXPECT_TRUE(model->gameRunning());
    game->winner("Bo+");
    game->winner("Bo+");
    EXPECT_EQ(services.games, QStringList({"addtomine", "Bo"}));
}

// Two players typed the same name; the server calls the second "Ann (2)".
// Each client decides "did I win" by the name the server gave it.
struct SameNameCase {
    int ownSeat;
    QString winner;
    QString text;
    QString recorded;
};

class SameNameTest : public ViewFixture, public ::testing::WithParamInterface<SameNameCase> {};

TEST_P(SameNameTest, TheServersNameDecidesWhoWon) {
    const SameNameCase& c = GetParam();
    const QString own = c.ownSeat == 1 ? "Ann" : "Ann (2)";
    login(c.ownSeat, own);
    model->seatArrived(1, "Ann");
    model->seatArrived(2, "Ann (2)");
    services.m_state.playerName = "Ann"; // as both typed it
    game->startthegame(args(cmd::startgame_("Ann", "0")));
    game->winner(args(cmd::winner_(c.winner.toLatin1())));
    EXPECT_EQ(label("label_winner1")->text(), c.text);
    EXPECT_EQ(services.games, QStringList{c.recorded});
}

INSTANTIATE_TEST_SUITE_P(
    Names, SameNameTest,
    ::testing::Values(SameNameCase{1, "Ann", "You have Won the Game!", "addtomine"},
                      SameNameCase{1, "Ann (2)", "Ann (2) has Won the Game!", "Ann (2)"},
                      SameNameCase{2, "Ann", "Ann has Won the Game!", "Ann"},
                      SameNameCase{2, "Ann (2)", "You have Won the Game!", "addtomine"}));

TEST_F(GameViewTest, WinOnTheHostBringsTheStartButtonBack) {
    login(1);
    services.m_state.host = true;
    game->startthegame(args(cmd::startgame_("Ann", "0")));
    EXPECT_TRUE(view->board().startButton()->isHidden());
    game->winner("Ann+");
    EXPECT_FALSE(view->board().startButton()->isHidden());
}

TEST_F(GameViewTest, GameStartClearsTheBoardAndSetsTheOption) {
    login(2, "Bo");
    view->board().drawChip(3, 1, 4);
    model->setScore(4, 2);
    game->winner("Bo+");
    services.justWatchTicked = true;

    game->startthegame(args(cmd::startgame_("Ann", "1")));

    EXPECT_TRUE(chip(3, 1)->isBlank());
    EXPECT_EQ(label("label_score4")->text(), "0");
    EXPECT_EQ(label("label_useall")->text(), "Use All Markers: ON");
    EXPECT_EQ(label("label_playername2")->text(), "Bo");
    EXPECT_EQ(label("label_playername1")->text(), "<Waiting>");
    EXPECT_TRUE(pic("panel_winner")->isHidden());
    EXPECT_FALSE(services.justWatchTicked);
    EXPECT_EQ(services.lines.last(), "Ann has started a game.");
    EXPECT_FALSE(pic("image_mycolor2")->isHidden());
    EXPECT_TRUE(pic("image_mycolor1")->isHidden());

    game->startthegame("Ann+0+");
    EXPECT_EQ(label("label_useall")->text(), "Use All Markers: OFF");
}

TEST_F(GameViewTest, EmptySeatTwoBecomesTheComputerAtGameStart) {
    login(5);
    game->startthegame("Ann+0+");
    EXPECT_EQ(label("label_playername2")->text(), "Klot");
    for (int seat = 1; seat <= 4; ++seat)
        EXPECT_TRUE(pic(QString("image_mycolor%1").arg(seat))->isHidden());
}

TEST_F(GameViewTest, OwnTurnShowsRollAndPlaysTheChosenTurnSound) {
    login(2, "Bo");
    services.newTurnSound = true;
    game->rolldice(args(cmd::rolldice_(2, true, {1, 1, 1, 1})));
    services.sounds.clear();

    game->getnextplayer("2+");

    EXPECT_EQ(status(), "Your Turn.");
    EXPECT_EQ(services.sounds, QStringList({"turnnew"}));
    EXPECT_FALSE(view->board().rollButton()->isHidden());
    EXPECT_TRUE(view->board().endButton()->isHidden());
    EXPECT_EQ(pic("image_Turn")->y(), label("label_playername2")->y());
    for (int die = 0; die < 4; ++die) {
        EXPECT_EQ(pic(QString("dice_%1").arg(die))->pos(), board::diceHome[die]);
        EXPECT_EQ(pic(QString("dice_%1").arg(die))->value(), 10);
    }

    model->seatArrived(4, "Kling");
    game->getnextplayer("4+");
    EXPECT_EQ(status(), "Kling's turn.");
    EXPECT_TRUE(view->board().rollButton()->isHidden());
}

TEST_F(GameViewTest, RefusalsGiveTheMoveBackOnlyToTheMover) {
    login(1);
    game->mustmove("1+7+4+");
    EXPECT_EQ(status(), "You must move off another player's piece");
    EXPECT_EQ(model->turnSeat(), 1);
    EXPECT_FALSE(view->board().rollButton()->isHidden());
    EXPECT_TRUE(view->board().endButton()->isHidden());

    game->getnextplayer("2+");
    game->useall("1+");
    EXPECT_EQ(status(), "You must use all the Markers before Ending Turn.");
    EXPECT_EQ(model->turnSeat(), 1);

    game->getnextplayer("2+");
    game->invalid("1+");
    EXPECT_EQ(status(), "Invalid Play");
    EXPECT_EQ(model->turnSeat(), 1);
    EXPECT_EQ(services.sounds, QStringList({"invalid", "invalid", "invalid"}));

    game->invalid("2+");
    game->useall("3+");
    EXPECT_EQ(services.sounds.size(), 3);
}

TEST_F(GameViewTest, ScoresShowAsReceived) {
    game->postscores("3+2+");
    EXPECT_EQ(label("label_score3")->text(), "2");
}

TEST_F(GameViewTest, GameStatsForAnotherNewcomerChangeNothing) {
    login(2);
    game->gamestats(args(gamestats(3, 2, "1", {{'c', {4, 0, 10, 0}}})));
    EXPECT_TRUE(chip(4, 0)->isBlank());
    EXPECT_EQ(label("label_useall")->text(), "Use All Markers: OFF");
    EXPECT_EQ(model->turnSeat(), 0);
}

// A newcomer during a game rebuilds the board from the state items.
TEST_F(GameViewTest, GameStatsRebuildTheBoardForTheNewcomer) {
    login(3);
    game->gamestats(args(gamestats(3, 3, "1",
                                   {{'d', {0, 2, 0, 0}},
                                    {'d', {1, 10, 1, 0}},
                                    {'d', {2, 4, 1, 0}},
                                    {'d', {3, 5, 1, 0}},
                                    {'c', {2, 2, 1, 0}},
                                    {'c', {4, 3, 10, 2}},
                                    {'c', {10, 0, 10, 0}}})));

    EXPECT_TRUE(pic("extra_1")->isHidden());
    EXPECT_TRUE(pic("extra_2")->isHidden());
    EXPECT_FALSE(pic("extra_3")->isHidden());
    EXPECT_EQ(pic("extra_1")->value(), 4);
    EXPECT_EQ(pic("extra_2")->value(), 10);
    EXPECT_EQ(label("label_working1")->text(), "");
    EXPECT_EQ(chip(4, 3)->image(), 0);
    EXPECT_EQ(chip(10, 0)->image(), 0);
    EXPECT_FALSE(pic("image_cover4")->isHidden());
    EXPECT_EQ(pic("image_cover4")->image(), 2);
    // Seat 1 holds the top of column 2: the column is won.
    EXPECT_EQ(chip(2, 2)->image(), 1);
    EXPECT_EQ(chip(2, 0)->image(), 5);
    EXPECT_EQ(chip(2, 1)->image(), 5);
    // A used die rests at home; one without a value shows two pips.
    EXPECT_EQ(pic("dice_0")->pos(), board::diceHome[0]);
    EXPECT_EQ(pic("dice_0")->value(), 10);
    EXPECT_EQ(pic("dice_1")->image(), 1);
    EXPECT_EQ(pic("dice_1")->pos(), QPoint(137, 439));
    EXPECT_EQ(label("label_useall")->text(), "Use All Markers: ON");
    EXPECT_EQ(model->turnSeat(), 3);
    EXPECT_FALSE(view->board().rollButton()->isHidden());
    EXPECT_FALSE(view->board().endButton()->isHidden());
    EXPECT_EQ(pic("image_Turn")->y(), label("label_playername3")->y());
    EXPECT_FALSE(pic("image_mycolor3")->isHidden());

    // The valueless die cannot be chosen.
    view->selection().dice_0Click(1);
    EXPECT_EQ(status(), "You cannot select that dice");
    EXPECT_EQ(view->selection().slotA(), Selection::empty);
}

// Messages naming what the view does not have raise a clear error and leave
// the view as it was, earlier items of the same message included.
TEST_F(GameViewTest, BadMessagesRaiseAndChangeNothing) {
    login(1);
    game->getnextplayer("1+");
    const QString before = status();

    EXPECT_THROW(game->getnextplayer("7+"), EViewError);
    EXPECT_EQ(status(), before);
    EXPECT_EQ(model->turnSeat(), 1);

    EXPECT_THROW(place(1, {{'p', 5, 0, 10}, {'p', 14, 0, 10}}), EViewError);
    EXPECT_TRUE(chip(5, 0)->isBlank());
    EXPECT_FALSE(pic("extra_1")->isHidden());
    EXPECT_THROW(place(1, {{'p', 2, 3, 10}}), EViewError); // above column 2's top
    EXPECT_THROW(place(1, {{'p', 5, 0, 11}}), EViewError); // no such picture

    EXPECT_THROW(game->rolldice("1+t+0+1+9+2"), EViewError);
    EXPECT_EQ(pic("dice_0")->pos(), board::diceHome[0]);
    EXPECT_THROW(game->rolldice("1+t+0+6"), EViewError); // a face of seven pips

    EXPECT_THROW(game->endturn("1+p+8+10+1+11"), EViewError); // fill above the top
    EXPECT_THROW(game->postscores("5+1+"), EViewError);
    EXPECT_THROW(game->gamestats("1+1+0+d+4+0+1+0"), EViewError);

    try {
        game->getnextplayer("9+");
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "There is no control named label_playername9");
    }
}

TEST_F(GameViewTest, NumbersThatDoNotParseRaiseConvertErrors) {
    login(1);
    EXPECT_THROW(game->getnextplayer("x+"), EConvertError);
    EXPECT_THROW(game->placechip("1+p+5+x+10"), EConvertError);
    EXPECT_TRUE(chip(5, 0)->isBlank());
    EXPECT_THROW(game->rolldice("1+t+0+"), EConvertError); // an item cut short
    // The next message is handled as usual.
    game->placechip("1+p+5+0+10");
    EXPECT_EQ(chip(5, 0)->image(), 0);
}

// Names come from peers: they are shown literally, never as markup.
TEST_F(GameViewTest, PeerTextIsShownAsPlainText) {
    login(1);
    model->seatArrived(2, "<b>Bo</b>");
    game->getnextplayer("2+");
    EXPECT_EQ(status(), "<b>Bo</b>'s turn.");
    game->startthegame(args(cmd::startgame_("Ann", "0")));
    game->winner("<img src=x>+");
    EXPECT_EQ(label("label_winner1")->text(), "<img src=x> has Won the Game!");
    for (QLabel* shown : panel->findChildren<QLabel*>())
        EXPECT_EQ(shown->textFormat(), Qt::PlainText) << shown->objectName().toStdString();
}

TEST_F(GameViewTest, ViewHasEveryPlaceUnderItsComposedName) {
    int places = 0;
    for (int column = 2; column <= 12; ++column) {
        for (int position = 0; position <= board::columnTop(column); ++position) {
            Picture* place = chip(column, position);
            ASSERT_NE(place, nullptr);
            EXPECT_EQ(place->hint(), QString::number(column));
            EXPECT_EQ(place->geometry(),
                      QRect(23 + 35 * (column - 2), 383 - 31 * (std::abs(column - 7) + position),
                            27, 28));
            ++places;
        }
        EXPECT_EQ(panel->findChild<Picture*>(
                      QString("chip_%1%2").arg(column).arg(board::columnTop(column) + 1)),
                  nullptr);
    }
    EXPECT_EQ(places, 83);
    EXPECT_EQ(panel->findChild<QWidget*>("panel_gameboard")->geometry(), QRect(34, 2, 425, 421));
    EXPECT_EQ(label("label_status")->text(), "Welcome to Climora");
    EXPECT_EQ(label("label_useall")->text(), "Use All Markers: OFF");
    EXPECT_EQ(label("label_playername2")->toolTip(), "Klot");
    EXPECT_EQ(label("label_playername3")->toolTip(), "Klick");
    EXPECT_EQ(label("label_playername4")->toolTip(), "Kling");
    EXPECT_FALSE(pic("image_board")->isBlank());
}
