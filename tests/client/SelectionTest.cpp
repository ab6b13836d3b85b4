// The player's mouse: dice, columns and the three turn buttons. Clicks go
// through the real controls (QTest), so the masks of the half-square buttons
// and the wiring of every chip place are part of what is tested.
#include "ViewFixture.h"

#include <QTest>

namespace {
class SelectionTest : public ViewFixture {
protected:
    void SetUp() override {
        ViewFixture::SetUp();
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }

    // The own turn with a roll of the given faces (values 0 to 5).
    void myRoll(int seat, const std::array<int, 4>& values) {
        login(seat);
        game->getnextplayer(QByteArray::number(seat) + "+");
        game->rolldice(args(cmd::rolldice_(seat, true, values)));
        services.sounds.clear();
    }
    void click(QWidget* widget, QPoint pos = QPoint(10, 10)) {
        QTest::mouseClick(widget, Qt::LeftButton, {}, pos);
    }
    void clickDie(int die) { click(pic(QString("dice_%1").arg(die))); }
    Selection& selection() { return view->selection(); }
};
} // namespace

TEST_F(SelectionTest, ColumnOfTheSelectedDiceSendsThePlacementAndBlocksInput) {
    myRoll(1, {2, 4, 0, 0}); // three and five pips
    clickDie(1);
    clickDie(0);
    EXPECT_EQ(services.sounds, QStringList({"clickdice", "clickdice"}));
    EXPECT_EQ(pic("dice_1")->y(), 420);

    // Column 7 does not match: nothing at all happens.
    click(chip(7, 5));
    EXPECT_TRUE(services.sent.isEmpty());
    EXPECT_EQ(services.sounds.size(), 2);

    // Any place of column 8 counts, empty or not.
    click(chip(8, 9));
    EXPECT_EQ(services.sent, QByteArrayList({"CMD_placechip+1+8+1+0+"}));
    EXPECT_FALSE(model->inputAccepted());

    // Until the server answers, dice and columns do nothing.
    clickDie(2);
    click(chip(8, 0));
    EXPECT_EQ(services.sent.size(), 1);
    EXPECT_EQ(selection().slotA(), 1);
    EXPECT_EQ(pic("dice_2")->y(), 439);

    // A refusal gives the turn back with the selection kept.
    game->invalid("1+");
    click(chip(8, 0));
    EXPECT_EQ(services.sent.size(), 2);
}

TEST_F(SelectionTest, DiceSelectAndUnselectThroughTheTwoSlots) {
    myRoll(2, {0, 1, 2, 3});
    clickDie(2);
    clickDie(3);
    clickDie(0);
    EXPECT_EQ(status(), "You have already selected 2 die");
    EXPECT_EQ(services.sounds.last(), "invalid");

    clickDie(2);
    EXPECT_EQ(services.sounds.last(), "unset");
    EXPECT_EQ(pic("dice_2")->y(), 439);
    EXPECT_EQ(selection().slotA(), Selection::empty);
    EXPECT_EQ(selection().slotB(), 3);

    clickDie(0); // fills the first empty slot
    EXPECT_EQ(selection().slotA(), 0);
    EXPECT_EQ(pic("dice_0")->y(), 420);

    clickDie(3);
    click(chip(5, 0));
    EXPECT_EQ(status(), "You must select two die");
    EXPECT_TRUE(services.sent.isEmpty());
}

TEST_F(SelectionTest, UsedDieCannotBeSelected) {
    myRoll(1, {0, 1, 2, 3});
    game->placechip("1+p+3+0+10+d+0+0+0+d+1+0+0");
    clickDie(0);
    EXPECT_EQ(status(), "You cannot select that dice");
    EXPECT_EQ(selection().slotA(), Selection::empty);
}

TEST_F(SelectionTest, NobodyElsesTurnTakesClicks) {
    login(6); // a spectator
    model->beginTurn(2);
    game->rolldice(args(cmd::rolldice_(2, true, {0, 1, 2, 3})));
    clickDie(0);
    clickDie(1);
    click(chip(3, 0));
    EXPECT_EQ(selection().slotA(), Selection::empty);
    EXPECT_EQ(pic("dice_0")->y(), 439);
    EXPECT_TRUE(services.sent.isEmpty());

    // Before login the own seat and the turn seat are both 0: still no input.
    services.m_state = ClientState();
    clickDie(0);
    EXPECT_EQ(status(), "Welcome to Climora");
}

struct HalfCase {
    const char* button;
    QPoint pos;
    bool acts;
};

void PrintTo(const HalfCase& c, std::ostream* out) {
    *out << c.button << " at " << c.pos.x() << "," << c.pos.y();
}

class TurnButtonHalfTest : public SelectionTest, public ::testing::WithParamInterface<HalfCase> {};

