#include "net/GameBrowser.h"

#include "net/DiscoveredText.h"
#include "net/DnssdModule.h"
#include "net/QtAvahiPoll.h"

#include <algorithm>

GameBrowser::GameBrowser(QObject* parent) : GameBrowser(DnssdModule::shared(), parent) {}

GameBrowser::GameBrowser(DnssdModule& module, QObject* parent) : QObject(parent), m_module(module) {
    m_update.setSingleShot(true);
    connect(&m_update, &QTimer::timeout, this, &GameBrowser::update);
}

// The browser goes before the event-loop adapter it uses (member order).
GameBrowser::~GameBrowser() = default;

void GameBrowser::start() {
    if (m_browser != nullptr)
        return;
    DnssdBackend* backend = m_module.backend();
    if (backend == nullptr) {
        setState(State::Unavailable, m_module.loadError());
        return;
    }
    m_poll = std::make_unique<QtAvahiPoll>();
    // The backend tells whether the daemon runs before browse() returns.
    m_browser = backend->browse(m_poll->api(), *this, FoundGame::serviceType);
    if (m_state == State::Stopped)
        setState(State::Unavailable, QStringLiteral("the DNS-SD backend did not answer"));
}

void GameBrowser::stop() {
    m_browser.reset();
    m_poll.reset();
    forgetAll();
    m_update.stop();
    update();
    setState(State::Stopped);
}

