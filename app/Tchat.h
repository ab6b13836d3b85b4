#pragma once

#include "client/ClientServices.h"
#include "server/BotSpeedSource.h"
#include "social/SettingsTarget.h"

#include <QHash>
#include <QMainWindow>
#include <QRect>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class TSock;
class TServer;
class Tdownload;
class Ttallylist;
class Tabout;
class Thelp;
class Tspylist;
class Tphrases;
class Tgamestart;
class GameLog;
class GameLogWindow;
class DiceStats;
class StatisticsWindow;
class ClientConnection;
class GameView;
class ChatDisplay;
class ChatComposer;
class Sounds;
class Spectators;
class Settings;
class SoundOutput;
class QLockFile;
class ConnectionWatch;
class HostingNotice;
class OthersController;
class TurnAlert;
class DbusNotifier;
class KeyboardPlay;
class ColumnHints;
class PanelScaler;

// The main window: the game view, the chat and the menus, composed from the
// parts of client/ and social/. It is the client's ClientServices and the
// server's source of the bot speed. Closing it ends the program.
class Tchat : public QMainWindow,
              public ClientServices,
              public BotSpeedSource,
              public SettingsTarget {
    Q_OBJECT
public:
    explicit Tchat(Prompter& prompter, const QStringList& arguments, QWidget* parent = nullptr);
    ~Tchat() override;

    // The windows created after the main window, in their fixed order.
    struct Windows {
        Tabout* about = nullptr;
        Tspylist* spylist = nullptr;
        Thelp* help = nullptr;
        Tphrases* phrases = nullptr;
        Ttallylist* tally = nullptr;
        TServer* server = nullptr;
        Tdownload* download = nullptr;
        Tgamestart* gamestart = nullptr;
        GameLogWindow* gameLog = nullptr;
        StatisticsWindow* statistics = nullptr;
    };
    // Hands over the other windows once they exist, and wires them in.
    void attachWindows(const Windows& windows);
    // Makes the other windows (and attaches them) when called; run once the
    // window has first been drawn, before the command line is read.
    void setWindowMaker(std::function<void()> maker) { m_windowMaker = std::move(maker); }

    // ClientServices
    ClientState& state() override { return m_state; }
    void send(const QByteArray& message) override;
    void systemLine(const QString& text) override;
    void playsounds(const QString& name) override;
    Prompter& prompter() override { return m_prompter; }
    // Shows the error in the application's error report once the current
    // event is over; while that box is up, further errors are written into
    // the chat as system lines instead of opening more boxes.
    void reportError(const QString& text) override;
    void loadSettings() override;
    void saveSettings() override;
    bool turnSoundNew() const override;
    void setJustWatchTicked(bool ticked) override;
    void recordGame(const QString& winner) override;
    void showGameStart() override;
    void closeMainWindow() override;

    // BotSpeedSource: the tag of Options > "Bot Speed".
    int botSpeedMs() const override;

    // SettingsTarget: the preferences the settings file keeps.
    int textSize() const override;
    void setTextSize(int points) override;
    QString textColourText() const override;
    bool setTextColourText(const QString& text) override;
    int useAll() const override;
    void setUseAll(int value) override;
    int botSpeed() const override;
    void setBotSpeed(int tag) override;
    int turnSound() const override;
    void setTurnSound(int tag) override;
    QString phrase(int n) const override;
    void setPhrase(int n, const QString& text) override;
    bool playSounds() const override;
    void setPlaySounds(bool on) override;
    bool playerPhraseSounds() const override;
    void setPlayerPhraseSounds(bool on) override;
    bool turnAlertFlash() const override;
    void setTurnAlertFlash(bool on) override;
    bool turnAlertNotify() const override;
    void setTurnAlertNotify(bool on) override;
    // Options > "Computer Player"; also what the host's server reads when a game starts.
    BotLevel computerLevel() const override;
    void setComputerLevel(BotLevel level) override;
    QRect windowBounds() const override;
    void setWindowBounds(const QRect& bounds) override;
    QRect workArea() const override;

    // A menu item by its name ("StartGame1", "BotSpeed1", "Fast1", ...).
    QAction* action(const QString& name) const;
    QWidget* boardPanel() const { return m_panelBoard; }
    TSock* clientSocket() const { return m_sock; }
    TSock* lobbyLink() const { return m_sock11; }
    ClientConnection* connection() const { return m_connection; }
    GameView* game() const { return m_game; }
    // The game as this client saw it, line by line.
    GameLog* gameLog() const { return m_gameLog; }
    // The dice of the game under way.
    DiceStats* diceStats() const { return m_diceStats; }
    ChatDisplay* chat() const { return m_chat; }
    TurnAlert* turnAlert() const { return m_turnAlert; }
    const Windows& windows() const { return m_windows; }
    // The game's keys, the move hints and the scaling of the board panel.
    KeyboardPlay* keyboard() const { return m_keys; }
    ColumnHints* hints() const { return m_hints; }
    PanelScaler* scaler() const { return m_scaler; }

    // Playing with others: the window, the watch over a joining copy's
    // connection, and what a copy hosting by name tells about itself.
    Settings& settings() const { return *m_settings; }
    OthersController* others() const { return m_others; }
    ConnectionWatch* connectionWatch() const { return m_watch; }
    HostingNotice* hostingNotice() const { return m_hostingNotice; }
    void openPlayWithOthers();
    // Without them, hosting by name neither asks the router to forward the
    // game's port nor announces the game, and the window looks for no games
    // (tests).
    void setNetworkServices(bool on);
    // Closes the main window so that main() starts the program again with
    // these arguments once everything is torn down.
    void requestRestart(const QStringList& arguments);
    bool restartRequested() const { return m_restartRequested; }
    QStringList restartArguments() const { return m_restartArguments; }

    // The game's TCP port, "7772"; tests host on "0", an ephemeral port.
    void setGamePort(const QString& port);
    // The settings file to use instead of the user's (tests).
    void setIniPath(const QString& path);

    // Reads the command line and hosts or joins (run once, at the first show).
    void processparams();
    void readCommandLineOnce();
    void hostpress();
    void joinpress();

    // The colour of system lines in the chat: blue, $00BBGGRR.
    static constexpr quint32 systemColour = 0xFF0000;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void buildComputerMenu(QMenu* options);
    void buildDispatchTable();
    // Each side of the window builds its own controls and connections.
    void buildGame();
    void buildSocial();
    void wireWindows();
    void showDownload();
    void chooseTextColour();
    void openPhraseEditor();
    void viewTally();

    Prompter& m_prompter;
    QStringList m_arguments;
    ClientState m_state;
    Windows m_windows;
    // processparams once, after the first paint or at the latest this long after the first show.
    static constexpr int paramsAtTheLatestMs = 300;
    bool m_paramsScheduled = false;
    bool m_paramsDone = false;
    bool m_errorShowing = false; // an error box is due or open
    std::function<void()> m_windowMaker;
    QHash<QString, QAction*> m_actions;
    QWidget* m_panelBoard = nullptr;
    TSock* m_sock = nullptr;
    TSock* m_sock11 = nullptr;
    QLockFile* m_mutex = nullptr;

    // Game side (client/).
    ClientConnection* m_connection = nullptr;
    GameView* m_game = nullptr;
    GameLog* m_gameLog = nullptr;
    DiceStats* m_diceStats = nullptr;
    // The taskbar flash and desktop notification when the own turn begins.
    DbusNotifier* m_notifier = nullptr;
    TurnAlert* m_turnAlert = nullptr;

    // Playing with others (TchatOthers.cpp).
    void buildOthers();
    void hostingByNameStarted();
    // A player arrived or left: the announced number of seated players follows.
    void seatsChanged();
    OthersController* m_others = nullptr;
    ConnectionWatch* m_watch = nullptr;
    HostingNotice* m_hostingNotice = nullptr;
    bool m_networkServices = true;
    bool m_restartRequested = false;
    QStringList m_restartArguments;
    // Set once the host refused this client as the game is full: the close
    // that follows is expected.
    bool m_refusedAsFull = false;

    // Social side (social/).
    // Connects the About, spy list and help windows once they exist (called
    // from wireWindows).
    void wireSocialWindows();
    // The audio module, loaded on the first sound.
    std::unique_ptr<SoundOutput> m_soundOutput;
    ChatDisplay* m_chat = nullptr;
    ChatComposer* m_composer = nullptr;
    Sounds* m_sounds = nullptr;
    Spectators* m_spectators = nullptr;
    Settings* m_settings = nullptr;

    // Desktop manners (TchatDesktop.cpp).
    void buildDesktop();
    // Whether Exit may end the program: asks first while a game runs.
    bool exitConfirmed();
    KeyboardPlay* m_keys = nullptr;
    ColumnHints* m_hints = nullptr;
    PanelScaler* m_scaler = nullptr;
};
