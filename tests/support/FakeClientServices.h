#pragma once

#include "FakePrompter.h"
#include "client/ClientServices.h"
#include "protocol/Commands.h"

#include <QByteArrayList>
#include <QStringList>

// Records everything a client part asks of the main window.
class FakeClientServices : public ClientServices {
public:
    ClientState& state() override { return m_state; }
    void send(const QByteArray& message) override { sent << message; }
    void systemLine(const QString& text) override { lines << text; }
    void playsounds(const QString& name) override { sounds << name; }
    Prompter& prompter() override { return prompts; }
    void reportError(const QString& text) override { errors << text; }
    void loadSettings() override { ++settingsLoads; }
    void saveSettings() override { ++settingsSaves; }
    bool turnSoundNew() const override { return newTurnSound; }
    void setJustWatchTicked(bool ticked) override { justWatchTicked = ticked; }
    void recordGame(const QString& winner) override { games << winner; }
    void showGameStart() override { ++gameStartShown; }
    void closeMainWindow() override { ++closed; }

    ClientState m_state;
    QByteArrayList sent;
    QStringList lines;
    QStringList sounds;
    FakePrompter prompts;
    QStringList errors;
    int settingsLoads = 0;
    int settingsSaves = 0;
    bool newTurnSound = false;
    bool justWatchTicked = false;
    QStringList games;
    int gameStartShown = 0;
    int closed = 0;
};
