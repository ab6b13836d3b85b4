#pragma once

#include "game/BotPlayer.h"
#include "ui/DeferredPixmap.h"

#include <QDialog>
#include <QPixmap>

class HostSender;
class QLabel;
class Picture;
class SettingsStore;
struct ClientState;
class TableModel;

// The host's game start dialog: the game's one option, "Use All Markers",
// as a NO/YES switch, and the button that asks the server to start a game.
// The game begins when the server's CMD_startgame comes back. Not modal.
// By keyboard: Enter starts, Space toggles the option, Escape closes.
class Tgamestart : public QDialog {
    Q_OBJECT
public:
    // The background is the main window's picture, drawn over white.
    Tgamestart(const ClientState& state, const TableModel& model, HostSender& host,
               SettingsStore& settings, QWidget* parent, const DeferredPixmap& background);

    // Draws image value of the NO/YES list into the named switch and stores
    // value as its option; an index without a picture leaves it empty. The
    // settings load calls it as changebox("box_useall", stored value).
    void changebox(const QString& name, int value);
    // The switch's option value: 0 off, 1 on (or what the settings held).
    int optionValue() const;

    // Shows which computer player the host's games are played with.
    void showComputerLevel(BotLevel level);

    // Toggles the option: 0 becomes 1, anything else 0.
    void box_useallClick();
    // Sends CMD_startgame with the player name and the option, hides the
    // dialog and saves the settings.
    void button_startClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    const ClientState& m_state;
    const TableModel& m_model;
    HostSender& m_host;
    SettingsStore& m_settings;
    DeferredPixmap m_background;
    Picture* m_box = nullptr;
    QLabel* m_computer = nullptr;
    // The option as the switch shows it: 0 off, 1 on, or what the settings held.
    int m_useAll = 0;
};
