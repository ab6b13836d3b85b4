#include "app/OthersController.h"

#include "app/Tchat.h"
#include "client/ConnectionWatch.h"
#include "client/PlayerName.h"
#include "client/RecentHosts.h"
#include "game/Seats.h"
#include "net/GameBrowser.h"
#include "server/TServer.h"
#include "social/Settings.h"
#include "ui/Prompter.h"

namespace {
// A host named by a command line is shown shortened in a message.
constexpr int maxShownHost = 80;

QString shownHost(const QString& host) {
    return PlayWithOthers::plain(host, maxShownHost);
}
} // namespace

OthersController::OthersController(Tchat& chat, Prompter& prompter)
    : QObject(&chat), m_chat(chat), m_prompter(prompter) {}

QStringList OthersController::hostArguments(const QString& name) {
    return {name, QString::fromLatin1(anyAddress), QStringLiteral("true")};
}

QStringList OthersController::joinArguments(const QString& name, const QString& host) {
    return {name, host, QStringLiteral("join")};
}

QStringList OthersController::failureChoices() {
    return {QStringLiteral("Try Again"), QStringLiteral("Play with Others..."),
            QStringLiteral("Quit")};
}

QString OthersController::suggestedName() const {
    const QString stored = m_chat.settings().playerName();
    if (!stored.isEmpty())
        return stored;
    // The solo player is "You", which is no name to show others.
    const QString current = m_chat.state().playerName;
    if (current == QLatin1String("You"))
        return {};
    return PlayerName::fromStored(current);
}

void OthersController::openWindow() {
    const bool made = !m_window;
    if (made) {
        m_window = new PlayWithOthers(&m_chat);
        connect(m_window, &PlayWithOthers::hostRequested, this, &OthersController::host);
        connect(m_window, &PlayWithOthers::joinRequested, this, &OthersController::join);
        m_window->setPlayerName(suggestedName());
        m_window->setHostingAddresses(m_hostingAddresses);
        m_window->setDiscovery(m_discovery);
        m_window->showGames(m_games);
    }
    m_window->setRecentHosts(m_chat.settings().recentHosts());
    startBrowsing();
    if (made)
        m_window->fitHeight();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_window->focusFirstEmpty();
}

PlayWithOthers::Game OthersController::listed(const FoundGame& game) {
    return {game.name, game.address.isEmpty() ? game.hostName : game.address, game.players};
}

void OthersController::startBrowsing() {
    if (m_browser || !m_networkServices)
        return;
    m_browser = new GameBrowser(this);
    connect(m_browser, &GameBrowser::gamesChanged, this, &OthersController::browserChanged);
    connect(m_browser, &GameBrowser::stateChanged, this, &OthersController::browserChanged);
    m_browser->start();
    browserChanged();
}

void OthersController::browserChanged() {
    setDiscovery(m_browser->state() == GameBrowser::State::Unavailable
                     ? PlayWithOthers::Discovery::Unavailable
                     : PlayWithOthers::Discovery::Looking);
    QList<PlayWithOthers::Game> games;
    for (const FoundGame& game : m_browser->games())
        games << listed(game);
    showGames(games);
}

void OthersController::setHostingAddresses(const QStringList& addresses) {
    m_hostingAddresses = addresses;
    if (m_window)
        m_window->setHostingAddresses(addresses);
}

void OthersController::showGames(const QList<PlayWithOthers::Game>& games) {
    m_games = games.mid(0, PlayWithOthers::maxGames);
    if (m_window)
        m_window->showGames(m_games);
}

void OthersController::setDiscovery(PlayWithOthers::Discovery discovery) {
    m_discovery = discovery;
    if (m_window)
        m_window->setDiscovery(discovery);
}

bool OthersController::confirmLeaving() {
    const ClientState& state = m_chat.state();
    const TServer* server = m_chat.windows().server;
    if (state.host && server) {
        bool others = false;
        for (int seat = 2; seat <= seats::last; ++seat)
            others = others || server->seats().inUse(seat);
        if (!server->gameRunning() && !others)
            return true;
        return m_prompter.question("This ends the game here, for everyone in it. Go on?");
    }
    if (state.loggedIn && !state.host)
        return m_prompter.question("This takes you out of the game you joined. Go on?");
    return true;
}

void OthersController::host(const QString& name) {
    if (!confirmLeaving())
        return;
    m_chat.settings().savePlayerName(name);
    m_chat.requestRestart(hostArguments(name));
}

void OthersController::join(const QString& name, const QString& host) {
    if (!confirmLeaving())
        return;
    m_chat.settings().savePlayerName(name);
    RecentHosts recent = RecentHosts::fromStored(m_chat.settings().recentHosts());
    recent.remember(host);
    m_chat.settings().saveRecentHosts(recent.hosts());
    m_chat.requestRestart(joinArguments(name, host));
}

void OthersController::joinFailed(const QString& host, const QString& reason) {
    m_chat.systemLine("Could not join " + shownHost(host) + ": " + reason);
    const int choice = m_prompter.choose(
        "Could not join the game at " + shownHost(host) + ": " + reason, failureChoices());
    switch (choice) {
    case 0:
        m_chat.systemLine("Trying " + shownHost(host) + " again...");
        if (ConnectionWatch* watch = m_chat.connectionWatch())
            watch->retry();
        break;
    case 1:
        openWindow();
        break;
    case 2:
        m_chat.close();
        break;
    default:
        break; // closed without choosing: the window stays, not connected
    }
}

void OthersController::connectionEnded(const QString& host, bool orderly) {
    m_prompter.message(orderly ? "The host at " + shownHost(host) + " closed the game."
                               : "The connection to the host at " + shownHost(host) + " was lost.");
}
