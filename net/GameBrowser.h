#pragma once

#include "net/DnssdBackend.h"
#include "net/FoundGame.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <map>
#include <memory>

class DnssdModule;
class QtAvahiPoll;

// Finds the games hosted on this network (DNS-SD, type _climora._tcp) and
// keeps their list live: the game most recently announced or changed first,
// at most maxListed of them, a game gone from the network gone from it.
//
// The daemon reports each game once per network interface and IP protocol;
// these sightings are resolved (host name, address, port, TXT record) only
// for the newest maxListed games, by at most maxResolving resolvers at a
// time, once a burst of announcements pauses: hundreds at once cost little
// per event, and the rest of a crowd is resolved only when listed games go
// away. A listed game keeps its resolvers, so a change of its player count
// shows; ones pushed off the list give them up beyond maxHeldResolvers. Everything heard is made
// plain and short (DiscoveredText) before it is listed.
//
// Without the DNS-SD module, the Avahi client library or a running daemon
// the state is Unavailable: games on this network cannot be found
// automatically, and joining by address still works. A daemon that starts
// or comes back later is used by itself.
class GameBrowser : public QObject, private DnssdBackend::BrowserEvents {
    Q_OBJECT
public:
    enum class State { Stopped, Browsing, Unavailable };
    Q_ENUM(State)

    static constexpr int maxListed = 50;
    static constexpr int maxResolving = 8;
    // Resolvers kept at most (the daemon limits them per client).
    static constexpr int maxHeldResolvers = 4 * maxListed;
    // Sightings kept at most; later ones are ignored until some go away.
    static constexpr int maxSightings = 2000;

    // The program's shared DNS-SD module, loaded on start().
    explicit GameBrowser(QObject* parent = nullptr);
    explicit GameBrowser(DnssdModule& module, QObject* parent = nullptr);
    ~GameBrowser() override;

    void start();
    void stop();

    // Announcements are gathered and applied together once they pause for
    // quietMs, but never later than maxDelayMs after the first: a crowd
    // arrives in a burst, and the daemon answers resolvers late during one.
    static constexpr int defaultQuietMs = 100;
    static constexpr int defaultMaxDelayMs = 1500;
    void setBatching(int quietMs, int maxDelayMs);

    State state() const { return m_state; }
    // Why the state is Unavailable, for a log or a tooltip; may be empty.
    QString unavailableReason() const { return m_reason; }
    // Newest first, at most maxListed.
    const QList<FoundGame>& games() const { return m_list; }

signals:
    void stateChanged(GameBrowser::State state);
    void gamesChanged();

private:
    enum class Step { Waiting, Resolving, Watching, Resolved, Failed };
    struct Sighting {
        Step step = Step::Waiting;
        QString address;
    };
    struct Game {
        std::map<DnssdBackend::ServiceId, Sighting> sightings;
        QString name;
        QString hostName;
        quint16 port = 0;
        int players = -1;
        // Order of the announcement or of the last change after it.
        quint64 stamp = 0;
        // Resolved at least once, so it can be listed.
        bool known = false;
        // Among the newest maxListed, whose sightings are resolved.
        bool wanted = false;
    };
    using GameKey = std::pair<std::string, std::string>; // name, domain
    using Listed = std::pair<const GameKey*, Game*>;

    void daemonChanged(bool running) override;
    void serviceAdded(const DnssdBackend::ServiceId& id) override;
    void serviceRemoved(const DnssdBackend::ServiceId& id) override;
    void serviceResolved(const DnssdBackend::ServiceId& id,
                         const DnssdBackend::Resolved& resolved) override;
    void resolveFailed(const DnssdBackend::ServiceId& id) override;

    Sighting* sighting(const DnssdBackend::ServiceId& id);
    void setState(State state, const QString& reason = {});
    void forgetAll();
    void schedule();
    void update();
    std::vector<Listed> wantedGames();
    void releaseUnwanted();
    void startResolvers(const std::vector<Listed>& wanted);
    FoundGame found(const GameKey& key, const Game& game) const;

    DnssdModule& m_module;
    State m_state = State::Stopped;
    QString m_reason;
    std::map<GameKey, Game> m_games;
    int m_sightingCount = 0;
    int m_resolving = 0;
    quint64 m_clock = 0;
    QList<FoundGame> m_list;
    int m_quietMs = defaultQuietMs;
    int m_maxDelayMs = defaultMaxDelayMs;
    QTimer m_update;
    QElapsedTimer m_pendingSince;
    std::unique_ptr<QtAvahiPoll> m_poll;
    std::unique_ptr<DnssdBackend::Browser> m_browser;
};
