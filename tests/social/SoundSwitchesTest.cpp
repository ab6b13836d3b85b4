#include "ChatTestSupport.h"
#include "support/FakeClientServices.h"

#include "client/TableModel.h"
#include "social/Sounds.h"

#include <QAction>
#include <gtest/gtest.h>

namespace {

class SoundSwitches : public ::testing::Test {
protected:
    SoundSwitches() : sounds(output, services, services, &model) {
        model.seatArrived(2, "Ann");
        playSounds.setCheckable(true);
        phraseSounds.setCheckable(true);
        sounds.bindMenu(&playSounds, &phraseSounds);
    }

    TableModel model;
    RecordingSoundOutput output;
    FakeClientServices services;
    Sounds sounds;
    QAction playSounds{"Play Sounds"};
    QAction phraseSounds{"Player Phrase Sounds"};
};

TEST_F(SoundSwitches, BothStartTickedAndEachToggleSaves) {
    EXPECT_TRUE(playSounds.isChecked());
    EXPECT_TRUE(phraseSounds.isChecked());
    playSounds.trigger();
    EXPECT_FALSE(sounds.playSounds());
    EXPECT_FALSE(playSounds.isChecked());
    phraseSounds.trigger();
    phraseSounds.trigger();
    EXPECT_TRUE(sounds.playerPhraseSounds());
    EXPECT_EQ(services.settingsSaves, 3);

    sounds.setPlaySounds(true);
    EXPECT_TRUE(playSounds.isChecked());
    EXPECT_EQ(services.settingsSaves, 3) << "the settings file's setters do not save";
}

TEST_F(SoundSwitches, ChatterPlaysEvenWhenGameSoundsAreOff) {
    sounds.setPlaySounds(false);
    sounds.playsounds("dice");
    sounds.playsounds("turn");
    sounds.playasound("3+wave4+");
    EXPECT_EQ(output.played, QStringList{"wave4"});
    sounds.setPlaySounds(true);
    sounds.playsounds("dice");
    EXPECT_EQ(output.played, (QStringList{"wave4", "dice"}));
    EXPECT_TRUE(services.lines.isEmpty());
}

TEST_F(SoundSwitches, ChatterIsAnnouncedWhenPhraseSoundsAreOff) {
    sounds.setPlayerPhraseSounds(false);
    sounds.playasound("2+wave13+");
    EXPECT_EQ(services.lines, QStringList{"Ann: <Chatter Sound> Applause"});
    sounds.playasound("2+WAVE20+");
    EXPECT_EQ(services.lines.last(), "Ann: <Chatter Sound> Crying");

    services.lines.clear();
    sounds.playasound("6+wave13+"); // a spectator sends no announced chatter
    sounds.playasound("2+wave21+"); // no such item
    sounds.playasound("2+dice+");
    sounds.playasound("garbage");
    EXPECT_TRUE(services.lines.isEmpty());
    EXPECT_TRUE(output.played.isEmpty());
}

} // namespace
