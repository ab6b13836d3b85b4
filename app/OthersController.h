#pragma once

#include "client/PlayWithOthers.h"
#include "net/FoundGame.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class GameBrowser;
class Prompter;
class Tchat;

// Playing with others from the desktop: opens the "Play with Others"
// window, and turns the player's choice in it into a new start of the
// program, hosting or joining as the command line would (the main window
// closes normally and main() starts the program again with these arguments).
// While the window is open, the games on this network are looked for and
// listed live (GameBrowser). It also answers the connection watch of a joining copy: a join that
// failed offers "Try Again", "Play with Others..." and "Quit"; a game whose host went is told
// before the program ends.
class OthersController : public QObject {
    Q_OBJECT
public:
    // The host address of the command line when hosting: every address.
    static constexpr char anyAddress[] = "0.0.0.0";

    OthersController(Tchat& chat, Prompter& prompter);

    // The command line that hosts as `name`, and the one that joins `host`.
    static QStringList hostArguments(const QString& name);
    static QStringList joinArguments(const QString& name, const QString& host);

    // Without them no games are looked for on the network (tests).
    void setNetworkServices(bool on) { m_networkServices = on; }
    // Opens the window (made on first use), filled from the settings.
    void openWindow();
    PlayWithOthers* window() const { return m_window; }

    // Where others can join this copy while it hosts by name; shown in the window.
    void setHostingAddresses(const QStringList& addresses);
    // The games found on this network, and whether they can be found at all.
    void showGames(const QList<PlayWithOthers::Game>& games);
    void setDiscovery(PlayWithOthers::Discovery discovery);

    void host(const QString& name);
    void join(const QString& name, const QString& host);

    // Answers to the connection watch.
    void joinFailed(const QString& host, const QString& reason);
    void connectionEnded(const QString& host, bool orderly);

    // The texts of the three choices after a failed join, in order.
    static QStringList failureChoices();
    // A game as the browser found it, as the window lists it.
    static PlayWithOthers::Game listed(const FoundGame& game);

private:
    // False when the player would rather stay in the game under way.
    bool confirmLeaving();
    QString suggestedName() const;
    void startBrowsing();
    void browserChanged();

    Tchat& m_chat;
    Prompter& m_prompter;
    QPointer<PlayWithOthers> m_window;
    QStringList m_hostingAddresses;
    QList<PlayWithOthers::Game> m_games;
    PlayWithOthers::Discovery m_discovery = PlayWithOthers::Discovery::Looking;
    bool m_networkServices = true;
    GameBrowser* m_browser = nullptr;
};
