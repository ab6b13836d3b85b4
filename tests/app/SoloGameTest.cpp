#include "AppFixture.h"

#include "client/BoardView.h"
#include "client/GameView.h"
#include "client/Picture.h"
#include "client/TableModel.h"
#include "client/Tgamestart.h"
#include "client/TurnButton.h"
#include "server/TServer.h"
#include "tally/TStringGrid.h"
#include "tally/Ttallylist.h"

#include <QLabel>
#include <QTest>

namespace {
// With CLIMORA_SHOTS naming a folder, the game is photographed there (the
// pictures of the README are taken this way).
void photograph(QWidget& window, const char* name) {
    const QString folder = qEnvironmentVariable("CLIMORA_SHOTS");
    if (!folder.isEmpty())
        window.grab().save(folder + "/" + name);
}

void clickAt(QWidget* widget, QPoint pos) {
    QTest::mousePress(widget, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
}
} // namespace

// The real server and the real client in one process over loopback: the
// player starts a game and plays it with the mouse against the computer
// player until somebody has won, and the game is counted in the tally.
TEST_F(AppFixture, ASoloGameAgainstTheComputerIsPlayedToAWinnerByClicks) {
    Program& p = start({});
    Tchat& chat = p.chat();
    ASSERT_TRUE(
        waitUntil([&] { return chat.state().loggedIn && chat.game()->model().ownSeat() == 1; }));
    spin(20); // the own arrival loads the settings
    chat.setBotSpeed(15);
    p.windows().server->setPauseTickMs(15);
    BoardView& board = chat.game()->board();

    clickAt(board.startButton(), {80, 80});
    ASSERT_TRUE(p.windows().gamestart->isVisible());
    auto* start = p.windows().gamestart->findChild<QWidget*>("button_start");
    ASSERT_NE(start, nullptr);
    QTest::mouseClick(start, Qt::LeftButton);

    auto won = [&] { return board.winnerPanel()->isVisibleTo(chat.boardPanel()); };
    // The own turn, and no placement waiting for the server's answer.
    auto myTurn = [&] { return chat.game()->model().inputAccepted(); };
    int turns = 0;
    int placements = 0;
    int lostRolls = 0;
    while (!won()) {
        ASSERT_TRUE(
            waitUntil([&] { return won() || board.rollButton()->isVisibleTo(&chat); }, 20000));
        if (won())
            break;
        ++turns;
        // After a refused end the dice of the last roll are still shown;
        // mark them used so the wait below sees the new roll arrive.
        for (int die = 0; die < 4; ++die)
            board.die(die).setValue(10);
        clickAt(board.rollButton(), {80, 80});
        ASSERT_TRUE(waitUntil([&] { return !myTurn() || won() || board.die(0).value() != 10; }));
        if (!myTurn() || won() || board.status()->text() == "No Moves.. Turn Over") {
            ++lostRolls; // the roll fitted no column and the turn is lost
            ASSERT_TRUE(waitUntil([&] { return !myTurn() || won(); }));
            continue;
        }
        bool placed = false;
        for (int a = 0; a < 4 && !placed; ++a) {
            for (int b = a + 1; b < 4 && !placed; ++b) {
                if (board.die(a).value() == 10 || board.die(b).value() == 10)
                    continue; // a die already used by this roll's placement
                const int column = board.die(a).value() + board.die(b).value() + 2;
                QTest::mouseClick(&board.die(a), Qt::LeftButton);
                QTest::mouseClick(&board.die(b), Qt::LeftButton);
                QTest::mouseClick(&board.chip(column, 0), Qt::LeftButton);
                ASSERT_TRUE(
                    waitUntil([&] { return board.endButton()->isVisibleTo(&chat) || myTurn(); }));
                if (board.endButton()->isVisibleTo(&chat)) {
                    placed = true;
                    ++placements;
                } else {
                    EXPECT_EQ(board.status()->text(), "Invalid Play")
                        << a << b << " values " << board.die(a).value() << " "
                        << board.die(b).value();
                    QTest::mouseClick(&board.die(a), Qt::LeftButton);
                    QTest::mouseClick(&board.die(b), Qt::LeftButton);
                }
            }
        }
        ASSERT_TRUE(placed) << "a playable roll without a placement the server accepts";
        if (turns == 6)
            photograph(chat, "game.png");
        clickAt(board.endButton(), {20, 90});
        // A marker left on the computer's chip refuses the end: roll on.
        ASSERT_TRUE(waitUntil([&] {
            return !myTurn() || won() || board.rollButton()->isVisibleTo(&chat);
        })) << board.status()->text().toStdString();
        ASSERT_LT(turns, 400);
    }

    photograph(chat, "won.png");
    EXPECT_GT(placements, 0);
    EXPECT_EQ(board.status()->text(), "Game Over!");
    const QString text = board.winner1()->text();
    EXPECT_TRUE(text == "You have Won the Game!" || text == "Klot has Won the Game!")
        << text.toStdString();
    EXPECT_TRUE(board.startButton()->isVisibleTo(&chat));
    EXPECT_EQ(p.windows().tally->grid().cell(1, 0), "1");
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}