// Only the drawn half of a button acts, exactly up to its diagonal.
TEST_P(TurnButtonHalfTest, ReleaseActsOnlyOnTheActiveHalf) {
    const HalfCase& c = GetParam();
    login(1);
    game->getnextplayer("1+");
    game->placechip("1+p+4+0+10"); // shows both buttons
    services.sent.clear();
    TurnButton* button = panel->findChild<TurnButton*>(c.button);
    ASSERT_NE(button, nullptr);

    QTest::mouseRelease(button, Qt::LeftButton, {}, c.pos);

    const QByteArray expected =
        QByteArray(c.button) == "button_roll" ? "CMD_rollthedice+1+" : "CMD_endturn+1+p+";
    EXPECT_EQ(services.sent, c.acts ? QByteArrayList({expected}) : QByteArrayList());
    EXPECT_EQ(view->board().rollButton()->isHidden(), c.acts);
    EXPECT_EQ(view->board().endButton()->isHidden(), c.acts);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, TurnButtonHalfTest,
                         ::testing::Values(HalfCase{"button_end", {50, 47}, true},
                                           HalfCase{"button_end", {50, 46}, false},
                                           HalfCase{"button_end", {0, 102}, true},
                                           HalfCase{"button_roll", {40, 59}, false},
                                           HalfCase{"button_roll", {41, 59}, true},
                                           HalfCase{"button_roll", {102, 102}, true}));

TEST_F(SelectionTest, RollWhenItIsNotTheOwnTurnOnlyHidesTheButtons) {
    login(1);
    game->getnextplayer("3+");
    view->board().rollButton()->show();
    view->board().endButton()->show();
    QTest::mouseRelease(view->board().rollButton(), Qt::RightButton, {}, QPoint(80, 80));
    EXPECT_TRUE(view->board().rollButton()->isHidden());
    EXPECT_TRUE(view->board().endButton()->isHidden());
    EXPECT_TRUE(services.sent.isEmpty());
}

TEST_F(SelectionTest, StartGameNeedsTheLogin) {
    TurnButton* start = view->board().startButton();
    QTest::mouseRelease(start, Qt::LeftButton, {}, QPoint(80, 80));
    view->StartGame1Click();
    EXPECT_EQ(services.prompts.messages,
              QStringList({"You are not connected", "You are not connected"}));
    EXPECT_EQ(services.gameStartShown, 0);

    login(1);
    QTest::mouseRelease(start, Qt::LeftButton, {}, QPoint(40, 40)); // the inactive half
    EXPECT_EQ(services.gameStartShown, 0);
    QTest::mouseRelease(start, Qt::LeftButton, {}, QPoint(60, 40));
    view->StartGame1Click();
    EXPECT_EQ(services.gameStartShown, 2);
}

// The model, not the button's visibility, guards against a second roll or
// end: a button shown again before the server answers sends nothing more.
TEST_F(SelectionTest, SecondPressBeforeTheAnswerSendsNothing) {
    login(1);
    game->getnextplayer("1+");
    TurnButton* roll = view->board().rollButton();
    QTest::mouseRelease(roll, Qt::LeftButton, {}, QPoint(80, 80));
    roll->show();
    QTest::mouseRelease(roll, Qt::LeftButton, {}, QPoint(80, 80));
    EXPECT_EQ(services.sent, QByteArrayList({"CMD_rollthedice+1+"}));

    game->rolldice(args(cmd::rolldice_(1, true, {0, 1, 2, 3})));
    game->placechip("1+p+3+0+10+d+0+0+0+d+1+0+0");
    TurnButton* end = view->board().endButton();
    ASSERT_FALSE(end->isHidden());
    QTest::mouseRelease(end, Qt::LeftButton, {}, QPoint(10, 90));
    end->show();
    QTest::mouseRelease(end, Qt::LeftButton, {}, QPoint(10, 90));
    EXPECT_EQ(services.sent.last(), "CMD_endturn+1+p+");
    EXPECT_EQ(services.sent.size(), 2);

    // Refused: only the roll comes back.
    game->useall("1+");
    EXPECT_FALSE(view->board().rollButton()->isHidden());
    EXPECT_TRUE(end->isHidden());
}

// While a second placement waits for its answer the turn buttons stay up; a
// press on one then takes both down and sends nothing, and the answer brings
// them back.
TEST_F(SelectionTest, TurnButtonsStayUpWhileAPlacementWaitsAndAPressThenSendsNothing) {
    myRoll(1, {2, 4, 0, 1});
    clickDie(0);
    clickDie(1);
    click(chip(8, 0));
    game->placechip("1+p+8+0+10+d+0+0+0+d+1+0+0");
    TurnButton* roll = view->board().rollButton();
    TurnButton* end = view->board().endButton();
    ASSERT_FALSE(roll->isHidden());

    clickDie(2);
    clickDie(3);
    click(chip(3, 0));
    EXPECT_EQ(services.sent.last(), "CMD_placechip+1+3+2+3+");
    EXPECT_FALSE(roll->isHidden()) << "no flicker while the answer travels";
    EXPECT_FALSE(end->isHidden());
    const qsizetype sent = services.sent.size();
    QTest::mouseRelease(roll, Qt::LeftButton, {}, QPoint(80, 80));
    EXPECT_EQ(services.sent.size(), sent);
    EXPECT_TRUE(roll->isHidden());
    EXPECT_TRUE(end->isHidden());

    game->placechip("1+p+3+0+10+d+2+0+0+d+3+0+0");
    EXPECT_FALSE(roll->isHidden());
    EXPECT_FALSE(end->isHidden());
}
