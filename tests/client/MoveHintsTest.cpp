// The game's keys, the hints for two selected dice, and the names screen
// readers speak, each checked against the table model the game's messages
// build.
#include "ViewFixture.h"

#include "client/AccessibleNames.h"
#include "client/ColumnHints.h"
#include "client/KeyboardPlay.h"

#include <QAccessible>
#include <QAction>
#include <QFrame>

namespace {
class MoveHintsTest : public ViewFixture {
protected:
    void SetUp() override {
        ViewFixture::SetUp();
        keys = new KeyboardPlay(view->selection(), *model, view);
        hints = new ColumnHints(*model, view->board(), view);
        new AccessibleNames(*model, view->board(), view);
    }
    // The own seat 1's turn with a roll of these values (0 to 5), on a board
    // holding these cells.
    void myRoll(const std::array<int, 4>& values, const QList<BoardItem>& cells = {}) {
        login(1);
        model->seatArrived(2, "Bo");
        QList<msg::DieState> dice;
        for (int die = 0; die < 4; ++die)
            dice << msg::DieState{die, values[size_t(die)], true};
        game->startthegame(args(cmd::startgame_("Ann", "0")));
        game->gamestats(args(cmd::gamestats_(1, 1, "0", dice, cells)));
        services.sounds.clear();
    }
    void select(int first, int second) {
        keys->selectDie(first);
        keys->selectDie(second);
    }
    static QString nameOf(QWidget* widget) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face ? face->text(QAccessible::Name) : QString();
    }

    KeyboardPlay* keys = nullptr;
    ColumnHints* hints = nullptr;
};
} // namespace

