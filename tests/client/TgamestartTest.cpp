// The host's game start dialog: the NO/YES switch and the start request.
#include "client/Tgamestart.h"

#include "client/EViewError.h"
#include "client/Picture.h"
#include "client/TableModel.h"
#include "support/FakeClientServices.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {
class TgamestartTest : public ::testing::Test {
protected:
    void SetUp() override { services.m_state.playerName = "You"; }
    Picture* box() { return dialog.findChild<Picture*>("box_useall"); }

    FakeClientServices services;
    TableModel model;
    Tgamestart dialog{services.m_state, model, services, services, nullptr, QPixmap()};
};
} // namespace

TEST_F(TgamestartTest, SwitchTogglesBetweenNoAndYes) {
    EXPECT_EQ(dialog.windowTitle(), "Climora - Game Start");
    EXPECT_EQ(dialog.size(), QSize(257, 154));
    EXPECT_EQ(dialog.optionValue(), 0);
    EXPECT_EQ(box()->image(), 0);
    dialog.show();
    QTest::mouseClick(box(), Qt::LeftButton);
    EXPECT_EQ(dialog.optionValue(), 1);
    EXPECT_EQ(box()->image(), 1);
    dialog.box_useallClick();
    EXPECT_EQ(dialog.optionValue(), 0);
    EXPECT_FALSE(box()->isBlank());
}

TEST_F(TgamestartTest, StartSendsNameAndOptionHidesAndSaves) {
    dialog.show();
    dialog.box_useallClick();
    QTest::mouseClick(dialog.findChild<Picture*>("button_start"), Qt::LeftButton);
    EXPECT_EQ(services.sent, QByteArrayList({"CMD_startgame+You+1+"}));
    EXPECT_TRUE(dialog.isHidden());
    EXPECT_EQ(services.settingsSaves, 1);

    dialog.box_useallClick();
    dialog.button_startClick();
    EXPECT_EQ(services.sent.last(), "CMD_startgame+You+0+");
}

// A stored value other than 0 or 1 has no picture and is sent as it is; the
// next click turns it off.
TEST_F(TgamestartTest, UnknownStoredValueShowsNothingAndTogglesToOff) {
    dialog.changebox("box_useall", 7);
    EXPECT_TRUE(box()->isBlank());
    dialog.button_startClick();
    EXPECT_EQ(services.sent.last(), "CMD_startgame+You+7+");
    dialog.box_useallClick();
    EXPECT_EQ(dialog.optionValue(), 0);
    EXPECT_THROW(dialog.changebox("box_nosuch", 1), EViewError);
}
