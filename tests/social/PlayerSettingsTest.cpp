// The name for games with others and the hosts joined last, kept in the
// settings file beside the other preferences: written at once, read back
// across runs, and cleaned of whatever a hand-edited file holds.
#include "social/IniFile.h"
#include "social/Settings.h"
#include "social/SettingsTarget.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// These keys touch no window preference.
class NoTarget : public SettingsTarget {
public:
    int textSize() const override { return 8; }
    void setTextSize(int) override {}
    QString textColourText() const override { return "clBlack"; }
    bool setTextColourText(const QString&) override { return true; }
    int useAll() const override { return 0; }
    void setUseAll(int) override {}
    int botSpeed() const override { return 400; }
    void setBotSpeed(int) override {}
    int turnSound() const override { return 0; }
    void setTurnSound(int) override {}
    QString phrase(int) const override { return {}; }
    void setPhrase(int, const QString&) override {}
    bool playSounds() const override { return true; }
    void setPlaySounds(bool) override {}
    bool playerPhraseSounds() const override { return true; }
    void setPlayerPhraseSounds(bool) override {}
    QRect windowBounds() const override { return {3, 3, 772, 535}; }
    void setWindowBounds(const QRect&) override {}
    QRect workArea() const override { return {0, 0, 1920, 1080}; }
};

class PlayerSettings : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    QString path() const { return folder.filePath("orvanelobby.ini"); }

    QTemporaryDir folder;
    NoTarget target;
};
} // namespace

TEST_F(PlayerSettings, NameAndRecentHostsSurviveARestartBesideOtherSections) {
    IniFile(path()).writeString("Lobby", "Server", "keep me");
    {
        Settings settings(target, path());
        EXPECT_EQ(settings.playerName(), "");
        EXPECT_TRUE(settings.recentHosts().isEmpty());
        settings.savePlayerName("Ann");
        settings.saveRecentHosts({"b.example", "10.0.0.5"});
    }
    Settings again(target, path());
    EXPECT_EQ(again.playerName(), "Ann");
    EXPECT_EQ(again.recentHosts(), QStringList({"b.example", "10.0.0.5"}));
    EXPECT_EQ(IniFile(path()).readString("Lobby", "Server", ""), "keep me");
    EXPECT_EQ(IniFile(path()).readString("Climora", "RecentHost1", ""), "b.example");

    // A shorter list clears the keys it no longer fills.
    again.saveRecentHosts({"c.example"});
    EXPECT_EQ(again.recentHosts(), QStringList({"c.example"}));
    EXPECT_EQ(IniFile(path()).readString("Climora", "RecentHost2", "gone?"), "");
}

TEST_F(PlayerSettings, AHandEditedFileIsCleanedOnReading) {
    IniFile ini(path());
    ini.writeString("Climora", "PlayerName", QString(200, 'x'));
    const char* stored[] = {"a.example", "two words", "A.EXAMPLE", "10.0.0.999", "b.example"};
    for (int n = 1; n <= 5; ++n)
        ini.writeString("Climora", QString("RecentHost%1").arg(n), stored[n - 1]);
    ini.writeString("Climora", "RecentHost6", "f.example"); // beyond the five: never read
    Settings settings(target, path());
    EXPECT_EQ(settings.playerName(), "") << "an over-long name is not used";
    EXPECT_EQ(settings.recentHosts(), QStringList({"a.example", "b.example"}));
}

TEST_F(PlayerSettings, ANameWithALineBreakCannotAddAKeyToTheFile) {
    Settings settings(target, path());
    settings.savePlayerName("Ann\nTextsize=72");
    EXPECT_EQ(IniFile(path()).readInteger("Climora", "Textsize", -1), -1);
}
