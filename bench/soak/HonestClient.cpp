#include "bench/soak/HonestClient.h"

#include "bench/soak/SoakWorld.h"
#include "net/TSock.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"

#include <QTimer>

#include <algorithm>

namespace {

constexpr qint64 ms = 1000000;
// The longest a promised answer may take. The receive queue takes one
// message per 10 ms, so a full queue of the rogue's (256 messages) alone
// delays the table by 2.6 s.
constexpr qint64 answerTimeout = 8000 * ms;
// With turns paced in milliseconds, nothing happening for this long is a stall.
constexpr qint64 stallTimeout = 5000 * ms;

QByteArray num(int n) {
    return QByteArray::number(n);
}

// The ledger token "[t123]" in a chat line, or empty.
QByteArray tokenIn(const QByteArray& text) {
    const qsizetype start = text.indexOf("[t");
    const qsizetype end = start < 0 ? -1 : text.indexOf(']', start);
    return end < 0 ? QByteArray() : text.mid(start, end - start + 1);
}

} // namespace

HonestClient::HonestClient(SoakWorld& world, int port, const QByteArray& name, Role role,
                           QObject* parent)
    : QObject(parent), m_world(world), m_port(port), m_name(name), m_role(role) {}

HonestClient::~HonestClient() {
    if (m_sock) {
        m_sock->OnInfo = nullptr;
        m_sock->OnRead = nullptr;
        m_sock->OnDisconnect = nullptr;
    }
}

void HonestClient::start() {
    const qint64 now = SoakWorld::nowNs();
    m_nextChurnNs = now + (15000 + m_world.below(30000)) * ms;
    m_nextChatNs = now + (500 + m_world.below(2000)) * ms;
    m_nextRogueKickNs = now + (10000 + m_world.below(10000)) * ms;
    connectNow();
}

void HonestClient::stop() {
    m_reconnectAtNs = -2; // never again
    if (m_sock) {
        m_closing = true;
        m_sock->Close();
    }
}

void HonestClient::connectNow() {
    m_reconnectAtNs = -1;
    ++m_generation;
    m_cutter.clear();
    m_mirror = TableMirror();
    m_expects.clear();
    m_seat = 0;
    m_loggedIn = false;
    m_requestOut = false;
    m_watching = m_watchPending = m_unwatchPending = false;
    m_startPending = false;
    m_startAtNs = -1;
    m_closing = false;

    m_sock = new TSock(this);
    m_sock->setHostName("127.0.0.1");
    m_sock->setPortName(QString::number(m_port));
    m_sock->OnRead = [this](TSock* sender, int) {
        if (sender == m_sock)
            onRead();
    };
    m_sock->OnDisconnect = [](TSock* sender) { sender->Close(); };
    m_sock->OnInfo = [this](TSock* sender, TSocketInfo kind, const QString& msg) {
        if (sender != m_sock)
            return;
        if (msg == QLatin1String("Socket Closed"))
            closed(!m_closing);
        else if (kind == TSocketInfo::Error)
            m_world.failure(QString::fromLatin1(m_name), "socket error " + msg);
    };
    try {
        m_sock->Open();
    } catch (const ESockException& e) {
        m_world.failure(QString::fromLatin1(m_name), "cannot connect: " + e.text());
        TSock* failed = m_sock;
        m_sock = nullptr;
        failed->OnInfo = nullptr;
        failed->deleteLater();
        m_reconnectAtNs = SoakWorld::nowNs() + 500 * ms;
    }
}

void HonestClient::closed(bool byServer) {
    if (byServer && !m_world.recentlyKicked(m_seat, 3000 * ms))
        m_world.failure(QString::fromLatin1(m_name),
                        QString("the server closed the connection of seat %1").arg(m_seat));
    TSock* old = m_sock;
    m_sock = nullptr;
    old->OnInfo = nullptr;
    old->OnRead = nullptr;
    old->OnDisconnect = nullptr;
    old->deleteLater();
    m_loggedIn = false;
    m_expects.clear();
    m_requestOut = false;
    if (m_reconnectAtNs != -2)
        m_reconnectAtNs = SoakWorld::nowNs() + (byServer ? 300 : 200 + m_world.below(1800)) * ms;
}

void HonestClient::send(const QByteArray& message) {
    if (!m_sock)
        return;
    try {
        m_sock->Send(cmd::frame(message));
    } catch (const ESockException&) {
        // The close report follows.
    }
}

