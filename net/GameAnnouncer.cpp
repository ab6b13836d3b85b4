#include "net/GameAnnouncer.h"

#include "net/DiscoveredText.h"
#include "net/DnssdModule.h"
#include "net/FoundGame.h"
#include "net/QtAvahiPoll.h"

#include <algorithm>

namespace {

// The longest prefix of the text that fits into the bytes, cut between
// characters, never inside one.
QByteArray utf8Prefix(const QString& text, int maxBytes) {
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= maxBytes)
        return bytes;
    int end = maxBytes;
    while (end > 0 && (uchar(bytes[end]) & 0xC0) == 0x80)
        --end;
    bytes.truncate(end);
    return bytes;
}

} // namespace

GameAnnouncer::GameAnnouncer(QObject* parent) : GameAnnouncer(DnssdModule::shared(), parent) {}

GameAnnouncer::GameAnnouncer(DnssdModule& module, QObject* parent)
    : QObject(parent), m_module(module) {}

// The publisher goes before the event-loop adapter it uses (member order).
GameAnnouncer::~GameAnnouncer() = default;

QString GameAnnouncer::serviceName(const QString& hostName) {
    // plainName() keeps no control characters; the length limit is in bytes.
    const QString plain = DiscoveredText::plainName(hostName.toStdString(), 0);
    const QByteArray name = utf8Prefix(plain, maxServiceNameBytes).trimmed();
    return name.isEmpty() ? QStringLiteral("Climora game") : QString::fromUtf8(name);
}

std::vector<std::string> GameAnnouncer::txtRecord(const QString& hostName, int seatedPlayers) {
    const QString plain = DiscoveredText::plainName(hostName.toStdString(), 0);
    const int players = std::clamp(seatedPlayers, 0, DiscoveredText::maxPlayers);
    return {(QByteArray("host=") + utf8Prefix(plain, maxTxtBytes - 5)).toStdString(),
            "players=" + std::to_string(players)};
}

void GameAnnouncer::start(const QString& hostName, int seatedPlayers) {
    stop();
    m_hostName = hostName;
    m_players = seatedPlayers;
    DnssdBackend* backend = m_module.backend();
    if (backend == nullptr) {
        setState(State::Unavailable, m_module.loadError());
        return;
    }
    m_poll = std::make_unique<QtAvahiPoll>();
    // The backend tells whether the daemon runs before publish() returns.
    setState(State::Registering);
    m_publisher = backend->publish(m_poll->api(), *this, FoundGame::serviceType,
                                   serviceName(hostName).toStdString(), FoundGame::gamePort,
                                   txtRecord(hostName, seatedPlayers));
}

void GameAnnouncer::setPlayers(int seatedPlayers) {
    m_players = seatedPlayers;
    if (m_publisher != nullptr)
        m_publisher->setTxt(txtRecord(m_hostName, m_players));
}

void GameAnnouncer::stop() {
    m_publisher.reset();
    m_poll.reset();
    setAnnouncedName({});
    setState(State::Stopped);
}

void GameAnnouncer::setState(State state, const QString& reason) {
    m_reason = state == State::Unavailable ? reason : QString();
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void GameAnnouncer::setAnnouncedName(const QString& name) {
    if (name == m_announcedName)
        return;
    m_announcedName = name;
    emit announcedNameChanged(name);
}

void GameAnnouncer::daemonChanged(bool running) {
    setAnnouncedName({});
    if (running)
        setState(State::Registering);
    else
        setState(State::Unavailable, QStringLiteral("the Avahi daemon is not running"));
}

void GameAnnouncer::published(const std::string& name) {
    setAnnouncedName(QString::fromStdString(name));
    setState(State::Announced);
}

void GameAnnouncer::publishFailed(const std::string& reason) {
    setAnnouncedName({});
    setState(State::Unavailable, QString::fromStdString(reason));
}
