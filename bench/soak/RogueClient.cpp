#include "bench/soak/RogueClient.h"

#include "bench/soak/HonestClient.h"
#include "bench/soak/SoakWorld.h"
#include "bench/support/Loopback.h"
#include "game/Seats.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "server/ChatRate.h"
#include "server/ReceiveQueue.h"
#include "server/TServer.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qint64 ms = 1000000;
const QByteArray rogueName = "Rogue";
const QByteArrayList computerNames = {seats::fallbackName(2), seats::fallbackName(3),
                                      seats::fallbackName(4)};
// Requests the server queues and then ignores, whoever sends them.
const QByteArray ignoredRequest = "CMD_justwatch+9+3";
const char ff = char(0xFF);

QByteArray num(qint64 n) {
    return QByteArray::number(n);
}

int openSocket(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // A small window: when it stops reading, what the server sends it piles
    // up at the server rather than in this side's buffers.
    const int small = 8192;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const sockaddr_in address = loopback::address(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

// A connection too many: it must get "CMD_full+" and be dropped while all
// nine seats are taken; if a seat was free it leaves again at once.
struct RogueClient::Extra {
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    QByteArray received;
    qint64 openedNs = 0;
    ~Extra() {
        delete notifier;
        if (fd >= 0)
            ::close(fd);
    }
};

RogueClient::RogueClient(SoakWorld& world, int port, QObject* parent)
    : QObject(parent), m_world(world), m_port(port) {}

RogueClient::~RogueClient() {
    delete m_extra;
    delete m_readNotifier;
    delete m_writeNotifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void RogueClient::start() {
    connectNow();
    scheduleMisbehave();
}

void RogueClient::stop() {
    m_stopped = true;
    if (m_fd >= 0)
        disconnect(false, "the end of the run");
    delete m_extra;
    m_extra = nullptr;
}

void RogueClient::connectNow() {
    m_reconnectAtNs = -1;
    m_fd = openSocket(m_port);
    if (m_fd < 0) {
        m_world.failure("Rogue", "cannot connect");
        m_reconnectAtNs = SoakWorld::nowNs() + 500 * ms;
        return;
    }
    ++m_world.counters.rogueConnections;
    m_cutter.clear();
    m_out.clear();
    m_seat = 0;
    m_loggedIn = false;
    m_unterminated = 0;
    m_cutWhy.clear();
    m_myTurn = false;
    m_stallUntilNs = 0;
    m_connectedNs = SoakWorld::nowNs();
    m_ownRelayed = 0;
    m_lastNoticeNs = 0;
    m_notices = 0;
    m_noticeDueNs = 0;
    m_named = false;
    m_ownName.clear();
    m_names.clear();
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &RogueClient::onReadable);
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &RogueClient::onWritable);
}

void RogueClient::disconnect(bool byServer, const QString& why) {
    if (m_fd < 0)
        return;
    if (byServer) {
        if (!m_cutWhy.isEmpty())
            ++m_world.counters.rogueCut;
        // Otherwise the host removed it, or the dispatcher fell behind its
        // messages; neither is a fault of the server.
        else
            ++m_world.counters.rogueKinds["cut without a reason the rogue knew of"];
    }
    Q_UNUSED(why);
    delete m_readNotifier;
    delete m_writeNotifier;
    m_readNotifier = m_writeNotifier = nullptr;
    ::close(m_fd);
    m_fd = -1;
    m_cutWhy.clear();
    m_bloating = false;
    m_stallUntilNs = 0;
    if (!m_stopped)
        m_reconnectAtNs = SoakWorld::nowNs() + (20 + m_world.below(980)) * ms;
}

void RogueClient::expectCut(const QString& why, qint64 withinNs) {
    if (!m_cutWhy.isEmpty())
        return;
    m_cutWhy = why;
    m_cutDeadlineNs = SoakWorld::nowNs() + withinNs;
}

void RogueClient::onReadable() {
    if (m_fd < 0)
        return;
    if (SoakWorld::nowNs() < m_stallUntilNs && (m_cutWhy.isEmpty() || m_bloating)) {
        // Not reading: the server's output for this connection piles up.
        m_readNotifier->setEnabled(false);
        return;
    }
    char area[65536];
    const ssize_t got = ::recv(m_fd, area, sizeof area, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got <= 0) {
        disconnect(true, got == 0 ? "closed" : "reset");
        return;
    }
    const int fd = m_fd;
    for (const QByteArray& message : m_cutter.feed(QByteArray(area, int(got)))) {
        onMessage(message);
        if (m_fd != fd)
            return;
    }
}

void RogueClient::onWritable() {
    if (m_fd < 0)
        return;
    if (!m_out.isEmpty()) {
        const ssize_t sent = ::send(m_fd, m_out.constData(), size_t(m_out.size()), MSG_NOSIGNAL);
        if (sent > 0)
            m_out.remove(0, qsizetype(sent));
        else if (sent < 0 && errno != EAGAIN && errno != EINTR) {
            disconnect(true, "send failed");
            return;
        }
    }
    m_writeNotifier->setEnabled(!m_out.isEmpty());
}

void RogueClient::sendRaw(const QByteArray& bytes, const char* kind, int messages) {
    if (m_fd < 0 || bytes.isEmpty())
        return;
    m_world.counters.rogueMessages += messages;
    m_world.counters.rogueKinds[QString::fromLatin1(kind)] += messages;
    // What any seat may send (its own login, chat and moves) is not hostile.
    const QByteArray k(kind);
    if (!k.startsWith("own") && !k.startsWith("long chat") && !k.startsWith("login with"))
        m_world.counters.rogueHostile += messages;
    const qsizetype last = bytes.lastIndexOf(ff);
    m_unterminated = last < 0 ? m_unterminated + bytes.size() : bytes.size() - last - 1;
    if (m_unterminated > ReceiveQueue::maxPending)
        expectCut("more than 64 KiB without a terminator", 3000 * ms);
    m_out.append(bytes);
    onWritable();
}

void RogueClient::sendMessage(const QByteArray& message, const char* kind) {
    sendRaw(cmd::frame(message), kind);
}

void RogueClient::onMessage(const QByteArray& message) {
    const cmd::Split parts = cmd::split(message);
    const QByteArray& c = parts.command;
    if (c == cmd::sendlogininfo) {
        m_seat = SoakWorld::seatField(parts.args);
        const int way = m_world.below(100);
        if (way < 70) {
            sendMessage(cmd::logininfo_(m_seat, cmd::version, rogueName), "own login");
            m_loggedIn = true;
        } else if (way < 80) {
            // Must come back as "Klot (2)" and the like.
            sendMessage(cmd::logininfo_(m_seat, cmd::version, computerNames[m_world.below(3)]),
                        "own login under a computer player's name");
            m_loggedIn = true;
        } else if (way < 87) {
            sendMessage(cmd::logininfo_(m_seat, "0.9.9", rogueName), "login with a wrong version");
            m_loggedIn = true;
        } else if (way < 94) {
            // Never logs in: the login timeout must close it, and nothing it
            // sends before may take effect.
            ++m_world.counters.rogueKinds["never logged in"];
            expectCut("no login", 6000 * ms);
            probeBeforeLogin();
        } else {
            loginForAnotherSeat();
        }
        return;
    }
    checkNames(parts);
    checkOwnEffects(parts);
    if (m_fd < 0)
        return;
    // Requests in the name of the seat whose turn it is, at the moment they
    // would be accepted from that seat.
    const int target = SoakWorld::seatField(parts.args);
    if (target >= 1 && target <= 4 && target != m_seat && m_world.chance(0.25)) {
        const char* kind = "spoofed, aimed at the current seat";
        if (c == cmd::nextplayer) {
            sendMessage(cmd::rollthedice_(target), kind);
        } else if (c == cmd::rolldice) {
            const msg::Rolldice roll = msg::readRolldice(parts.args);
            if (roll.playable && roll.dice.size() >= 2)
                sendMessage(
                    cmd::placechip_(target, roll.dice[0].value + roll.dice[1].value + 2, 0, 1),
                    kind);
        } else if (c == cmd::placechip) {
            sendMessage(
                m_world.chance(0.5) ? cmd::endturn_(target, "p") : cmd::rollthedice_(target), kind);
        }
    }
    if (c == cmd::nextplayer) {
        m_myTurn = msg::readSeatOnly(parts.args).seat == m_seat;
        if (m_myTurn) {
            m_silentTurn = m_world.chance(0.15);
            m_turnJunk = m_world.below(4);
            if (!m_silentTurn)
                QTimer::singleShot(1 + m_world.below(20), this, [this] { playTurnStep("begin"); });
        }
        return;
    }
    if (!m_myTurn || m_silentTurn)
        return;
    if ((c == cmd::rolldice || c == cmd::placechip || c == cmd::invalid || c == cmd::useall ||
         c == cmd::mustmove || c == cmd::cannotroll) &&
        SoakWorld::seatField(parts.args) == m_seat)
        playTurnStep(message);
    else if (c == cmd::endturn && SoakWorld::seatField(parts.args) == m_seat)
        m_myTurn = false;
}

// A sloppy turn: a roll, some nonsense, one guess at a placement, then an
// end; refused ends become lost turns.
void RogueClient::playTurnStep(const QByteArray& trigger) {
    if (m_fd < 0 || !m_myTurn)
        return;
    ++m_world.counters.rogueOwnTurnRequests;
    const cmd::Split parts = cmd::split(trigger);
    if (trigger == "begin") {
        sendMessage(cmd::rollthedice_(m_seat), "own turn");
        return;
    }
    if (parts.command == cmd::rolldice) {
        const msg::Rolldice roll = msg::readRolldice(parts.args);
        if (!roll.playable)
            return;
        for (int i = 0; i < m_turnJunk; ++i)
            sendMessage(cmd::placechip_(m_seat, m_world.below(20) - 3, m_world.below(8) - 2,
                                        m_world.below(8) - 2),
                        "own turn, fields out of range");
        if (roll.dice.size() == 4) {
            const int a = m_world.below(4);
            const int b = (a + 1 + m_world.below(3)) % 4;
            const int column = roll.dice[a].value + roll.dice[b].value + 2;
            sendMessage(cmd::placechip_(m_seat, column, a, b), "own turn");
        }
        return;
    }
    if (parts.command == cmd::placechip || parts.command == cmd::invalid) {
        sendMessage(cmd::endturn_(m_seat, "p"), "own turn");
        return;
    }
    if (parts.command == cmd::useall || parts.command == cmd::mustmove ||
        parts.command == cmd::cannotroll)
        sendMessage(cmd::endturn_(m_seat, "zz"), "own turn, a nonsense end code");
}

void RogueClient::scheduleMisbehave() {
    if (m_stopped)
        return;
    QTimer::singleShot(20 + m_world.below(100), this, [this] {
        misbehave();
        scheduleMisbehave();
    });
}

void RogueClient::misbehave() {
    if (m_fd < 0)
        return;
    const QByteArray me = num(m_seat);
    int other = 1 + m_world.below(4);
    if (other == m_seat)
        other = other % 4 + 1;
    const QByteArray them = num(other);
    const int pick = m_world.below(100);
    if (pick < 25) {
        // Random bytes, now and then with a terminator or three among them.
        QByteArray junk(1 + m_world.below(600), Qt::Uninitialized);
        for (char& c : junk)
            c = char(m_world.below(255)); // 0 to 254: no 0xFF
        int messages = 0;
        if (m_world.chance(0.3))
            for (int i = m_world.below(3); i >= 0; --i, ++messages)
                junk[m_world.below(int(junk.size()))] = ff;
        sendRaw(junk, "random bytes", qMax(1, messages));
    } else if (pick < 40) {
        static const char* const kinds[] = {"roll", "place", "end",   "watch", "kick",
                                            "chat", "sound", "login", "start", "unwatch"};
        const int k = m_world.below(10);
        QByteArray message;
        switch (k) {
        case 0:
            message = cmd::rollthedice_(other);
            break;
        case 1:
            message = cmd::placechip_(other, 7, 0, 1);
            break;
        case 2:
            message = cmd::endturn_(other, "p");
            break;
        case 3:
            message = cmd::justwatch_(other, 1);
            break;
        case 4:
            message = cmd::kickhim_(1, other);
            break;
        case 5:
            message = cmd::chat_(other, "spoofed line", "clRed");
            break;
        case 6:
            message = cmd::playasound_(other, 3);
            break;
        case 7:
            message = cmd::logininfo_(other, cmd::version, "Spoof");
            break;
        case 8:
            message = cmd::startgame_(rogueName, "0");
            break;
        default:
            message = cmd::justwatch_(other, 2);
            break;
        }
        sendMessage(message, ("spoofed " + QByteArray(kinds[k])).constData());
    } else if (pick < 55) {
        static const QList<QByteArray> templates = {"CMD_placechip+@+99+0+1+",
                                                    "CMD_placechip+@+7+-1+9+",
                                                    "CMD_placechip+@+2147483648+0+1+",
                                                    "CMD_placechip+@+abc+0+1+",
                                                    "CMD_placechip+@+7+0+0+",
                                                    "CMD_placechip+@+7+3+4+",
                                                    "CMD_placechip+@+",
                                                    "CMD_placechip+@+1+2+3+",
                                                    "CMD_rollthedice+0+",
                                                    "CMD_rollthedice+-1+",
                                                    "CMD_rollthedice+99999999999+",
                                                    "CMD_rollthedice+10+",
                                                    "CMD_justwatch+0+1",
                                                    "CMD_justwatch+10+1",
                                                    "CMD_justwatch+@+7",
                                                    "CMD_justwatch+-4+2",
                                                    "CMD_kickhim+1+0+",
                                                    "CMD_kickhim+@+99+",
                                                    "CMD_kickhim+1+-1+",
                                                    "CMD_kickhim+x+y+",
                                                    "CMD_logininfo+0+1.0.1+Zero",
                                                    "CMD_logininfo+10+1.0.1+Ten",
                                                    "CMD_logininfo+-1+1.0.1+",
                                                    "CMD_endturn+@+",
                                                    "CMD_endturn+0+p+",
                                                    "CMD_endturn+11+p+",
                                                    "CMD_chat+",
                                                    "CMD_chat",
                                                    "CMD_+",
                                                    "+",
                                                    "",
                                                    "CMD_chat+0+hi|clBlack",
                                                    "CMD_chat+10+hi|clBlack",
                                                    "CMD_action+99+x|clRed",
                                                    "CMD_playasound+0+wave1+",
                                                    "CMD_startgame+",
                                                    "CMD_gamestats+@+1+0",
                                                    "CMD_winner+Rogue+",
                                                    "CMD_nextplayer+@+",
                                                    "cmd_chat+@+lower case|clBlack"};
        QByteArray message = templates[m_world.below(int(templates.size()))];
        message.replace('@', me);
        sendMessage(message, "fields out of range or malformed");
    } else if (pick < 59) {
        // One line longer than the server takes, in pieces.
        QByteArray line = QByteArray(cmd::chat) + '+' + me + '+';
        line.append(QByteArray(ReceiveQueue::maxPending + 4096 + m_world.below(8192), 'L'));
        ++m_world.counters.rogueOversize;
        sendRaw(line, "over-long line");
        expectCut("an over-long line", 3000 * ms);
    } else if (pick < 60) {
        // Requests beyond what the queue holds for one connection.
        QByteArray flood;
        const int count = ReceiveQueue::maxWaiting + 40 + m_world.below(200);
        for (int i = 0; i < count; ++i)
            flood += cmd::frame(ignoredRequest);
        ++m_world.counters.rogueFloods;
        sendRaw(flood, "flood of requests", count);
        expectCut("a flood", 3000 * ms);
    } else if (pick < 62) {
        // Chat far beyond the rate: dropped at arrival, told once, not cut.
        QByteArray flood;
        const int count = 3 * ChatRate::burst + m_world.below(400);
        for (int i = 0; i < count; ++i)
            flood += cmd::frame(i % 3 == 2 ? cmd::playasound_(m_seat, 1 + i % 20)
                                           : cmd::chat_(m_seat, "flood " + num(i), "clBlack"));
        sendRaw(flood, "chat flood beyond the rate", count);
        if (m_loggedIn && m_noticeDueNs == 0 && m_notices == 0)
            m_noticeDueNs = SoakWorld::nowNs() + 3000 * ms;
    } else if (pick < 69) {
        ++m_world.counters.rogueKinds["disconnects"];
        disconnect(false, "at random");
    } else if (pick < 71) {
        openExtra();
    } else if (pick < 72) {
        m_stallUntilNs = SoakWorld::nowNs() + (2000 + m_world.below(6000)) * ms;
        ++m_world.counters.rogueKinds["stops reading"];
    } else if (pick < 73 && m_loggedIn) {
        // Stops reading for a while and sends long lines to have them
        // relayed to itself: the chat rate keeps its unread backlog small
        // (a backlog past the limit would still be cut).
        m_stallUntilNs = SoakWorld::nowNs() + (3000 + m_world.below(5000)) * ms;
        ++m_world.counters.rogueBacklogs;
        for (int i = 0; i < 60; ++i)
            QTimer::singleShot(i * 25, this, [this, fd = m_fd] {
                if (m_fd == fd)
                    sendMessage(cmd::chat_(m_seat, QByteArray(60000, 'S'), "clBlack"),
                                "own long line while not reading");
            });
    } else if (pick < 74) {
        // Keeps a couple of hundred requests waiting: with the queue taking
        // the connections in turn, only the rogue waits for them.
        QByteArray many;
        const int count = 150 + m_world.below(ReceiveQueue::maxWaiting - 160);
        for (int i = 0; i < count; ++i)
            many += cmd::frame(ignoredRequest);
        sendRaw(many, "many requests kept waiting", count);
    } else if (pick < 76) {
        // A long but acceptable line, relayed to everybody.
        sendMessage(cmd::chat_(m_seat, QByteArray(20000 + m_world.below(40000), 'B'), "clBlack"),
                    "long chat line");
    } else if (pick < 90) {
        if (m_world.chance(0.5))
            sendMessage(cmd::chat_(m_seat, "rogue says hi", "clGreen"), "own chat");
        else
            sendMessage(cmd::playasound_(m_seat, 1 + m_world.below(25)), "own chatter sound");
    } else {
        // A request of its own seat out of turn, or a second login. A rogue
        // that is to stay without login sends no login at all here: it would
        // be its first, and its own chat would then rightly take effect.
        if (m_world.chance(0.5) || !m_loggedIn)
            sendMessage(cmd::rollthedice_(m_seat), "own request out of turn");
        else if (m_world.chance(0.5) || m_world.clients().isEmpty())
            sendMessage(cmd::logininfo_(m_seat, cmd::version, rogueName), "own second login");
        else
            sendMessage(
                cmd::logininfo_(
                    m_seat, cmd::version,
                    m_world.clients()[m_world.below(int(m_world.clients().size()))]->name()),
                "own second login under another player's name");
    }
    Q_UNUSED(them);
}

// The names at the table as the rogue hears them: its own must be unique and
// never a computer player's, and no second login may change it.
void RogueClient::checkNames(const cmd::Split& parts) {
    const QByteArray& c = parts.command;
    if (c != cmd::newplayerinfo && c != cmd::existingplayers && c != cmd::playerdisconnected)
        return;
    if (!parts.args.contains('+') || SoakWorld::seatField(parts.args) == 0)
        return;
    const auto [seat, name] = msg::readSeatName(parts.args);
    if (c == cmd::playerdisconnected) {
        m_names.remove(seat);
        return;
    }
    if (seat == m_seat && c == cmd::newplayerinfo) {
        if (m_named) {
            m_world.failure("Rogue",
                            "a second login renamed its seat to " + QString::fromLatin1(name));
            return;
        }
        m_named = true;
        m_ownName = name;
        if (computerNames.contains(name))
            m_world.failure("Rogue",
                            "it was given a computer player's name: " + QString::fromLatin1(name));
    } else if (seat != m_seat) {
        m_names[seat] = name;
    }
    if (m_named && !m_ownName.isEmpty())
        for (auto it = m_names.cbegin(); it != m_names.cend(); ++it)
            if (it.value() == m_ownName)
                m_world.failure("Rogue", QString("seats %1 and %2 share the name %3")
                                             .arg(m_seat)
                                             .arg(it.key())
                                             .arg(QString::fromLatin1(m_ownName)));
}

// What its own chat achieved: nothing before its login, no more than the
// rate lets through after it; and the "too fast" line once per flood.
void RogueClient::checkOwnEffects(const cmd::Split& parts) {
    const QByteArray& c = parts.command;
    if (c != cmd::chat && c != cmd::action && c != cmd::playasound && c != cmd::rolldice)
        return;
    const QByteArray me = num(m_seat);
    const qint64 now = SoakWorld::nowNs();
    if (c == cmd::chat && parts.args.startsWith("0+")) {
        const QByteArray notice =
            cmd::split(cmd::chat_(0, TServer::floodNotice, TServer::floodNoticeColour)).args;
        if (parts.args != notice)
            m_world.failure("Rogue",
                            "a system line it did not expect: " + QString::fromLatin1(parts.args));
        // A flood is told again only after a quiet spell that fills the bucket.
        else if (m_lastNoticeNs && now - m_lastNoticeNs < 8000 * ms)
            m_world.failure("Rogue", "told of one flood twice");
        m_lastNoticeNs = now;
        ++m_notices;
        ++m_world.counters.rogueKinds["told it chats too fast"];
        return;
    }
    if (!parts.args.startsWith(me + '+'))
        return;
    if (!m_loggedIn) {
        m_world.failure("Rogue",
                        "a request sent before the login took effect: " +
                            QString::fromLatin1(parts.command + '+' + parts.args.left(60)));
        return;
    }
    if (c == cmd::rolldice)
        return;
    // The bucket: a burst, then one token a second (a line may cost more).
    const qint64 allowed = ChatRate::burst + (now - m_connectedNs) / (ChatRate::refillMs * ms) + 1;
    if (++m_ownRelayed > allowed)
        m_world.failure("Rogue", QString("%1 of its chat lines relayed in %2 s")
                                     .arg(m_ownRelayed)
                                     .arg((now - m_connectedNs) / (1000 * ms)));
}

// Before a login that never comes: chat, an action made to look like a
// system line, a sound and its turn's requests. None may take effect.
void RogueClient::probeBeforeLogin() {
    const QByteArray probes[] = {
        cmd::chat_(m_seat, "before my login", "clBlack"),
        cmd::action_(m_seat, "Server: Rogue has Won the Game!", "clBlue"),
        cmd::playasound_(m_seat, 5),
        cmd::rollthedice_(m_seat),
        cmd::endturn_(m_seat, "p"),
        cmd::startgame_(rogueName, "0"),
    };
    for (const QByteArray& probe : probes)
        sendMessage(probe, "request before the login");
}

// Logs in only in another seat's name, again every half second, behind a
// queue of waiting requests: that is no login, and the login timeout must
// close the connection all the same.
void RogueClient::loginForAnotherSeat() {
    ++m_world.counters.rogueKinds["logged in only for another seat"];
    expectCut("only a login for another seat", 6000 * ms);
    const int other = m_seat % 9 + 1;
    for (int i = 0; i < 10; ++i)
        QTimer::singleShot(i * 500, this, [this, other, fd = m_fd] {
            if (m_fd != fd)
                return;
            QByteArray burst;
            for (int k = 0; k < 20; ++k)
                burst += cmd::frame(ignoredRequest);
            sendRaw(burst, "requests behind a login for another seat", 20);
            sendMessage(cmd::logininfo_(other, cmd::version, rogueName), "login for another seat");
        });
}

void RogueClient::openExtra() {
    if (m_extra)
        return;
    const int fd = openSocket(m_port);
    if (fd < 0)
        return;
    ++m_world.counters.rogueKinds["connection too many"];
    m_extra = new Extra;
    m_extra->fd = fd;
    m_extra->openedNs = SoakWorld::nowNs();
    m_extra->notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    connect(m_extra->notifier, &QSocketNotifier::activated, this, [this] {
        char area[4096];
        const ssize_t got = ::recv(m_extra->fd, area, sizeof area, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (got > 0)
            m_extra->received.append(area, int(got));
        const bool full = m_extra->received.startsWith(cmd::frame(cmd::full_()));
        if (full && got == 0)
            ++m_world.counters.rogueFullRefused; // told and dropped
        // Dropped, told it is full, or given a seat: in every case it goes.
        if (got <= 0 || m_extra->received.contains(cmd::sendlogininfo) || full) {
            if (!full && got <= 0 && !m_extra->received.contains(cmd::sendlogininfo))
                m_world.failure("Rogue", "a connection too many was dropped without \"CMD_full+\"");
            if (full && got > 0)
                return; // wait for the drop
            QTimer::singleShot(0, this, [this] {
                delete m_extra;
                m_extra = nullptr;
            });
            m_extra->notifier->setEnabled(false);
        }
    });
}

void RogueClient::tick() {
    const qint64 now = SoakWorld::nowNs();
    if (m_fd < 0) {
        if (!m_stopped && m_reconnectAtNs >= 0 && now >= m_reconnectAtNs)
            connectNow();
    } else {
        if (m_readNotifier && !m_readNotifier->isEnabled() && !m_bloating &&
            (now >= m_stallUntilNs || !m_cutWhy.isEmpty()))
            m_readNotifier->setEnabled(true);
        // Not reading, it sees the cut only when a send meets the closed
        // connection.
        if (m_bloating)
            sendMessage(cmd::chat_(m_seat, "still here", "clBlack"), "own chat");
        if (m_noticeDueNs && now > m_noticeDueNs && m_notices == 0) {
            m_world.failure("Rogue", "a chat flood beyond the rate was not told");
            m_noticeDueNs = 0;
        }
        if (!m_cutWhy.isEmpty() && now > m_cutDeadlineNs) {
            m_world.failure("Rogue", "the server kept a connection that sent " + m_cutWhy);
            disconnect(false, "not cut");
        }
    }
    if (m_extra && now - m_extra->openedNs > 3000 * ms) {
        m_world.failure("Rogue", "a connection too many got no answer in 3 s");
        delete m_extra;
        m_extra = nullptr;
    }
}