void HonestClient::request(const QByteArray& message, const QByteArray& answer, bool prefix,
                           Kind kind, const QString& what, TableMirror::Move move) {
    Expect e;
    e.move = move;
    e.text = answer;
    e.prefix = prefix;
    e.kind = kind;
    e.sentNs = SoakWorld::nowNs();
    e.what = what;
    m_expects.push_back(e);
    if (kind == Kind::Game || kind == Kind::Refusal)
        m_requestOut = true;
    // An empty message only waits for what the server sends on its own.
    if (message.isEmpty())
        return;
    ++m_world.counters.requests;
    send(message);
}

void HonestClient::onRead() {
    const QByteArray bytes = m_sock->Receive();
    for (const QByteArray& message : m_cutter.feed(bytes)) {
        if (!m_sock)
            return;
        handle(message);
    }
}

bool HonestClient::matchExpectation(const QByteArray& message) {
    for (auto it = m_expects.begin(); it != m_expects.end(); ++it) {
        if (it->prefix ? !message.startsWith(it->text) : message != it->text)
            continue;
        const Expect e = *it;
        m_expects.erase(it);
        ++m_world.counters.answers;
        m_world.answerLatenciesMs.push_back(double(SoakWorld::nowNs() - e.sentNs) / 1e6);
        if (e.kind == Kind::Login) {
            m_loggedIn = true;
            scheduleAct(); // its turn may have begun before its login was handled
        }
        if (e.kind == Kind::Start)
            m_startPending = false;
        if (e.kind == Kind::Game &&
            message.startsWith(QByteArray(cmd::rolldice) + '+' + num(m_seat) + "+f"))
            request({}, QByteArray(cmd::endturn) + '+' + num(m_seat) + "+n", true, Kind::Game,
                    "the lost turn after a roll that fits nothing");
        if (e.kind == Kind::Game && message.startsWith(QByteArray(cmd::placechip) + '+')) {
            const TableMirror::Move done = m_mirror.lastPlacement();
            const TableMirror::Move& asked = e.move;
            if (done.column != asked.column || done.dieA != asked.dieA || done.dieB != asked.dieB)
                m_world.failure(QString::fromLatin1(m_name),
                                "the placement made is not the one asked for: " + e.what);
        }
        if (e.kind == Kind::Game || e.kind == Kind::Refusal) {
            m_requestOut = std::any_of(m_expects.begin(), m_expects.end(), [](const Expect& x) {
                return x.kind == Kind::Game || x.kind == Kind::Refusal;
            });
            scheduleAct();
        }
        return true;
    }
    return false;
}

void HonestClient::handle(const QByteArray& message) {
    ++m_world.counters.messagesReceived;
    const bool wasRunning = m_mirror.gameRunning();
    if (!m_mirror.apply(message)) {
        m_world.failure(QString::fromLatin1(m_name), m_mirror.error());
        m_mirror.desync();
    }
    const cmd::Split parts = cmd::split(message);
    if (parts.command == cmd::sendlogininfo) {
        m_seat = SoakWorld::seatField(parts.args);
        if (m_seat < 1 || m_seat > 9) {
            m_world.failure(QString::fromLatin1(m_name),
                            "a seat outside 1 to 9: " + QString::fromLatin1(message));
            return;
        }
        request(cmd::logininfo_(m_seat, cmd::version, m_name), cmd::newplayerinfo_(m_seat, m_name),
                false, Kind::Login, "login");
        return;
    }
    if (parts.command == cmd::full) {
        // The rogue's extra connection holds the free seat for a moment.
        m_closing = true;
        m_sock->Close();
        m_reconnectAtNs = SoakWorld::nowNs() + 500 * ms;
        return;
    }
    if (parts.command == cmd::chat || parts.command == cmd::action) {
        const QByteArray token = tokenIn(parts.args);
        if (!token.isEmpty())
            m_world.chatReceived(token, this);
    }
    if (!matchExpectation(message))
        checkForeign(message);
    if (parts.command == cmd::justwatching && SoakWorld::seatField(parts.args) == m_seat &&
        m_seat) {
        const QByteArray flag = msg::readWatchFlag(parts.args).flag;
        if (flag == "1" && m_watchPending) {
            m_watchPending = false;
            m_watching = true;
        } else if (flag == "2" && m_unwatchPending) {
            m_unwatchPending = m_watchPending = m_watching = false;
            scheduleAct(); // a player who stops watching in the own turn carries on
        } else if (flag == "1" && m_unwatchPending) {
            m_watching = true; // the late answer of a request taken back
        }
    }
    afterEvent(message, wasRunning);
}

