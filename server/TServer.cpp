#include "server/TServer.h"

#include "game/SystemRandom.h"
#include "protocol/Commands.h"
#include "protocol/FieldReader.h"
#include "server/BotSpeedSource.h"
#include "server/Peer.h"
#include "server/SockPeer.h"

namespace {

// A seat whose connection closes in its turn ends it as a keep (lost when
// the rules refuse the keep).
const QByteArray keepCode = "p";

} // namespace

TServer::TServer(BotSpeedSource& botSpeed, QObject* parent)
    : TServer(botSpeed, nullptr, nullptr, parent) {}

TServer::TServer(BotSpeedSource& botSpeed, DiceSource& dice, RandomSource& random, QObject* parent)
    : TServer(botSpeed, &dice, &random, parent) {}

TServer::TServer(BotSpeedSource& botSpeed, DiceSource* dice, RandomSource* random, QObject* parent)
    : QObject(parent), m_botSpeed(botSpeed),
      m_ownRandom(dice && random ? nullptr : std::make_unique<SystemRandom>()),
      m_dice(dice ? *dice : *m_ownRandom), m_random(random ? *random : *m_ownRandom),
      m_computer(m_random) {
    setObjectName("Server");
    m_clockStart.start();
    m_nowMs = [this] { return m_clockStart.elapsed(); };
    m_sock1.setObjectName("Sock1");
    m_sock1.setPortName("7772");
    m_sock1.OnAccept = [this](TSock* sender) { Sock1Accept(sender); };
    m_sock1.OnRead = [this](TSock* sender, int count) { Sock1Read(sender, count); };
    // Never opened: it only carries the handlers every accepted connection gets.
    m_tempsock.setObjectName("tempsock");
    m_tempsock.OnDisconnect = [this](TSock* sender) { tempsockDisconnect(sender); };
    m_tempsock.OnInfo = [this](TSock* sender, TSocketInfo kind, const QString& msg) {
        tempsockInfo(sender, kind, msg);
    };

    m_socktimer.setObjectName("socktimer");
    connect(&m_socktimer, &QTimer::timeout, this, &TServer::socktimerTimer);
    m_timer1.setObjectName("timer1");
    connect(&m_timer1, &QTimer::timeout, this, &TServer::timer1Timer);
    // Repeating timers whose handlers stop them first: a handler then sees
    // its timer active exactly when a tick is due, also when a test steps it.
    m_computertimer.setObjectName("computertimer");
    connect(&m_computertimer, &QTimer::timeout, this, &TServer::computertimerTimer);
    for (int seat = 1; seat <= SeatTable::lastSeat; ++seat)
        connect(&m_logintimer[seat], &QTimer::timeout, this,
                [this, seat] { logintimerTimer(seat); });

    m_router.add(cmd::logininfo, [this](const QByteArray& a, int s) { receivedlogininfo(a, s); });
    m_router.add(cmd::kickhim, [this](const QByteArray& a, int s) { kickhim(a, s); });
    m_router.add(cmd::chat, [this](const QByteArray& a, int s) { chat(a, s); });
    m_router.add(cmd::action, [this](const QByteArray& a, int s) { action(a, s); });
    m_router.add(cmd::playasound, [this](const QByteArray& a, int s) { playasound(a, s); });
    m_router.add(cmd::startgame, [this](const QByteArray& a, int s) { startgame(a, s); });
    m_router.add(cmd::justwatch, [this](const QByteArray& a, int s) { justwatch(a, s); });
    m_router.add(cmd::rollthedice, [this](const QByteArray& a, int s) { rollthedice(a, s); });
    m_router.add(cmd::placechip, [this](const QByteArray& a, int s) { placechip(a, s); });
    m_router.add(cmd::endturn, [this](const QByteArray& a, int s) { endturn(a, s); });
}

