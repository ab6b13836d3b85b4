// The "Play with Others" window as a keyboard user and a hostile network
// see it: every control in reach of Tab, Enter starting what its field is
// for, garbage refused in words without starting anything, and the games
// found on the network shown as bounded plain text.
#include "client/PlayWithOthers.h"

#include "support/EventLoop.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class PlayWithOthersTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    template <typename T> T* control(const char* name) {
        T* widget = window.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* nameField() { return control<QLineEdit>("edit_playername"); }
    QComboBox* addressField() { return control<QComboBox>("edit_address"); }
    QListWidget* games() { return control<QListWidget>("list_games"); }
    QLabel* problem() { return control<QLabel>("label_problem"); }
    QString focused() {
        QWidget* widget = QApplication::focusWidget();
        // The address field's text box stands for its combo box.
        if (widget && widget->parentWidget() == addressField())
            widget = addressField();
        return widget ? widget->objectName() : QString("<none>");
    }
    void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

    PlayWithOthers window;
    QSignalSpy hosts{&window, &PlayWithOthers::hostRequested};
    QSignalSpy joins{&window, &PlayWithOthers::joinRequested};
};
} // namespace

TEST_F(PlayWithOthersTest, TabReachesEveryFieldAndButtonInReadingOrder) {
    window.showGames({{"Ann", "10.0.0.5", 1}});
    nameField()->setFocus();
    const QStringList order = {"edit_playername", "button_host", "list_games",
                               "edit_address",    "button_join", "button_close"};
    for (const QString& expected : order) {
        EXPECT_EQ(focused(), expected);
        press(Qt::Key_Tab);
    }
    EXPECT_EQ(focused(), "edit_playername") << "Tab comes round again";
}

TEST_F(PlayWithOthersTest, EnterInTheNameFieldHostsAsThatName) {
    nameField()->setFocus();
    QTest::keyClicks(nameField(), "  Ann  ");
    press(Qt::Key_Return);
    ASSERT_EQ(hosts.count(), 1);
    EXPECT_EQ(hosts.at(0).at(0).toString(), "Ann");
    EXPECT_EQ(joins.count(), 0);
}

TEST_F(PlayWithOthersTest, EnterInTheAddressFieldJoinsThatAddress) {
    window.setPlayerName("Bo");
    addressField()->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), "192.168.1.20:7772");
    press(Qt::Key_Enter);
    ASSERT_EQ(joins.count(), 1);
    EXPECT_EQ(joins.at(0).at(0).toString(), "Bo");
    EXPECT_EQ(joins.at(0).at(1).toString(), "192.168.1.20");
    EXPECT_EQ(hosts.count(), 0);
    EXPECT_EQ(addressField()->count(), 0) << "Enter adds nothing to the drop-down";
}