void HonestClient::checkForeign(const QByteArray& message) {
    const cmd::Split parts = cmd::split(message);
    const QByteArray& c = parts.command;
    const int seat = SoakWorld::seatField(parts.args);
    const QString who = QString::fromLatin1(m_name);
    auto effect = [&](const QString& what) {
        ++m_world.counters.rogueEffects;
        m_world.failure(who, what + ": " + QString::fromLatin1(message.left(120)));
    };
    const bool computerMine = m_watching || m_watchPending || m_unwatchPending;
    if ((c == cmd::rolldice || c == cmd::placechip || c == cmd::endturn) && seat == m_seat &&
        playing() && !computerMine && m_loggedIn)
        effect("a move for my seat that I did not ask for");
    else if (c == cmd::startgame && isHost() && m_loggedIn)
        effect("a game start that the host did not ask for");
    else if (c == cmd::justwatching && seat == m_seat && !m_watchPending && !m_unwatchPending)
        effect("\"Just Watch\" for my seat that I did not ask for");
    else if (c == cmd::newplayerinfo && seat == m_seat && m_loggedIn &&
             msg::readSeatName(parts.args).name != m_name)
        effect("my seat was given another name");
    else if (c == cmd::playerdisconnected && seat != m_seat) {
        HonestClient* other = m_world.honestAt(seat);
        if (other && other->loggedIn() && !m_world.recentlyKicked(seat, 3000 * ms))
            effect("a player reported gone who is still here");
    } else if ((c == cmd::chat || c == cmd::action) && seat >= 1) {
        HonestClient* other = m_world.honestAt(seat);
        const QByteArray token = tokenIn(parts.args);
        if (other && other->loggedIn() && (token.isEmpty() || !m_world.tokenFrom(token, other)))
            effect("a chat line in the name of a player who did not send it");
    } else if (c == cmd::playasound && seat == m_seat && m_loggedIn) {
        effect("a chatter sound in my name that I did not send");
    }
}

bool HonestClient::myTurn() const {
    return m_sock && m_loggedIn && playing() && m_mirror.synced() && m_mirror.gameRunning() &&
           m_mirror.turnKnown() && m_mirror.turnOpen() && m_mirror.currentSeat() == m_seat &&
           !m_watching && !m_watchPending && !m_unwatchPending && !m_requestOut && !m_startPending;
}

void HonestClient::scheduleAct() {
    if (m_actScheduled || !myTurn())
        return;
    m_actScheduled = true;
    QTimer::singleShot(m_world.below(3), this, [this] {
        m_actScheduled = false;
        act();
    });
}

void HonestClient::act() {
    if (!myTurn())
        return;
    const Game& game = m_mirror.game();
    const Dice& dice = game.dice();
    const std::vector<TableMirror::Move> moves = m_mirror.legalMoves(m_seat);
    const QByteArray me = num(m_seat);
    auto roll = [&] {
        request(cmd::rollthedice_(m_seat), QByteArray(cmd::rolldice) + '+' + me + '+', true,
                Kind::Game, "roll");
    };
    auto place = [&](const TableMirror::Move& m) {
        request(cmd::placechip_(m_seat, m.column, m.dieA, m.dieB),
                QByteArray(cmd::placechip) + '+' + me + '+', true, Kind::Game,
                QString("place %1 %2 %3").arg(m.column).arg(m.dieA).arg(m.dieB), m);
    };
    auto keep = [&] {
        request(cmd::endturn_(m_seat, "p"), QByteArray(cmd::endturn) + '+' + me + "+p", true,
                Kind::Game, "keep the turn");
    };

    if (!m_mirror.rollingAllowed()) {
        // Rolled: a placement is due.
        if (moves.empty()) {
            m_world.failure(QString::fromLatin1(m_name), "a playable roll left no legal placement");
            return;
        }
        if (m_world.chance(0.02)) {
            ++m_world.counters.refusalsAsked;
            request(cmd::rollthedice_(m_seat), cmd::cannotroll_(m_seat), false, Kind::Refusal,
                    "a second roll without a placement");
            return;
        }
        if (m_world.chance(0.02)) {
            // Two available dice, one column too far: refused.
            const TableMirror::Move& m = moves.front();
            const int wrong = m.column < Board::lastColumn ? m.column + 1 : m.column - 1;
            ++m_world.counters.refusalsAsked;
            request(cmd::placechip_(m_seat, wrong, m.dieA, m.dieB), cmd::invalid_(m_seat), false,
                    Kind::Refusal, "a placement in the wrong column");
            return;
        }
        place(moves[size_t(m_world.below(int(moves.size())))]);
        return;
    }
    if (dice.anyAvailable() && !moves.empty() && m_world.chance(0.7)) {
        place(moves[size_t(m_world.below(int(moves.size())))]);
        return;
    }
    const int used = game.markersUsed();
    const Game::KeepRefusal refusal = m_mirror.keepRefusal();
    static const double stop[] = {0.01, 0.15, 0.3, 0.5};
    if (refusal != Game::KeepRefusal::None) {
        if (!m_world.chance(0.05)) {
            roll();
            return;
        }
        ++m_world.counters.refusalsAsked;
        if (refusal == Game::KeepRefusal::MarkersLeft) {
            request(cmd::endturn_(m_seat, "p"), cmd::useall_(m_seat), false, Kind::Refusal,
                    "keep with markers left under \"Use All Markers\"");
        } else {
            const auto cell = game.mustMoveCell();
            request(cmd::endturn_(m_seat, "p"),
                    cmd::mustmove_(m_seat, cell ? cell->column : 0, cell ? cell->position : 0),
                    false, Kind::Refusal, "keep with a marker on another's chip");
        }
        return;
    }
    if (m_world.chance(stop[std::clamp(used, 0, 3)]))
        keep();
    else
        roll();
}