TEST_F(MoveHintsTest, KeysMeetTheSameRefusalsAsClicks) {
    const struct {
        const char* what;
        std::function<void()> press;
        QString status;
    } cases[] = {
        {"Enter with one die selected",
         [this] {
             keys->selectDie(0);
             keys->placeSelected();
         },
         "You must select two die"},
        {"a third die",
         [this] {
             select(0, 1);
             keys->selectDie(2);
         },
         "You have already selected 2 die"},
        {"a die already used",
         [this] {
             model->applyPlacement(msg::readPlacechipResult(
                 args(cmd::placechipResult_(1, {PlaceItem{PlaceItem::Kind::DieUsed, {}, 3}}))));
             services.sounds.clear();
             keys->selectDie(3);
         },
         "You cannot select that dice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        myRoll({0, 1, 2, 3});
        model->setStatus("Your Turn.");
        c.press();
        EXPECT_EQ(status(), c.status);
        ASSERT_FALSE(services.sounds.isEmpty());
        EXPECT_EQ(services.sounds.last(), "invalid");
        EXPECT_TRUE(services.sent.isEmpty());
    }
}

TEST_F(MoveHintsTest, EnterPlacesTheSelectedPairInTheColumnOfItsSum) {
    myRoll({2, 4, 0, 0}); // three and five pips
    select(1, 0);
    EXPECT_EQ(services.sounds, QStringList({"clickdice", "clickdice"}));
    keys->action("PlaceDice1")->trigger();
    keys->selectDie(2); // input waits for the answer, for keys as for clicks
    keys->placeSelected();
    EXPECT_EQ(services.sent, QByteArrayList({"CMD_placechip+1+8+1+0+"}));
    // Pressing a selected die's key again puts it back.
    game->invalid("1+");
    keys->selectDie(1);
    EXPECT_EQ(model->slotA(), TableModel::noDie);
    EXPECT_EQ(services.sounds.last(), "unset");
}

TEST_F(MoveHintsTest, KeysDoNothingOnAnotherSeatsTurn) {
    login(1);
    game->getnextplayer("2+");
    game->rolldice(args(cmd::rolldice_(2, true, {0, 1, 2, 3})));
    services.sounds.clear();
    const QString before = status();
    for (QAction* action : keys->actions())
        action->trigger();
    EXPECT_TRUE(services.sent.isEmpty());
    EXPECT_TRUE(services.sounds.isEmpty());
    EXPECT_EQ(status(), before);
    EXPECT_EQ(model->slotA(), TableModel::noDie);
}

TEST_F(MoveHintsTest, RollAndEndKeysActOnlyWhileTheirButtonIsOffered) {
    login(1);
    game->getnextplayer("1+");
    keys->endTurn(); // the end button is not up before the first roll
    EXPECT_TRUE(services.sent.isEmpty());
    keys->roll();
    keys->roll(); // the button went down with the first press
    EXPECT_EQ(services.sent, QByteArrayList({"CMD_rollthedice+1+"}));

    game->rolldice(args(cmd::rolldice_(1, true, {0, 0, 1, 1})));
    game->placechip(
        args(cmd::placechipResult_(1, {PlaceItem{PlaceItem::Kind::Marker, {2, 0, 10, 0}, 0},
                                       PlaceItem{PlaceItem::Kind::DieUsed, {}, 0},
                                       PlaceItem{PlaceItem::Kind::DieUsed, {}, 1}})));
    keys->action("EndTurn1")->trigger();
    EXPECT_EQ(services.sent.last(), "CMD_endturn+1+p+");
    EXPECT_TRUE(view->board().rollButton()->isHidden());
    EXPECT_TRUE(view->board().endButton()->isHidden());
}

TEST_F(MoveHintsTest, TheFramedColumnIsTheOneTheRulesLetTheSelectedPairTake) {
    const struct {
        const char* what;
        QList<BoardItem> cells;
        QList<int> framed; // for the pair of dice 0 and 1: faces 3 and 4, column 7
    } cases[] = {
        {"an empty board", {}, {7}},
        {"Bo completed the column", {{7, 12, 2, 0}}, {}},
        {"three markers in other columns", {{4, 0, 10, 0}, {5, 1, 10, 0}, {9, 0, 10, 0}}, {}},
        {"three markers, one in the column", {{4, 0, 10, 0}, {7, 3, 10, 0}, {9, 0, 10, 0}}, {7}},
        {"the own marker on the column's top", {{7, 12, 10, 0}}, {}},
        {"Bo's chip below", {{7, 5, 2, 0}}, {7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        myRoll({2, 3, 0, 0}, c.cells);
        EXPECT_TRUE(hints->highlighted().isEmpty()) << "nothing selected yet";
        select(0, 1);
        EXPECT_EQ(hints->highlighted(), c.framed);
        EXPECT_EQ(hints->sumLabel()->text(), "Sum 7");
        EXPECT_FALSE(hints->sumLabel()->isHidden());
        keys->selectDie(1); // one die unselected: no sum and no frame
        EXPECT_TRUE(hints->highlighted().isEmpty());
        EXPECT_TRUE(hints->sumLabel()->isHidden());
        keys->selectDie(0);
    }
}

TEST_F(MoveHintsTest, TheFrameGoesWhileThePlacementWaitsAndClicksPassThroughIt) {
    myRoll({1, 2, 4, 4});
    select(0, 1); // column 5
    QFrame* frame = hints->frame(5);
    ASSERT_FALSE(frame->isHidden());
    EXPECT_TRUE(frame->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(frame->geometry().contains(chip(5, 0)->geometry()));
    EXPECT_TRUE(frame->geometry().contains(chip(5, 8)->geometry()));
    keys->placeSelected();
    EXPECT_TRUE(hints->highlighted().isEmpty());
    game->invalid("1+"); // the selection stays, and so does the hint
    EXPECT_EQ(hints->highlighted(), QList<int>({5}));
}

TEST_F(MoveHintsTest, ARefusalsStatusLastsUntilTheNextOwnRoll) {
    login(1);
    game->getnextplayer("1+");
    game->rolldice(args(cmd::rolldice_(1, true, {0, 1, 2, 3})));
    keys->placeSelected();
    EXPECT_EQ(status(), "You must select two die");
    game->rolldice(args(cmd::rolldice_(1, true, {0, 1, 2, 3})));
    EXPECT_EQ(status(), "Your Turn.");
    // A roll that fits nothing says so, refusal or not.
    game->invalid("1+");
    game->rolldice(args(cmd::rolldice_(1, false, {0, 0, 0, 0})));
    EXPECT_EQ(status(), "No Moves.. Turn Over");
    // Another seat's roll leaves the own status alone.
    model->setStatus("Invalid Play");
    game->rolldice(args(cmd::rolldice_(2, true, {0, 1, 2, 3})));
    EXPECT_EQ(status(), "Invalid Play");
}

TEST_F(MoveHintsTest, DiceAndColumnsAreNamedFromTheModel) {
    myRoll({1, 4, 0, 5}, {{7, 4, 1, 0}, {7, 6, 10, 0}, {7, 3, 2, 0}, {12, 2, 2, 0}});
    keys->selectDie(1);
    EXPECT_EQ(nameOf(pic("dice_1")), "die 2 showing 5, selected");
    EXPECT_EQ(nameOf(pic("dice_0")), "die 1 showing 2");
    EXPECT_EQ(nameOf(chip(7, 0)), "column 7, your chip at 4, marker at 6, Bo's chip at 3");
    EXPECT_EQ(nameOf(chip(7, 9)), nameOf(chip(7, 0)));
    EXPECT_EQ(nameOf(chip(12, 0)), "column 12, completed by Bo");
    EXPECT_EQ(nameOf(chip(3, 0)), "column 3, empty");

    keys->selectDie(0); // faces 2 and 5 fit column 7
    EXPECT_EQ(nameOf(chip(7, 0)),
              "column 7, your chip at 4, marker at 6, Bo's chip at 3, the selected dice fit here");
    // A placement's answer sends the dice home.
    keys->placeSelected();
    game->placechip(
        args(cmd::placechipResult_(1, {PlaceItem{PlaceItem::Kind::Uncovered, {7, 6, 0, 0}, 0},
                                       PlaceItem{PlaceItem::Kind::Marker, {7, 7, 10, 0}, 0},
                                       PlaceItem{PlaceItem::Kind::DieUsed, {}, 0},
                                       PlaceItem{PlaceItem::Kind::DieUsed, {}, 1}})));
    EXPECT_EQ(nameOf(pic("dice_0")), "die 1, not in play");
    EXPECT_EQ(nameOf(chip(7, 2)), "column 7, your chip at 4, marker at 7, Bo's chip at 3");
    // The picture buttons and the status have names too.
    EXPECT_EQ(nameOf(view->board().rollButton()), "Roll Dice");
    EXPECT_EQ(nameOf(view->board().endButton()), "End Turn");
    EXPECT_EQ(nameOf(view->board().status()), status());
}