TServer::~TServer() {
    // The accepted sockets die with the listener and would report their
    // close to a server that is half gone.
    for (TSock* sock : m_sock1.findChildren<TSock*>()) {
        sock->OnInfo = nullptr;
        sock->OnDisconnect = nullptr;
        sock->OnRead = nullptr;
        sock->OnWrite = nullptr;
    }
}

bool TServer::anyTimerActive() const {
    if (m_socktimer.isActive() || m_timer1.isActive() || m_computertimer.isActive())
        return true;
    for (const QTimer& timer : m_logintimer)
        if (timer.isActive())
            return true;
    return false;
}

bool TServer::computerPlayed(int seat) const {
    return SeatTable::isPlayingSeat(seat) && (!m_seats[seat].inUse || m_seats[seat].watching);
}

// ---- Connections and seats ----

void TServer::Sock1Accept(TSock*) {
    TSock* sock = nullptr;
    if (!m_sock1.Accept(sock) || !sock)
        return;
    // Seat 1 is the host's: while its own client has not come in, a faster
    // joiner is seated from seat 2 on, or it would hold the host's seat and
    // with it the right to start the game.
    const bool ownClient = m_ownClientPort != 0 && sock->peerPort() == m_ownClientPort &&
                           sock->hostName() == QLatin1String("127.0.0.1");
    const int seat = m_seats.takeSeat(m_ownClientPort != 0 && !ownClient ? 2 : 1);
    if (ownClient && seat == 1)
        m_ownClientPort = 0;
    if (seat == 0) {
        refuse(sock);
        return;
    }
    sock->setTag(seat);
    sock->OnRead = m_sock1.OnRead;
    sock->OnDisconnect = m_tempsock.OnDisconnect;
    sock->OnInfo = m_tempsock.OnInfo;
    seatConnection(seat, std::make_unique<SockPeer>(sock), sock);
}

void TServer::refuse(TSock* sock) {
    // Seat 10: only held for the moment of refusing.
    sock->setTag(SeatTable::lastSeat + 1);
    sock->OnRead = nullptr;
    sock->OnInfo = nullptr;
    sock->Send(cmd::frame(cmd::full_()));
    if (sock->pendingOutput() == 0) {
        sock->Close();
        sock->deleteLater();
        return;
    }
    // The network did not take it all at once: close once it has, or when
    // the peer goes first.
    sock->OnWrite = [](TSock* s) {
        if (s->pendingOutput() == 0) {
            s->Close();
            s->deleteLater();
        }
    };
    sock->OnDisconnect = [](TSock* s) {
        s->Close();
        s->deleteLater();
    };
}

int TServer::acceptPeer(std::unique_ptr<Peer> peer) {
    const int seat = m_seats.takeSeat();
    if (seat == 0) {
        peer->send(cmd::frame(cmd::full_()));
        peer->close();
        return 0;
    }
    seatConnection(seat, std::move(peer), nullptr);
    return seat;
}

void TServer::seatConnection(int seat, std::unique_ptr<Peer> peer, TSock* sock) {
    m_seats.occupy(seat, std::move(peer), sock);
    m_chatRate[seat].reset(m_nowMs());
    m_seats.sendTo(seat, cmd::sendlogininfo_(seat));
    m_logintimer[seat].start(m_loginTimeoutMs);
}

void TServer::Sock1Read(TSock* sender, int) {
    const QByteArray bytes = sender->Receive();
    feed(m_seats.seatOf(sender), bytes);
}

void TServer::feed(int seat, const QByteArray& bytes) {
    if (!m_seats.inUse(seat))
        return;
    bool tell = false;
    const bool withinLimits = m_queue.feed(
        seat, bytes, [&](const QByteArray& message) { return admit(seat, message, tell); });
    if (!withinLimits) {
        closeConnection(seat); // over its limit: as if the peer had closed
        return;
    }
    if (tell)
        m_seats.sendTo(seat, cmd::chat_(0, floodNotice, floodNoticeColour));
    scheduleDispatch();
}