void HonestClient::afterEvent(const QByteArray& message, bool wasRunning) {
    const qint64 now = SoakWorld::nowNs();
    const TableMirror::Event event = m_mirror.lastEvent();
    if (event == TableMirror::Event::Other)
        return;
    m_lastProgressNs = now;
    m_kickedForStall = 0;
    switch (event) {
    case TableMirror::Event::Started:
        if (isHost()) {
            ++m_world.counters.gamesStarted;
            if (wasRunning)
                ++m_world.counters.gamesReplaced;
        }
        // A new game ends every "Just Watch" without a message.
        m_watching = false;
        m_watchedTurns = 0;
        if (m_watchPending)
            endWatching();
        break;
    case TableMirror::Event::Synced:
        ++m_world.counters.joinsDuringGame;
        scheduleAct(); // its turn may have begun before it had the state
        break;
    case TableMirror::Event::Won:
        if (isHost()) {
            ++m_world.counters.gamesWon;
            m_startAtNs = now + (5 + m_world.below(25)) * ms;
        }
        if (m_watchPending)
            endWatching();
        break;
    case TableMirror::Event::TurnBegan:
        if (m_mirror.lastSeat() == m_seat) {
            if (m_watching) {
                ++m_world.counters.computerTurns;
                if (++m_watchedTurns >= m_watchTurnsLeft)
                    endWatching();
            }
            if (isHost() && m_world.chance(0.01)) {
                startGame(); // the host starts afresh in the middle of a game
                return;
            }
            scheduleAct();
        } else if (m_role.watches && m_seat == 2 && !m_watching && !m_watchPending &&
                   !m_unwatchPending && m_world.chance(0.06)) {
            beginWatching();
        }
        break;
    default:
        break;
    }
    Q_UNUSED(message);
}

void HonestClient::startGame() {
    if (!m_loggedIn || m_startPending)
        return;
    const QByteArray flag = m_world.chance(0.25) ? "1" : "0";
    m_startPending = true;
    m_startAtNs = -1;
    request(cmd::startgame_(m_name, flag), cmd::startgame_(m_name, flag), false, Kind::Start,
            "start a game");
}

void HonestClient::beginWatching() {
    m_watchPending = true;
    m_watchTurnsLeft = 2 + m_world.below(4);
    request(cmd::justwatch_(m_seat, 1), cmd::justwatching_(m_seat, 1), false, Kind::Watch,
            "Just Watch");
}

void HonestClient::endWatching() {
    // A request to watch that may have come too late for its game is taken
    // back; its answer, if any, comes before the answer to this one.
    const QByteArray late = cmd::justwatching_(m_seat, 1);
    std::erase_if(m_expects, [&](const Expect& e) { return e.text == late; });
    m_unwatchPending = true;
    request(cmd::justwatch_(m_seat, 2), cmd::justwatching_(m_seat, 2), false, Kind::Watch,
            "stop watching");
}

