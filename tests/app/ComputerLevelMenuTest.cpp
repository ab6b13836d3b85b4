#include "AppFixture.h"

#include "client/Tgamestart.h"
#include "server/TServer.h"
#include "social/ChatDisplay.h"
#include "social/ChatView.h"

#include <QAction>
#include <QFile>
#include <QLabel>

namespace {

QString chatText(Program& p) {
    p.chat().chat()->SelectAll1Click();
    return p.chat().chat()->view()->selectedText().replace("\r\n", " ").simplified();
}

QString gameStartLabel(Program& p) {
    auto* label = p.windows().gamestart->findChild<QLabel*>("label_computer");
    return label ? label->text() : QString();
}

} // namespace

// The host picks "Strong" under Options > "Computer Player": the choice is
// written to the settings file, shown in the game start dialog, played by the
// host's own server in the next game (whose chat names it), and read back at
// the next start.
TEST_F(AppFixture, TheChosenComputerPlayerIsKeptAndPlaysTheHostsNextGame) {
    {
        Program& p = start({});
        ASSERT_TRUE(waitUntil([&] { return p.chat().state().loggedIn; }));
        spin(20); // the own arrival loads the settings
        EXPECT_TRUE(p.chat().action("ComputerClassic1")->isChecked());
        EXPECT_EQ(gameStartLabel(p), "Computer Player: Classic");

        p.chat().action("ComputerStrong1")->trigger();
        EXPECT_FALSE(p.chat().action("ComputerClassic1")->isChecked());
        EXPECT_EQ(gameStartLabel(p), "Computer Player: Strong");
        QFile ini(folder.filePath("orvanelobby.ini"));
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        EXPECT_TRUE(ini.readAll().contains("Computerlevel=strong"));

        p.windows().gamestart->button_startClick();
        ASSERT_TRUE(waitUntil([&] { return chatText(p).contains("Klot plays Strong."); }));
        EXPECT_EQ(p.windows().server->computerLevel(), BotLevel::Strong);
        program.reset();
    }
    Program& p = start({});
    ASSERT_TRUE(waitUntil([&] { return p.chat().state().loggedIn; }));
    spin(20);
    EXPECT_TRUE(p.chat().action("ComputerStrong1")->isChecked());
    EXPECT_EQ(p.chat().computerLevel(), BotLevel::Strong);
    EXPECT_EQ(gameStartLabel(p), "Computer Player: Strong");
}
