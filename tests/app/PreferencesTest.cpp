#include "AppFixture.h"

#include "client/TurnAlert.h"
#include "social/ChatDisplay.h"

#include <QAction>
#include <QFile>

// Preferences chosen in the window are written at once and read back at the
// next login, so they survive a restart; other programs' sections in the
// shared file are left alone.
TEST_F(AppFixture, PreferencesChosenInTheWindowSurviveARestart) {
    QFile shared(folder.filePath("orvanelobby.ini"));
    ASSERT_TRUE(shared.open(QIODevice::WriteOnly));
    shared.write("[Lobby]\r\nServer=example\r\n");
    shared.close();

    {
        Program& p = start({});
        ASSERT_TRUE(waitUntil([&] { return p.chat().state().loggedIn; }));
        spin(20);
        p.chat().action("Slow1")->trigger();
        p.chat().action("N121")->trigger();
        p.chat().action("New1")->trigger();
        p.chat().action("PlaySounds1")->trigger();       // off
        p.chat().action("TurnAlertTaskbar1")->trigger(); // off
        program.reset();
    }
    Program& p = start({});
    ASSERT_TRUE(waitUntil([&] { return p.chat().state().loggedIn; }));
    spin(20);
    EXPECT_EQ(p.chat().botSpeedMs(), 1000);
    EXPECT_TRUE(p.chat().action("Slow1")->isChecked());
    EXPECT_EQ(p.chat().chat()->textSize(), 12);
    EXPECT_TRUE(p.chat().action("N121")->isChecked());
    EXPECT_TRUE(p.chat().turnSoundNew());
    EXPECT_FALSE(p.chat().action("PlaySounds1")->isChecked());
    EXPECT_FALSE(p.chat().action("TurnAlertTaskbar1")->isChecked());
    EXPECT_FALSE(p.chat().turnAlert()->flashOn());
    EXPECT_TRUE(p.chat().action("TurnAlertNotify1")->isChecked());
    EXPECT_TRUE(p.chat().turnAlert()->notifyOn());

    ASSERT_TRUE(shared.open(QIODevice::ReadOnly));
    EXPECT_TRUE(shared.readAll().startsWith("[Lobby]\r\nServer=example\r\n"));
}

// Before any saved Bot Speed the computer players run at Fast after login,
// although the menu shows Normal until then.
TEST_F(AppFixture, WithoutASavedBotSpeedTheComputerRunsFastAfterLogin) {
    Program& p = start({});
    EXPECT_EQ(p.chat().botSpeedMs(), 750);
    ASSERT_TRUE(waitUntil([&] { return p.chat().state().loggedIn; }));
    spin(20);
    EXPECT_EQ(p.chat().botSpeedMs(), 400);
    EXPECT_TRUE(p.chat().action("Fast1")->isChecked());
}
