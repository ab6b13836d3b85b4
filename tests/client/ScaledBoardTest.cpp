// The board panel scaled up with the window: every control keeps its place
// relative to the others, clicks land on what is drawn, and the way back to
// scale 1 puts everything exactly where it was.
#include "ViewFixture.h"

#include "ui/PanelScaler.h"

#include <QTest>

namespace {
class ScaledBoardTest : public ViewFixture {
protected:
    void SetUp() override {
        // The panel inside a client area with a 2-pixel margin, as in the
        // main window.
        area = std::make_unique<QWidget>();
        area->resize(768, 530);
        ViewFixture::SetUp();
        panel->setParent(area.get());
        panel->setGeometry(2, 2, 764, 526);
        scaler = new PanelScaler(panel.get(), area.get());
        area->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(area.get()));
    }
    void TearDown() override {
        panel.reset(); // before the area that holds it
        area.reset();
    }
    void myTurn() {
        login(1);
        game->getnextplayer("1+");
        services.sounds.clear();
    }

    std::unique_ptr<QWidget> area;
    PanelScaler* scaler = nullptr;
};
} // namespace

TEST_F(ScaledBoardTest, TheFactorFitsTheAreaKeepingProportionsAndNeverShrinks) {
    struct Case {
        QSize area;
        double factor;
    };
    for (const Case& c : {Case{{768, 530}, 1.0}, Case{{1536, 1060}, 2.0}, Case{{1536, 795}, 1.5},
                          Case{{600, 400}, 1.0}}) {
        EXPECT_DOUBLE_EQ(PanelScaler::factorFor(c.area, {764, 526}, 2), c.factor)
            << c.area.width() << "x" << c.area.height();
    }
}

TEST_F(ScaledBoardTest, AtTwiceTheSizeEveryControlDoublesAndComesBackExactly) {
    const QRect chipAtOne = chip(7, 5)->geometry();
    const QRect boardAtOne = view->board().gameBoard()->geometry();
    const int statusPixels = label("label_status")->font().pixelSize();

    area->resize(1536, 1060);
    EXPECT_DOUBLE_EQ(scaler->factor(), 2.0);
    EXPECT_EQ(panel->geometry(), QRect(4, 4, 1528, 1052)) << "centred, margin scaled too";
    EXPECT_EQ(chip(7, 5)->geometry(), QRect(chipAtOne.topLeft() * 2, chipAtOne.size() * 2));
    EXPECT_EQ(view->board().gameBoard()->geometry(),
              QRect(boardAtOne.topLeft() * 2, boardAtOne.size() * 2));
    // The font doubles, or comes a step or two smaller where its text would
    // otherwise come out wider than twice its width at scale 1.
    EXPECT_LE(label("label_status")->font().pixelSize(), statusPixels * 2);
    EXPECT_GE(label("label_status")->font().pixelSize(), statusPixels * 2 - 2);

    area->resize(768, 530);
    EXPECT_EQ(panel->geometry(), QRect(2, 2, 764, 526));
    EXPECT_EQ(chip(7, 5)->geometry(), chipAtOne);
    EXPECT_EQ(label("label_status")->font().pixelSize(), statusPixels);
}

TEST_F(ScaledBoardTest, ControlsMovedWhileScaledLandOnTheScaledGrid) {
    area->resize(1536, 1060);
    myTurn();
    game->rolldice(args(cmd::rolldice_(1, true, {0, 1, 2, 3})));
    // The dice row and the raised die, in scale-1 pixels times two.
    EXPECT_EQ(pic("dice_2")->geometry(), QRect(QPoint(board::diceRowLeft(2), board::diceRowTop) * 2,
                                               QSize(board::dieWidth, board::dieHeight) * 2));
    QTest::mouseClick(pic("dice_2"), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(model->slotA(), 2);
    EXPECT_EQ(pic("dice_2")->pos(), QPoint(board::diceRowLeft(2), board::diceRaisedTop) * 2);

    // A cover peeks out 3 (scaled: 6) pixels below the marker it lies under.
    game->placechip(
        args(cmd::placechipResult_(1, {PlaceItem{PlaceItem::Kind::Covered, {7, 4, 10, 2}, 0},
                                       PlaceItem{PlaceItem::Kind::Marker, {7, 4, 10, 0}, 0}})));
    EXPECT_EQ(pic("image_cover7")->geometry(), chip(7, 4)->geometry().translated(6, 6));
    // The turn arrow, hidden until now, beside the seat to play.
    EXPECT_EQ(pic("image_Turn")->geometry().size(), QSize(26, board::rowHeight) * 2);
    EXPECT_EQ(pic("image_Turn")->y(), label("label_playername1")->y());
    EXPECT_EQ(scaler->baseGeometry(pic("image_cover7")).topLeft(),
              QPoint(board::chipLeft(7), board::chipTop(7, 4)) + QPoint(3, 3));
}

TEST_F(ScaledBoardTest, TheTurnButtonsActiveHalfScalesAndClicksLandOnWhatIsDrawn) {
    area->resize(1536, 1060);
    myTurn();
    TurnButton* roll = view->board().rollButton();
    ASSERT_EQ(roll->size(), QSize(206, 206));
    // x + y >= 100 at scale 1: (40, 59) is outside, (41, 59) inside.
    EXPECT_FALSE(roll->mask().contains(QPoint(80, 118)));
    EXPECT_TRUE(roll->mask().contains(QPoint(82, 118)));

    QTest::mouseClick(roll, Qt::LeftButton, {}, QPoint(60, 60));
    EXPECT_TRUE(services.sent.isEmpty()) << "the upper-left half is not the button";
    QTest::mouseClick(roll, Qt::LeftButton, {}, QPoint(160, 160));
    EXPECT_EQ(services.sent, QByteArrayList({"CMD_rollthedice+1+"}));

    // At a factor that is no whole number, a click on a column still places.
    area->resize(1200, 800);
    game->rolldice(args(cmd::rolldice_(1, true, {2, 4, 0, 0})));
    QTest::mouseClick(pic("dice_0"), Qt::LeftButton, {}, QPoint(30, 30));
    QTest::mouseClick(pic("dice_1"), Qt::LeftButton, {}, QPoint(30, 30));
    QTest::mouseClick(chip(8, 10), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(services.sent.last(), "CMD_placechip+1+8+0+1+");
}
