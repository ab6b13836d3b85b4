#pragma once

#include "net/DnssdBackend.h"

#include <QObject>
#include <QString>

#include <memory>

class DnssdModule;
class QtAvahiPoll;

// Announces the game this copy hosts on the local network (DNS-SD, type
// _climora._tcp, port 7772), so that other copies list it (GameBrowser). The
// service is named after the host's player name; on a collision with another
// game of that name the network gives an alternative ("Ann #2"), which
// announcedName() tells. The TXT record carries "host=" the host's name and
// "players=" the seated players.
//
// Without the DNS-SD module, the Avahi client library or a running daemon the
// state is Unavailable and the game is simply not announced; when the daemon
// starts or comes back the game is announced again by itself.
class GameAnnouncer : public QObject, private DnssdBackend::PublisherEvents {
    Q_OBJECT
public:
    enum class State { Stopped, Unavailable, Registering, Announced };
    Q_ENUM(State)

    // DNS labels hold at most 63 bytes; TXT strings at most 255.
    static constexpr int maxServiceNameBytes = 63;
    static constexpr int maxTxtBytes = 255;

    // The program's shared DNS-SD module, loaded on start().
    explicit GameAnnouncer(QObject* parent = nullptr);
    explicit GameAnnouncer(DnssdModule& module, QObject* parent = nullptr);
    ~GameAnnouncer() override;

    // Announces (again, if already announced under another name).
    void start(const QString& hostName, int seatedPlayers);
    // Replaces the player count in the TXT record; kept for a later start.
    void setPlayers(int seatedPlayers);
    // Withdraws the announcement.
    void stop();

    State state() const { return m_state; }
    // The name the game is announced under, once Announced; else empty.
    QString announcedName() const { return m_announcedName; }
    // Why the state is Unavailable, for a log or a tooltip; may be empty.
    QString unavailableReason() const { return m_reason; }

    // The service name for a player name: printable, at most
    // maxServiceNameBytes of UTF-8, never empty.
    static QString serviceName(const QString& hostName);
    // The TXT strings announced.
    static std::vector<std::string> txtRecord(const QString& hostName, int seatedPlayers);

signals:
    void stateChanged(GameAnnouncer::State state);
    void announcedNameChanged(const QString& name);

private:
    void daemonChanged(bool running) override;
    void published(const std::string& name) override;
    void publishFailed(const std::string& reason) override;
    void setState(State state, const QString& reason = {});
    void setAnnouncedName(const QString& name);

    DnssdModule& m_module;
    State m_state = State::Stopped;
    QString m_reason;
    QString m_hostName;
    int m_players = 0;
    QString m_announcedName;
    std::unique_ptr<QtAvahiPoll> m_poll;
    std::unique_ptr<DnssdBackend::Publisher> m_publisher;
};
