// The turn alert decides when a player away from the window hears of their
// turn: only their own turn played in person, only while the window is not
// the active one, and the notification goes once the turn moves on.
#include "client/TurnAlert.h"
#include "client/TableModel.h"
#include "ui/DesktopNotifier.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>

namespace {
class FakeNotifier : public DesktopNotifier {
public:
    void show(const QString& summary, const QString& body) override {
        ++shown;
        up = true;
        text = summary + "|" + body;
    }
    void withdraw() override {
        ++withdrawn;
        up = false;
    }
    void click() { clicked(); }

    int shown = 0;
    int withdrawn = 0;
    bool up = false;
    QString text;
};

class TurnAlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int seat = 1; seat <= 4; ++seat)
            model.seatArrived(seat, QString("P%1").arg(seat));
        model.setOwnSeat(1);
        model.startGame(false);
        alert.setFlasher([this](QWidget* w) {
            EXPECT_EQ(w, &window);
            ++flashes;
        });
    }
    msg::Rolldice roll(int seat) {
        msg::Rolldice r{seat, true, {}};
        for (int die = 0; die < 4; ++die)
            r.dice.append({die, die, true});
        return r;
    }

    TableModel model;
    QWidget window; // never shown: not the active window
    FakeNotifier notifier;
    TurnAlert alert{model, window, notifier};
    int flashes = 0;
};

TEST_F(TurnAlertTest, OwnTurnFlashesAndNotifiesOnceAndTheRollWithdrawsIt) {
    model.beginTurn(1);
    EXPECT_EQ(flashes, 1);
    EXPECT_EQ(notifier.shown, 1);
    EXPECT_TRUE(notifier.up);
    EXPECT_TRUE(notifier.text.contains("Climora"));

    // The dice are rolled: the turn is taken.
    model.applyRoll(roll(1));
    EXPECT_FALSE(notifier.up);
    EXPECT_EQ(notifier.withdrawn, 1);
    EXPECT_EQ(notifier.shown, 1);
    EXPECT_EQ(flashes, 1);
}

TEST_F(TurnAlertTest, NobodyButThePlayerInPersonIsAlerted) {
    const struct {
        const char* what;
        std::function<void(TableModel&)> arrange;
        int turnSeat;
    } cases[] = {
        {"another seat's turn", [](TableModel&) {}, 3},
        {"a spectator", [](TableModel& m) { m.setOwnSeat(6); }, 1},
        {"a watching seat", [](TableModel& m) { m.setWatching(1, true); }, 1},
        {"a computer-played seat",
         [](TableModel& m) {
             m.setOwnSeat(2);
             m.seatLeft(2);
         },
         2},
    };
    for (const auto& c : cases) {
        TableModel m;
        for (int seat = 1; seat <= 4; ++seat)
            m.seatArrived(seat, QString("P%1").arg(seat));
        m.setOwnSeat(1);
        m.startGame(false);
        FakeNotifier n;
        TurnAlert a(m, window, n);
        int flashed = 0;
        a.setFlasher([&](QWidget*) { ++flashed; });
        c.arrange(m);
        m.beginTurn(c.turnSeat);
        EXPECT_EQ(flashed, 0) << c.what;
        EXPECT_EQ(n.shown, 0) << c.what;
    }
}

TEST_F(TurnAlertTest, ActiveWindowGetsNoAlert) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    model.beginTurn(1);
    EXPECT_EQ(flashes, 0);
    EXPECT_EQ(notifier.shown, 0);
    model.applyRoll(roll(1));
    EXPECT_EQ(notifier.withdrawn, 0); // nothing was shown, nothing to take away
    window.hide();
}

TEST_F(TurnAlertTest, NotificationGoesWhenTheWindowIsActivatedOrTheTurnPasses) {
    model.beginTurn(1);
    ASSERT_TRUE(notifier.up);
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&window, &activate);
    EXPECT_FALSE(notifier.up);
    EXPECT_EQ(notifier.withdrawn, 1);

    // The next own turn alerts again; the turn passing without a roll (the
    // server moved on) withdraws it.
    model.applyEnd(msg::EndturnResult{1, {}, {}});
    model.beginTurn(1);
    EXPECT_EQ(notifier.shown, 2);
    EXPECT_EQ(flashes, 2);
    model.beginTurn(2);
    EXPECT_FALSE(notifier.up);
    EXPECT_EQ(notifier.withdrawn, 2);
}

TEST_F(TurnAlertTest, SwitchedOffItemsAreHonouredAndClickBringsTheWindowForward) {
    alert.setFlashOn(false);
    model.beginTurn(1);
    EXPECT_EQ(flashes, 0);
    EXPECT_EQ(notifier.shown, 1);
    // Notifications switched off during the turn take the one shown away.
    alert.setNotifyOn(false);
    EXPECT_FALSE(notifier.up);

    alert.setNotifyOn(true);
    alert.setFlashOn(true);
    model.beginTurn(2);
    model.beginTurn(1);
    EXPECT_EQ(flashes, 1);
    ASSERT_TRUE(notifier.up);
    notifier.click();
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QCoreApplication::processEvents();
    EXPECT_FALSE(notifier.up); // the activation took it away
    window.hide();
}
} // namespace