void HonestClient::hostWatchdog() {
    const qint64 now = SoakWorld::nowNs();
    if (!m_mirror.gameRunning() && !m_startPending) {
        if (m_startAtNs < 0)
            m_startAtNs = now + 1000 * ms; // the first game, once the others are in
        if (now >= m_startAtNs)
            startGame();
        return;
    }
    if (m_startPending || now - m_lastProgressNs < stallTimeout)
        return;
    const int seat = m_mirror.currentSeat();
    if (seat == 1 || m_world.honestAt(seat) || m_kickedForStall >= 2) {
        ++m_world.counters.stalls;
        m_world.failure(QString::fromLatin1(m_name),
                        QString("the game stalled in the turn of seat %1 (%2)")
                            .arg(seat)
                            .arg(m_world.honestAt(seat)
                                     ? QString::fromLatin1(m_world.honestAt(seat)->name())
                                     : QString("not an honest client")));
        startGame();
        return;
    }
    // Somebody who does not play holds the seat: remove it, as a host would.
    ++m_kickedForStall;
    m_lastProgressNs = now;
    m_world.kickSent(seat);
    ++m_world.counters.rogueKicked;
    request(cmd::kickhim_(1, seat), QByteArray(cmd::playerdisconnected) + '+' + num(seat) + '+',
            true, Kind::Kick, "remove a seat that does not play");
}

void HonestClient::socialTick() {
    const qint64 now = SoakWorld::nowNs();
    if (now < m_nextChatNs)
        return;
    const bool seated = playing();
    m_nextChatNs = now + (seated ? 4000 + m_world.below(6000) : 800 + m_world.below(2000)) * ms;
    const int kind = m_world.below(10);
    if (kind < 7) {
        const QByteArray token = m_world.newToken();
        const QByteArray text = "hello " + token + " from " + m_name;
        m_world.chatSent(token, this);
        request(cmd::chat_(m_seat, text, "clBlack"),
                cmd::chatRelay_(m_seat, m_name, text + "|clBlack"), false, Kind::Chat, "chat");
    } else if (kind < 9) {
        const QByteArray token = m_world.newToken();
        const QByteArray text = "waves " + token;
        m_world.chatSent(token, this);
        request(cmd::action_(m_seat, text, "$00336699"),
                cmd::actionRelay_(m_seat, m_name, text + "|$00336699"), false, Kind::Chat,
                "action");
    } else {
        const int sound = 1 + m_world.below(20);
        request(cmd::playasound_(m_seat, sound),
                cmd::playasoundRelay_(m_seat, "wave" + num(sound) + '+'), false, Kind::Chat,
                "chatter sound");
    }
}

void HonestClient::tick() {
    const qint64 now = SoakWorld::nowNs();
    if (!m_sock) {
        if (m_reconnectAtNs >= 0 && now >= m_reconnectAtNs)
            connectNow();
        return;
    }
    for (auto it = m_expects.begin(); it != m_expects.end();) {
        if (now - it->sentNs < answerTimeout) {
            ++it;
            continue;
        }
        // A removal of a seat already gone has no answer.
        if (it->kind != Kind::Kick)
            m_world.failure(QString::fromLatin1(m_name),
                            QString("no answer to \"%1\" in %2 s (seat %3), waited for %4")
                                .arg(it->what)
                                .arg(double(now - it->sentNs) / 1e9, 0, 'f', 1)
                                .arg(m_seat)
                                .arg(QString::fromLatin1(it->text)));
        it = m_expects.erase(it);
        m_requestOut = std::any_of(m_expects.begin(), m_expects.end(), [](const Expect& x) {
            return x.kind == Kind::Game || x.kind == Kind::Refusal;
        });
    }
    if (!m_loggedIn)
        return;
    if (isHost()) {
        hostWatchdog();
        if (now >= m_nextRogueKickNs) {
            m_nextRogueKickNs = now + (15000 + m_world.below(10000)) * ms;
            for (int seat = 2; seat <= 9; ++seat)
                if (m_mirror.name(seat) == "Rogue") {
                    m_world.kickSent(seat);
                    ++m_world.counters.rogueKicked;
                    request(cmd::kickhim_(1, seat),
                            QByteArray(cmd::playerdisconnected) + '+' + num(seat) + '+', true,
                            Kind::Kick, "remove the rogue");
                    break;
                }
        }
    }
    socialTick();
    if (m_role.churns && now >= m_nextChurnNs) {
        m_nextChurnNs = now + (20000 + m_world.below(30000)) * ms;
        ++m_world.counters.churns;
        m_closing = true;
        m_sock->Close(); // at a random moment, maybe in the own turn
        return;
    }
    scheduleAct();
}
