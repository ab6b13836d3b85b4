// The whole program played from the keyboard: a solo game to a winner
// without a click, the chat input that keeps the keys while it has the focus,
// the File menu and Exit's question, and the board that grows with a
// maximised window.
#include "AppFixture.h"

#include "client/BoardView.h"
#include "client/ColumnHints.h"
#include "client/GameView.h"
#include "client/TableModel.h"
#include "client/Tgamestart.h"
#include "download/Tdownload.h"
#include "server/TServer.h"
#include "social/ChatInput.h"
#include "tally/TStringGrid.h"
#include "tally/Ttallylist.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

namespace {
class KeyboardPlayTest : public AppFixture {
protected:
    // The hosting program, logged in, its main window active and the keys
    // not held by the chat input.
    Tchat& ready() {
        Program& p = start({});
        Tchat& chat = p.chat();
        EXPECT_TRUE(waitUntil(
            [&] { return chat.state().loggedIn && chat.game()->model().ownSeat() == 1; }));
        spin(20); // the own arrival loads the settings
        chat.setBotSpeed(15);
        p.windows().server->setPauseTickMs(15);
        activate(chat);
        if (QApplication::focusWidget() == input(chat))
            QTest::keyClick(input(chat), Qt::Key_Escape);
        return chat;
    }
    static void activate(QWidget& window) {
        window.activateWindow();
        EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &window; }));
    }
    static ChatInput* input(Tchat& chat) { return chat.findChild<ChatInput*>("mychat"); }
    // A key as the keyboard sends it: to the widget with the focus.
    static void press(Tchat& chat, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : &chat, key, modifiers);
    }
    static Qt::Key dieKey(int die) { return Qt::Key(Qt::Key_1 + die); }
    // S opens the game start window, whose Enter starts a solo game; the keys
    // then go back to the main window by themselves.
    void startSolo(Tchat& chat) {
        press(chat, Qt::Key_S);
        Tgamestart* dialog = program->windows().gamestart;
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == dialog; }));
        QTest::keyClick(dialog, Qt::Key_Return);
        ASSERT_TRUE(waitUntil([&] { return chat.game()->gameRunning(); }));
        EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &chat; }));
    }
};
} // namespace

TEST_F(KeyboardPlayTest, ASoloGameIsPlayedToAWinnerByKeysAlone) {
    Tchat& chat = ready();
    TableModel& model = chat.game()->model();
    BoardView& board = chat.game()->board();

    ASSERT_NO_FATAL_FAILURE(startSolo(chat));

    auto won = [&] { return model.phase() == TableModel::Phase::Won; };
    int rolls = 0; // of the own dice
    QObject::connect(&model, &TableModel::rolled, &chat, [&](int seat) {
        if (model.isOwn(seat))
            ++rolls;
    });
    int turns = 0;
    int placements = 0;
    while (!won()) {
        ASSERT_TRUE(waitUntil([&] { return won() || model.rollOffered(); }, 20000));
        if (won())
            break;
        ++turns;
        const int before = rolls;
        press(chat, turns % 2 ? Qt::Key_R : Qt::Key_Space);
        ASSERT_TRUE(waitUntil([&] { return won() || rolls > before; }));
        const bool lost = !model.endOffered() && board.status()->text() == "No Moves.. Turn Over";
        if (won() || !model.inputAccepted() || lost) {
            ASSERT_TRUE(waitUntil([&] { return won() || !model.isOwn(model.turnSeat()); }));
            continue;
        }
        // The hints pick a pair the rules accept; the server must agree.
        bool placed = false;
        for (int a = 0; a < 4 && !placed; ++a) {
            for (int b = a + 1; b < 4 && !placed; ++b) {
                if (model.die(a).value == TableModel::noValue ||
                    model.die(b).value == TableModel::noValue)
                    continue;
                press(chat, dieKey(a));
                press(chat, dieKey(b));
                if (chat.hints()->highlighted().isEmpty()) {
                    press(chat, dieKey(a));
                    press(chat, dieKey(b));
                    continue;
                }
                press(chat, Qt::Key_Return);
                ASSERT_TRUE(waitUntil([&] { return model.inputAccepted() || won(); }));
                EXPECT_NE(board.status()->text(), "Invalid Play");
                placed = true;
                ++placements;
            }
        }
        if (won())
            break;
        ASSERT_TRUE(placed) << "a playable roll whose pairs the hints all refused";
        press(chat, Qt::Key_E);
        // A marker left on the computer's chip refuses the end: roll on.
        ASSERT_TRUE(waitUntil([&] { return !model.inputAccepted() || model.rollOffered(); }))
            << model.status().toStdString();
        ASSERT_LT(turns, 400);
    }

    EXPECT_GT(placements, 0);
    EXPECT_EQ(board.status()->text(), "Game Over!");
    EXPECT_EQ(program->windows().tally->grid().cell(1, 0), "1");
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(KeyboardPlayTest, TheChatInputKeepsTheKeysWhileItHasTheFocusAndEscapeLeavesIt) {
    Tchat& chat = ready();
    TableModel& model = chat.game()->model();
    ChatInput* line = input(chat);
    line->setFocus();
    ASSERT_TRUE(waitUntil([&] { return QApplication::focusWidget() == line; }));

    // "s" would start a game and Space roll: here they are typed.
    for (Qt::Key key : {Qt::Key_S, Qt::Key_Space, Qt::Key_1, Qt::Key_R})
        press(chat, key);
    EXPECT_EQ(line->text(), "s 1r");
    EXPECT_FALSE(program->windows().gamestart->isVisible());
    press(chat, Qt::Key_Return); // sends the line, places nothing
    EXPECT_TRUE(line->text().isEmpty());
    EXPECT_EQ(model.status(), "Welcome to Climora");

    press(chat, Qt::Key_Escape);
    EXPECT_NE(QApplication::focusWidget(), line);
    press(chat, Qt::Key_S);
    EXPECT_TRUE(program->windows().gamestart->isVisible());
    EXPECT_TRUE(line->text().isEmpty());

    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(line);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->text(QAccessible::Name), "Chat message");
}