// The chat rate is applied as messages arrive, not as they are handled:
// dropped lines then take no room in the queue and no dispatcher tick, and
// the rate is measured by when the sender sent them, not by how long the
// queue was when they came up. Chat lines, actions and chatter sounds count,
// whatever seat they name; everything else passes.
bool TServer::admit(int seat, const QByteArray& message, bool& tell) {
    const QByteArray command = cmd::split(message).command;
    if (command != cmd::chat && command != cmd::action && command != cmd::playasound)
        return true;
    switch (m_chatRate[seat].take(m_nowMs(), message.size())) {
    case ChatRate::Verdict::pass:
        return true;
    case ChatRate::Verdict::dropAndTell:
        tell = true;
        return false;
    case ChatRate::Verdict::drop:
        return false;
    }
    return false;
}

void TServer::closeConnection(int seat) {
    if (!m_seats.inUse(seat))
        return;
    if (Peer* peer = m_seats[seat].peer.get())
        peer->close(); // a socket reports "Socket Closed" from in here
    connectionClosed(seat);
}

void TServer::disconnectsock(int seat) {
    closeConnection(seat);
}

void TServer::tempsockDisconnect(TSock* sender) {
    if (m_seats.seatOf(sender) != 0)
        sender->Close();
}

void TServer::tempsockInfo(TSock* sender, TSocketInfo, const QString& msg) {
    if (msg != QLatin1String("Socket Closed"))
        return;
    // A second report for a seat already freed finds no seat.
    if (const int seat = m_seats.seatOf(sender))
        connectionClosed(seat);
}

void TServer::connectionClosed(int seat) {
    if (!m_seats.inUse(seat))
        return;
    m_seats.sendOthers(seat, cmd::playerdisconnected_(seat, m_seats[seat].name));
    std::unique_ptr<Peer> peer = m_seats.release(seat);
    m_logintimer[seat].stop();
    // Whatever it sent and was not handled yet goes with it, so that it is
    // never taken for the next connection in this seat.
    m_queue.dropSeat(seat);
    if (m_queue.isEmpty())
        m_socktimer.stop();
    peer.reset();
    if (m_turnOpen && seat == m_currentSeat && seat != 1)
        endTurnFor(seat, keepCode); // no longer in use: a refused keep is lost
}

void TServer::logintimerTimer(int seat) {
    if (!SeatTable::isSeat(seat))
        return;
    QTimer& timer = m_logintimer[seat];
    if (!timer.isActive())
        return;
    timer.stop();
    if (!m_seats.inUse(seat))
        return;
    // Only a login for its own seat counts: one naming another seat would
    // be ignored when its turn came.
    const QByteArray ownLogin = QByteArray(cmd::logininfo) + '+' + QByteArray::number(seat) + '+';
    if (m_queue.hasWaiting(seat, ownLogin)) {
        timer.start(m_loginTimeoutMs); // it did log in; the queue is just long
        return;
    }
    closeConnection(seat);
}

// ---- Receive queue ----

void TServer::scheduleDispatch() {
    if (m_queue.isEmpty() || m_socktimer.isActive())
        return;
    // Keep the 10 ms pace, but do not make a message wait that arrives
    // at a server that has been idle for a tick or longer.
    qint64 wait = 0;
    if (m_lastDispatch.isValid())
        wait = qMax<qint64>(0, dispatchMs - m_lastDispatch.elapsed());
    m_socktimer.start(int(wait));
}

