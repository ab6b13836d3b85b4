#include "AppFixture.h"

#include "client/GameLog.h"
#include "client/GameLogWindow.h"
#include "client/GameView.h"
#include "client/TableModel.h"

#include <QAction>
#include <QListView>

// The View menu's "Game Log" opens the log's window, which already shows
// what the client saw before it was opened: here the own arrival.
TEST_F(AppFixture, TheViewMenuOpensTheGameLogWithTheLinesSoFar) {
    Program& p = start({});
    Tchat& chat = p.chat();
    ASSERT_TRUE(
        waitUntil([&] { return chat.state().loggedIn && chat.game()->model().ownSeat() == 1; }));
    QAction* item = chat.action("GameLog1");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "Game Log");
    EXPECT_EQ(item->shortcut(), QKeySequence("Ctrl+L"));

    GameLogWindow* window = p.windows().gameLog;
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isVisible());
    item->trigger();
    EXPECT_TRUE(window->isVisible());
    // The own arrival comes with the seats after the login.
    const TableModel& model = chat.game()->model();
    EXPECT_TRUE(waitUntil([&] {
        return model.seat(1).present &&
               chat.gameLog()->lines().contains(model.seatName(1) + " joined");
    }));
    EXPECT_EQ(window->view()->model(), chat.gameLog());
}
