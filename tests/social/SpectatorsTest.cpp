#include "ChatTestSupport.h"
#include "support/FakeClientServices.h"

#include "client/TableModel.h"
#include "protocol/EConvertError.h"
#include "social/Spectators.h"
#include "social/Tspylist.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <gtest/gtest.h>

namespace {

class SpectatorsTest : public ::testing::Test {
protected:
    // Seat 3 is empty: its name shows "<Waiting>".
    SpectatorsTest() {
        model.seatArrived(1, "You");
        model.seatArrived(2, "Klot");
        model.seatArrived(4, "Di");
        spectators =
            std::make_unique<Spectators>(services.m_state, services, services, services, model);
        justWatch.setCheckable(true);
        spectators->bindJustWatch(&justWatch);
        login(1, true);
    }
    void login(int seat, bool host) {
        services.m_state.loggedIn = true;
        services.m_state.host = host;
        model.setOwnSeat(seat);
    }
    void openSeatMenu(int seat, bool onName) {
        spectators->openSeatMenu(seat, onName, QPoint(0, 0));
        spectators->seatMenu()->hide();
    }
    QList<bool> enabled() {
        return {spectators->removeItem()->isEnabled(), spectators->setWatchItem()->isEnabled(),
                spectators->unsetWatchItem()->isEnabled()};
    }

    TableModel model;
    FakeClientServices services;
    std::unique_ptr<Spectators> spectators;
    QAction justWatch{"Just Watch"};
};

TEST_F(SpectatorsTest, JustWatchAsksTheHostAndTicksOnlyOnItsAnswer) {
    login(4, false);
    justWatch.trigger();
    EXPECT_EQ(services.sent, QByteArrayList{"CMD_justwatch+4+1"});
    EXPECT_FALSE(justWatch.isChecked()) << "the tick waits for CMD_justwatching";

    spectators->justwatching("4+1");
    EXPECT_TRUE(services.justWatchTicked);
    EXPECT_EQ(services.lines, QStringList{"Di is just watching"});
    EXPECT_TRUE(model.seat(4).watching) << "the seat shows its eyes";

    justWatch.setChecked(true); // as the main window does for the tick
    justWatch.trigger();
    EXPECT_EQ(services.sent.last(), "CMD_justwatch+4+2");
    spectators->justwatching("4+2");
    EXPECT_FALSE(services.justWatchTicked);
    EXPECT_EQ(services.lines.last(), "Di is now playing again");
    EXPECT_FALSE(model.seat(4).watching);
}

TEST_F(SpectatorsTest, LinesCarryWhateverTheNameLabelShows) {
    spectators->justwatching("2+1");
    spectators->justwatching("3+1");
    EXPECT_EQ(services.lines, (QStringList{"Klot is just watching", "<Waiting> is just watching"}));
    EXPECT_FALSE(services.justWatchTicked) << "not the own seat";
    EXPECT_TRUE(model.seat(2).watching);
}

TEST_F(SpectatorsTest, SpectatorSeatsChangeNothing) {
    login(7, false);
    justWatch.trigger();
    EXPECT_TRUE(services.sent.isEmpty());
    spectators->justwatching("7+1");
    spectators->justwatching("0+1");
    EXPECT_TRUE(services.lines.isEmpty());
    EXPECT_THROW(spectators->justwatching("x+1"), EConvertError);
}

TEST_F(SpectatorsTest, SeatMenuIsTheHostsAndSkipsRemovingAnEmptySeat) {
    openSeatMenu(2, true);
    EXPECT_EQ(enabled(), (QList<bool>{true, true, true}));
    EXPECT_EQ(spectators->menuSeat(), 2);
    openSeatMenu(3, true);
    EXPECT_EQ(enabled(), (QList<bool>{false, true, true}));

    openSeatMenu(4, false);
    spectators->removeItem()->trigger();
    spectators->setWatchItem()->trigger();
    spectators->unsetWatchItem()->trigger();
    EXPECT_EQ(services.sent,
              (QByteArrayList{"CMD_kickhim+1+4+", "CMD_justwatch+4+1", "CMD_justwatch+4+2"}));

    // The score label of an empty seat says "0", so removal stays possible there.
    openSeatMenu(3, false);
    EXPECT_EQ(enabled(), (QList<bool>{true, true, true}));

    login(2, false);
    openSeatMenu(1, true);
    EXPECT_EQ(enabled(), (QList<bool>{false, false, false}));
    services.sent.clear();
    spectators->kicking(1);
    EXPECT_TRUE(services.sent.isEmpty()) << "only the host removes";
}

TEST_F(SpectatorsTest, SeatMenuOffersRemovalAndBothMarks) {
    QStringList captions;
    for (QAction* item : spectators->seatMenu()->actions())
        captions << item->text();
    EXPECT_EQ(captions, (QStringList{"Remove From Game", "Set to Just Watch", "Unset Just Watch"}));
}

class SpyListTest : public SpectatorsTest {
protected:
    SpyListTest() {
        model.seatArrived(5, "Bo"); // before the window exists
        spectators->attachSpyList(&spylist);
        model.seatArrived(6, "Cy");
        model.seatArrived(7, "Di");
        spylist.show();
    }
    // The pointer moves over line `row`.
    void pointAt(int row) {
        const QRect rect = spylist.list()->visualItemRect(spylist.list()->item(row));
        spylist.listbox_spysMouseMove(rect.center());
    }
    Tspylist spylist;
};

TEST_F(SpyListTest, WindowIsTheSmallAlwaysOnTopList) {
    EXPECT_EQ(spylist.windowTitle(), "Climora - Spys");
    EXPECT_EQ(spylist.size(), QSize(162, 168));
    EXPECT_TRUE(spylist.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(spylist.spies(), (QStringList{"5: Bo", "6: Cy", "7: Di"}));
    EXPECT_EQ(spylist.list()->objectName(), "listbox_spys");
    spylist.button_doneClick();
    EXPECT_FALSE(spylist.isVisible());
    EXPECT_EQ(spylist.spies().size(), 3) << "the lines stay while hidden";
}

TEST_F(SpyListTest, RemovalTakesTheLineUnderThePointerNotTheSelection) {
    spylist.list()->setCurrentRow(0);
    pointAt(2);
    EXPECT_EQ(spylist.pointerIndex(), 2);
    spylist.removeItem()->trigger();
    EXPECT_EQ(services.sent, QByteArrayList{"CMD_kickhim+1+7+"});

    spylist.listbox_spysMouseMove(QPoint(5, spylist.list()->viewport()->height() - 2));
    EXPECT_EQ(spylist.pointerIndex(), -1);
    spylist.popup_kickhimClick();
    EXPECT_EQ(services.sent.size(), 1);

    model.seatLeft(6);
    EXPECT_EQ(spectators->spies(), (QStringList{"5: Bo", "7: Di"}));
    model.seatLeft(6);
    EXPECT_EQ(spectators->spies().size(), 2);
    spylist.addSpy("Bo: 5");
    pointAt(2);
    spylist.popup_kickhimClick();
    EXPECT_EQ(services.sent.size(), 1) << "a line without a seat number is ignored";
}

TEST_F(SpyListTest, RemoveItemIsEnabledOnlyForTheHost) {
    Tspylist fresh;
    EXPECT_FALSE(fresh.removeItem()->isEnabled());
    EXPECT_TRUE(spylist.removeItem()->isEnabled());
    login(3, false);
    emit spylist.menu()->aboutToShow();
    EXPECT_FALSE(spylist.removeItem()->isEnabled());
}

} // namespace