void TServer::socktimerTimer() {
    if (!m_socktimer.isActive())
        return;
    if (m_queue.isEmpty()) {
        m_socktimer.stop();
        return;
    }
    const ReceiveQueue::Entry entry = m_queue.take();
    m_lastDispatch.start();
    // Until its login is handled a connection may do nothing else; its
    // messages come up in the order it sent them, so a login sent first has
    // been handled by the time the next one comes up.
    const bool allowed =
        m_seats[entry.seat].loggedIn || cmd::split(entry.text).command == cmd::logininfo;
    try {
        if (allowed)
            m_router.dispatch(entry.text, entry.seat);
    } catch (const EConvertError&) {
        // A numeric field that does not parse: the message has no effect.
    }
    if (m_queue.isEmpty())
        m_socktimer.stop();
    else if (m_socktimer.interval() != dispatchMs)
        m_socktimer.start(dispatchMs);
}

// ---- Login, relaying, removal, watching ----

void TServer::receivedlogininfo(const QByteArray& args, int sender) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    const QByteArray version = reader.next();
    const QByteArray wanted = reader.rest();
    // One login per connection: a later one would rename a player in the
    // middle of a game.
    if (seat != sender || !m_seats.inUse(seat) || m_seats[seat].loggedIn)
        return;
    m_logintimer[seat].stop();
    m_seats[seat].loggedIn = true;
    const QByteArray name = m_seats.uniqueName(seat, wanted);
    m_seats[seat].name = name;
    m_seats.sendAll(cmd::newplayerinfo_(seat, name));
    for (int other = 1; other <= m_seats.seatCount(); ++other)
        if (other != seat && m_seats.inUse(other))
            m_seats.sendTo(seat, cmd::existingplayers_(other, m_seats[other].name));
    if (version != cmd::version) {
        m_seats.sendTo(1, cmd::havewrongversion_(name));
        m_seats.sendTo(seat, cmd::wrongversion_());
    }
    if (m_gameRunning)
        m_seats.sendTo(seat, gamestats(seat));
}

QByteArray TServer::gamestats(int seat) const {
    QList<cmd::StateItem> items;
    const Dice& dice = m_game.dice();
    for (int die = 0; die < Dice::count; ++die)
        items.append({'d', die, dice.value(die), dice.available(die) ? 1 : 0, 0});
    const Board& board = m_game.board();
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column)
        for (int position = 0; position <= Board::top(column); ++position) {
            const Cell& cell = board.cell(column, position);
            if (cell.occupant != 0)
                items.append({'c', column, position, cell.occupant, cell.covered});
        }
    return cmd::gamestats_(seat, m_currentSeat, m_useAllFlag, items);
}

void TServer::kickhim(const QByteArray& args, int sender) {
    FieldReader reader(args);
    const int requester = reader.nextInt();
    const int target = reader.nextInt();
    if (requester != sender || requester != 1)
        return;
    disconnectsock(target);
}

void TServer::chat(const QByteArray& args, int sender) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    if (seat != sender || !m_seats.inUse(seat))
        return;
    m_seats.sendAll(cmd::chatRelay_(seat, m_seats[seat].name, reader.rest()));
}

void TServer::action(const QByteArray& args, int sender) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    if (seat != sender || !m_seats.inUse(seat))
        return;
    m_seats.sendAll(cmd::actionRelay_(seat, m_seats[seat].name, reader.rest()));
}

void TServer::playasound(const QByteArray& args, int sender) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    if (seat != sender || !m_seats.inUse(seat))
        return;
    m_seats.sendAll(cmd::playasoundRelay_(seat, reader.rest()));
}

void TServer::justwatch(const QByteArray& args, int sender) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    const QByteArray flag = reader.next();
    if (!SeatTable::isPlayingSeat(seat))
        return;
    // A player sets only the own seat; the host may set any playing seat.
    if (seat != sender && sender != 1)
        return;
    if (flag == "2") {
        m_seats[seat].watching = false;
        m_seats.sendAll(cmd::justwatching_(seat, 2));
    } else if (flag == "1" && m_gameRunning) {
        m_seats[seat].watching = true;
        m_seats.sendAll(cmd::justwatching_(seat, 1));
        if (seat == m_currentSeat)
            startComputer(playStep); // the computer carries on with the turn
    }
}