void GameBrowser::setState(State state, const QString& reason) {
    m_reason = state == State::Unavailable ? reason : QString();
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void GameBrowser::forgetAll() {
    m_games.clear();
    m_sightingCount = 0;
    m_resolving = 0;
}

void GameBrowser::daemonChanged(bool running) {
    if (running) {
        setState(State::Browsing);
        return;
    }
    // The module has dropped every sighting and resolver with the daemon.
    forgetAll();
    m_update.stop();
    update();
    setState(State::Unavailable, QStringLiteral("the Avahi daemon is not running"));
}

GameBrowser::Sighting* GameBrowser::sighting(const DnssdBackend::ServiceId& id) {
    auto game = m_games.find({id.name, id.domain});
    if (game == m_games.end())
        return nullptr;
    auto found = game->second.sightings.find(id);
    return found == game->second.sightings.end() ? nullptr : &found->second;
}

void GameBrowser::serviceAdded(const DnssdBackend::ServiceId& id) {
    if (m_sightingCount >= maxSightings || sighting(id) != nullptr)
        return;
    auto [game, added] = m_games.try_emplace({id.name, id.domain});
    if (added) {
        game->second.name = DiscoveredText::plainName(id.name);
        game->second.stamp = ++m_clock;
    }
    game->second.sightings.emplace(id, Sighting{});
    ++m_sightingCount;
    schedule();
}

void GameBrowser::serviceRemoved(const DnssdBackend::ServiceId& id) {
    auto game = m_games.find({id.name, id.domain});
    if (game == m_games.end())
        return;
    auto found = game->second.sightings.find(id);
    if (found == game->second.sightings.end())
        return;
    const Step step = found->second.step;
    if (step == Step::Resolving)
        --m_resolving;
    if ((step == Step::Resolving || step == Step::Watching) && m_browser != nullptr)
        m_browser->release(id);
    game->second.sightings.erase(found);
    --m_sightingCount;
    if (game->second.sightings.empty())
        m_games.erase(game);
    schedule();
}

void GameBrowser::serviceResolved(const DnssdBackend::ServiceId& id,
                                  const DnssdBackend::Resolved& resolved) {
    auto game = m_games.find({id.name, id.domain});
    Sighting* s = sighting(id);
    if (s == nullptr || (s->step != Step::Resolving && s->step != Step::Watching)) {
        if (m_browser != nullptr)
            m_browser->release(id);
        return;
    }
    if (s->step == Step::Resolving)
        --m_resolving;
    s->step = Step::Watching;
    Game& g = game->second;
    const QString address = DiscoveredText::plainName(resolved.address, 64);
    const QString hostName =
        DiscoveredText::plainName(resolved.hostName, DiscoveredText::maxHostNameLength);
    const int players = DiscoveredText::playerCount(resolved.txt);
    // The first answer lists the game in the place of its announcement; a
    // change after that moves it up.
    const bool changed = address != s->address || hostName != g.hostName ||
                         resolved.port != g.port || players != g.players;
    if (changed && g.known && !s->address.isEmpty())
        g.stamp = ++m_clock;
    s->address = address;
    g.hostName = hostName;
    g.port = resolved.port;
    g.players = players;
    if (changed || !g.known) {
        g.known = true;
        schedule();
    }
}

void GameBrowser::resolveFailed(const DnssdBackend::ServiceId& id) {
    Sighting* s = sighting(id);
    if (s == nullptr)
        return;
    if (s->step == Step::Resolving)
        --m_resolving;
    s->step = Step::Failed;
    schedule();
}

void GameBrowser::setBatching(int quietMs, int maxDelayMs) {
    m_quietMs = std::max(0, quietMs);
    m_maxDelayMs = std::max(m_quietMs, maxDelayMs);
}

void GameBrowser::schedule() {
    if (!m_update.isActive())
        m_pendingSince.start();
    m_update.start(int(std::clamp<qint64>(m_maxDelayMs - m_pendingSince.elapsed(), 0, m_quietMs)));
}

std::vector<GameBrowser::Listed> GameBrowser::wantedGames() {
    std::vector<Listed> games;
    for (auto& [key, game] : m_games) {
        game.wanted = false;
        const bool hopeless =
            std::all_of(game.sightings.begin(), game.sightings.end(),
                        [](const auto& entry) { return entry.second.step == Step::Failed; });
        if (!hopeless)
            games.emplace_back(&key, &game);
    }
    const auto end = games.begin() + std::min<std::ptrdiff_t>(maxListed, games.size());
    std::partial_sort(games.begin(), end, games.end(), [](const Listed& a, const Listed& b) {
        return a.second->stamp > b.second->stamp;
    });
    games.erase(end, games.end());
    for (const auto& [key, game] : games)
        game->wanted = true;
    return games;
}

void GameBrowser::releaseUnwanted() {
    // Freeing a resolver waits for the daemon's answer, which a busy daemon
    // gives late; games pushed off the list keep theirs up to a limit.
    int held = 0;
    for (const auto& [key, game] : m_games)
        for (const auto& [id, s] : game.sightings)
            held += s.step == Step::Watching || s.step == Step::Resolving;
    for (auto& [key, game] : m_games) {
        if (held <= maxHeldResolvers)
            return;
        if (game.wanted)
            continue;
        for (auto& [id, s] : game.sightings) {
            if (s.step != Step::Watching)
                continue;
            if (m_browser != nullptr)
                m_browser->release(id);
            s.step = Step::Resolved;
            --held;
        }
    }
}

void GameBrowser::startResolvers(const std::vector<Listed>& wanted) {
    for (const auto& [key, game] : wanted) {
        for (auto& [id, s] : game->sightings) {
            if (m_resolving >= maxResolving || m_browser == nullptr)
                return;
            if (s.step != Step::Waiting && s.step != Step::Resolved)
                continue;
            if (m_browser->resolve(id)) {
                s.step = Step::Resolving;
                ++m_resolving;
            } else {
                s.step = Step::Failed;
            }
        }
    }
}

void GameBrowser::update() {
    // Only the newest maxListed games are resolved and watched: the rest of
    // a crowd costs nothing until listed games go away.
    const std::vector<Listed> wanted = wantedGames();
    releaseUnwanted();
    startResolvers(wanted);
    QList<FoundGame> list;
    for (const auto& [key, game] : wanted)
        if (game->known)
            list << found(*key, *game);
    if (list != m_list) {
        m_list = list;
        emit gamesChanged();
    }
}

FoundGame GameBrowser::found(const GameKey& key, const Game& game) const {
    FoundGame f;
    f.id = QString::fromLatin1(QByteArray::fromStdString(key.first + '\0' + key.second).toBase64());
    f.name = game.name;
    f.hostName = game.hostName;
    f.port = game.port;
    f.players = game.players;
    // IPv4 first, then global IPv6, then link-local IPv6 (with its scope).
    std::vector<std::pair<int, QString>> ranked;
    for (const auto& [id, s] : game.sightings) {
        if (s.address.isEmpty())
            continue;
        const int rank = !s.address.contains(':') ? 0 : !s.address.contains('%') ? 1 : 2;
        ranked.emplace_back(rank, s.address);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [rank, address] : ranked)
        if (!f.addresses.contains(address))
            f.addresses << address;
    f.address = f.addresses.value(0);
    return f;
}
