#pragma once

#include "game/Seats.h"

#include <QByteArray>
#include <QString>

class Prompter;

// The program-wide values of the client.
struct ClientState {
    static constexpr int playerSeats = seats::playing; // seats 1 to 4 play, higher seats watch
    QString playerName;                                // as typed (the command line)
    QString ownName; // as the server announced the own seat; empty until then
    QString hostAddress;
    bool host = false;     // this process runs the server
    bool loggedIn = false; // the server's login request has arrived
    int ownSeat = 0;       // 0 until login; the table model keeps it too
};

// What the client's parts need from the main window that composes them.
// The main window implements it; tests give their own.
class ClientServices {
public:
    virtual ~ClientServices() = default;

    virtual ClientState& state() = 0;
    // Frames the message (adds the 0xFF) and sends it to the host.
    virtual void send(const QByteArray& message) = 0;
    // Writes a system line ("0+" + text) into the chat in the system colour.
    virtual void systemLine(const QString& text) = 0;
    // Plays a named game sound when "Play Sounds" is ticked.
    virtual void playsounds(const QString& name) = 0;
    virtual Prompter& prompter() = 0;
    // An error in handling a message from the server. The main window shows
    // one error box at a time, never inside the message timer.
    virtual void reportError(const QString& text);

    // Reads the settings file (at the own login) and writes every setting.
    virtual void loadSettings() = 0;
    virtual void saveSettings() = 0;
    // Options > "Turn Sound" is set to "New".
    virtual bool turnSoundNew() const = 0;
    // Sets the check mark of Options > "Just Watch".
    virtual void setJustWatchTicked(bool ticked) = 0;
    // Records a finished game in the tally: the winner's name or "addtomine".
    virtual void recordGame(const QString& winner) = 0;
    // Opens the game start dialog.
    virtual void showGameStart() = 0;
    // Closes the main window, which ends the program.
    virtual void closeMainWindow() = 0;
};