TEST_F(PlayWithOthersTest, EnterOrADoubleClickOnAListedGameJoinsIt) {
    window.setPlayerName("Bo");
    window.showGames({{"Ann", "10.0.0.5", 2}, {"Cy", "host.example", 1}});
    games()->setFocus();
    games()->setCurrentRow(1);
    press(Qt::Key_Return);
    ASSERT_EQ(joins.count(), 1);
    EXPECT_EQ(joins.at(0).at(1).toString(), "host.example");

    QListWidgetItem* first = games()->item(0);
    const QPoint centre = games()->visualItemRect(first).center();
    // A double click as the system delivers it: a click, then the second press.
    QTest::mouseClick(games()->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(games()->viewport(), Qt::LeftButton, {}, centre);
    ASSERT_EQ(joins.count(), 2);
    EXPECT_EQ(joins.at(1).at(1).toString(), "10.0.0.5");
}

TEST_F(PlayWithOthersTest, TheRecentHostsAreOfferedMostRecentFirst) {
    window.setRecentHosts({"b.example", "a.example"});
    EXPECT_EQ(window.recentHosts(), QStringList({"b.example", "a.example"}));
    EXPECT_EQ(addressField()->currentText(), "b.example");
}

// Nothing starts from garbage: the window says what is wrong and puts the
// cursor where it is.
TEST_F(PlayWithOthersTest, GarbageIsRefusedWithAMessageAndStartsNothing) {
    window.setPlayerName("Bo");
    const QStringList garbage = {
        "", "   ", "host name", "evil\x1b[2J", QString(300, 'a'), "10.0.0.300", "10.0.0.5:22"};
    for (const QString& typed : garbage) {
        problem()->hide();
        addressField()->setEditText(typed);
        window.joinClicked();
        EXPECT_TRUE(problem()->isVisible()) << typed.toStdString();
        EXPECT_FALSE(problem()->text().isEmpty()) << typed.toStdString();
        EXPECT_EQ(focused(), "edit_address");
    }
    EXPECT_EQ(joins.count(), 0);

    window.setPlayerName(" \t ");
    window.hostClicked();
    addressField()->setEditText("10.0.0.5");
    window.joinClicked();
    EXPECT_EQ(hosts.count() + joins.count(), 0) << "no name, no game";
    EXPECT_EQ(focused(), "edit_playername");

    // A good try clears the message.
    window.setPlayerName("Bo");
    window.joinClicked();
    EXPECT_EQ(joins.count(), 1);
    EXPECT_FALSE(problem()->isVisible());
}

// Names and addresses heard from the network are shown as plain text,
// shortened, with no control or direction characters, and at most fifty.
TEST_F(PlayWithOthersTest, GamesFromTheNetworkAreShownPlainAndBounded) {
    QList<PlayWithOthers::Game> found;
    found << PlayWithOthers::Game{"<b>Ann</b>\n\x1b[31mred" + QString(QChar(0x202E)) + "evil" +
                                      QString(5000, 'x'),
                                  "10.0.0.5", 3};
    for (int i = 0; i < 70; ++i)
        found << PlayWithOthers::Game{QString("Game %1").arg(i), "10.0.0.7", i};
    window.showGames(found);
    ASSERT_EQ(games()->count(), PlayWithOthers::maxGames);
    const QString first = games()->item(0)->text();
    EXPECT_TRUE(first.startsWith("<b>Ann</b> [31mred evil")) << first.toStdString();
    EXPECT_LE(first.size(), PlayWithOthers::maxShownName + 40);
    for (QChar c : first) {
        EXPECT_NE(c.category(), QChar::Other_Control);
        EXPECT_NE(c.category(), QChar::Other_Format);
    }
    EXPECT_EQ(control<QLabel>("label_games")->textFormat(), Qt::PlainText);
    EXPECT_TRUE(games()->item(1)->text().contains("0 players"));
}

TEST_F(PlayWithOthersTest, AListedGameWithAGarbageAddressIsNotJoined) {
    window.setPlayerName("Bo");
    window.showGames({{"Ann", "10.0.0.5; rm -rf /", 1}});
    window.gameActivated(games()->item(0));
    EXPECT_EQ(joins.count(), 0);
    EXPECT_TRUE(problem()->isVisible());
}

TEST_F(PlayWithOthersTest, WithoutDiscoveryTheListSaysSoAndJoiningByAddressStillWorks) {
    window.showGames({{"Ann", "10.0.0.5", 1}});
    window.setDiscovery(PlayWithOthers::Discovery::Unavailable);
    EXPECT_TRUE(control<QLabel>("label_games")->text().contains("cannot be found automatically"));
    EXPECT_EQ(games()->count(), 0);
    EXPECT_FALSE(games()->isVisible()) << "an empty list for ever is no help";
    window.setPlayerName("Bo");
    addressField()->setEditText("10.0.0.5");
    window.joinClicked();
    EXPECT_EQ(joins.count(), 1);
}

TEST(PlayWithOthersPlain, CutsLongTextWithoutSplittingACharacter) {
    const QString smiles = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(10); // 20 UTF-16 units
    const QString cut = PlayWithOthers::plain(smiles, 6);
    EXPECT_LE(cut.size(), 6);
    EXPECT_FALSE(cut.at(cut.size() - 2).isHighSurrogate());
    EXPECT_EQ(PlayWithOthers::plain("  a\t\tb  ", 10), "a b");
}