TEST_F(KeyboardPlayTest, AltFOpensTheFileMenuAndCtrlQAsksBeforeEndingARunningGame) {
    Tchat& chat = ready();
    auto* file = chat.menuBar()->findChild<QMenu*>("File1");
    ASSERT_NE(file, nullptr);
    QTest::keyClick(&chat, Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(waitUntil([&] { return file->isVisible(); }));
    QTest::keyClick(file, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return !file->isVisible(); }));

    activate(chat);
    ASSERT_NO_FATAL_FAILURE(startSolo(chat));
    prompter.answer = false;
    press(chat, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(prompter.questions, QStringList({"A game is running. Exit anyway?"}));
    EXPECT_TRUE(chat.isVisible());

    prompter.answer = true;
    press(chat, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(prompter.questions.size(), 2);
    EXPECT_FALSE(chat.isVisible());
}

// Maximised on the test screen, the board panel touches two opposite edges
// of the window's client area and stays inside it.
TEST_F(KeyboardPlayTest, AMaximisedWindowsBoardFillsIt) {
    Tchat& chat = ready();
    QWidget* panel = chat.boardPanel();
    chat.showMaximized();
    ASSERT_TRUE(waitUntil([&] { return chat.isMaximized(); }));
    spin(20);
    const QSize area = chat.centralWidget()->size();
    EXPECT_TRUE(panel->width() >= area.width() - 4 || panel->height() >= area.height() - 4)
        << area.width() << "x" << area.height();
    EXPECT_TRUE(chat.centralWidget()->rect().contains(panel->geometry()));
}

// The game's keys belong to the main window: in another window Enter and
// Space press that window's buttons, as everywhere on the desktop.
TEST_F(KeyboardPlayTest, EnterAndSpaceInTheDownloadOfferPressItsButtons) {
    Program& p = start({});
    ASSERT_TRUE(waitUntil([&] { return p.chat().state().loggedIn; }));
    Tdownload* offer = p.windows().download;
    ASSERT_TRUE(waitUntil([&] { return offer->isVisible(); }));
    activate(*offer);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return !offer->isVisible(); })) << "Enter left the offer open";

    // The same keys in the main window play again.
    Tchat& chat = p.chat();
    activate(chat);
    if (QApplication::focusWidget() == input(chat))
        QTest::keyClick(input(chat), Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S);
    EXPECT_TRUE(waitUntil([&] { return p.windows().gamestart->isVisible(); }));
}
