#pragma once

#include "game/BotPlayer.h"

#include <QRect>
#include <QString>

// Everything the settings file reads and writes, as the main window holds it.
// The main window implements this so that Settings can read and apply every
// preference without knowing which widget shows it.
class SettingsTarget {
public:
    virtual ~SettingsTarget() = default;

    // Chat text size in points. Setting it resizes all 15 chat styles, lays
    // the chat out again and ticks the "Text Size" item whose caption is that
    // number (no item when none has it).
    virtual int textSize() const = 0;
    virtual void setTextSize(int points) = 0;

    // The player's text colour as colour text ("clBlack", "$00112233").
    // Setting it also colours the input line's font. Returns false, changing
    // nothing, when the text does not read as colour text.
    virtual QString textColourText() const = 0;
    virtual bool setTextColourText(const QString& text) = 0;

    // The game start dialog's "Use All Markers" box: 1 on, 0 off.
    virtual int useAll() const = 0;
    virtual void setUseAll(int value) = 0;

    // Tag of Options > "Bot Speed" (1000, 750 or 400 ms); setting it also
    // ticks the matching radio item.
    virtual int botSpeed() const = 0;
    virtual void setBotSpeed(int tag) = 0;

    // Tag of Options > "Turn Sound": 0 Classic, 1 New, with the radio tick.
    virtual int turnSound() const = 0;
    virtual void setTurnSound(int tag) = 0;

    // Phrase (hint text) of phrase button n, n = 1 to 9.
    virtual QString phrase(int n) const = 0;
    virtual void setPhrase(int n, const QString& text) = 0;

    // The check marks "Play Sounds" and "Player Phrase Sounds".
    virtual bool playSounds() const = 0;
    virtual void setPlaySounds(bool on) = 0;
    virtual bool playerPhraseSounds() const = 0;
    virtual void setPlayerPhraseSounds(bool on) = 0;

    // The check marks "Flash Window on My Turn" and "Notify on My Turn". A
    // target without turn alerts keeps them on and ignores the setting.
    virtual bool turnAlertFlash() const { return true; }
    virtual void setTurnAlertFlash(bool) {}
    virtual bool turnAlertNotify() const { return true; }
    virtual void setTurnAlertNotify(bool) {}

    // Options > "Computer Player": the level the host's server plays its
    // computer seats with. A target without the choice plays Classic.
    virtual BotLevel computerLevel() const { return BotLevel::Classic; }
    virtual void setComputerLevel(BotLevel) {}

    // The main window's outer bounds: left, top, width and height of the frame.
    virtual QRect windowBounds() const = 0;
    virtual void setWindowBounds(const QRect& bounds) = 0;

    // The available geometry (without task bars) of the screen the window is on.
    virtual QRect workArea() const = 0;
};
