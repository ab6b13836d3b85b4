#include "server/TServer.h"

#include "game/SystemRandom.h"
#include "protocol/Commands.h"
#include "protocol/FieldReader.h"
#include "server/BotSpeedSource.h"
#include "server/Peer.h"
#include "server/SockPeer.h"

namespace {

QList<cmd::PlaceItem> toWire(const std::vector<PlaceItem>& items) {
    QList<cmd::PlaceItem> out;
    for (const PlaceItem& item : items)
        out.append({item.tag, item.x, item.y, item.z});
    return out;
}

QList<cmd::EndItem> toWire(const std::vector<EndItem>& items) {
    QList<cmd::EndItem> out;
    for (const EndItem& item : items)
        out.append({item.column, item.position, item.occupant, item.fill});
    return out;
}

const QByteArray keepCode = "p";
const QByteArray loseCode = "n";

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
    const int seat = m_seats.takeSeat();
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
    if (!m_queue.feed(seat, bytes)) {
        closeConnection(seat); // over its limit: as if the peer had closed
        return;
    }
    scheduleDispatch();
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
    if (m_queue.hasWaiting(seat, QByteArray(cmd::logininfo) + '+')) {
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
    try {
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
    const QByteArray name = reader.rest();
    if (seat != sender || !m_seats.inUse(seat))
        return;
    m_logintimer[seat].stop();
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

// ---- Turn engine ----

void TServer::startgame(const QByteArray& args, int sender) {
    if (sender != 1)
        return;
    const auto [name, flag] = cmd::readStartgame(args);

    m_gameRunning = true;
    m_useAllFlag = flag;
    m_seats.sendAll(cmd::startgame_(name, flag));
    for (int seat = 1; seat <= SeatTable::playingSeats; ++seat)
        m_seats[seat].watching = false;
    // A game started during a pause replaces it, and the old game's
    // computer step with it.
    m_timer1.stop();
    m_timer1Tag = 0;
    m_computertimer.stop();
    m_computertimerTag = noStep;
    m_game.newGame(flag == "1");
    findplayer();
}

void TServer::findplayer() {
    m_game.startTurn();
    // Seat 2 always takes its turn (the computer plays it when nobody holds
    // it); seats 1, 3 and 4 only while held.
    do {
        m_currentSeat = m_currentSeat % SeatTable::playingSeats + 1;
    } while (!m_seats.inUse(m_currentSeat) && m_currentSeat != 2);
    m_rollingAllowed = true;
    m_turnOpen = true;
    m_seats.sendAll(cmd::nextplayer_(m_currentSeat));
    m_computer.resetTurn();
    if (computerPlayed(m_currentSeat))
        startComputer(rollStep);
}

void TServer::rollthedice(const QByteArray& args, int sender) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    if (seat == sender)
        requestRoll(seat);
}

void TServer::requestRoll(int seat) {
    if (!m_turnOpen || seat != m_currentSeat)
        return;
    if (!m_rollingAllowed) {
        m_seats.sendTo(seat, cmd::cannotroll_(seat));
        return;
    }
    rolldice(seat);
}

void TServer::rolldice(int seat) {
    m_rollingAllowed = false;
    m_game.roll(m_dice);
    const bool playable = m_game.playable(seat);
    m_seats.sendAll(cmd::rolldice_(seat, playable, m_game.dice().values()));
    if (!playable)
        endTurnFor(seat, loseCode);
    else if (computerPlayed(seat))
        startComputer(playStep);
}

void TServer::placechip(const QByteArray& args, int sender) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    const int column = reader.nextInt();
    const int firstDie = reader.nextInt();
    const int secondDie = reader.nextInt();
    if (seat == sender)
        requestPlace(seat, column, firstDie, secondDie);
}

void TServer::requestPlace(int seat, int column, int firstDie, int secondDie) {
    if (!m_turnOpen || seat != m_currentSeat)
        return;
    switch (m_game.checkPlacement(seat, column, firstDie, secondDie)) {
    case Game::PlaceRefusal::None:
        break;
    case Game::PlaceRefusal::DieUnavailable:
        refusePlacement(seat, keepCode);
        return;
    case Game::PlaceRefusal::BadRequest:
    case Game::PlaceRefusal::NotPlayable:
        refusePlacement(seat, loseCode);
        return;
    }
    const std::vector<PlaceItem> items = m_game.place(seat, column, firstDie, secondDie);
    m_rollingAllowed = true;
    m_seats.sendAll(cmd::placechipResult_(seat, toWire(items)));
    if (computerPlayed(seat))
        startComputer(playStep);
}

void TServer::refusePlacement(int seat, const QByteArray& computerCode) {
    m_seats.sendTo(seat, cmd::invalid_(seat));
    // A computer turn must not stall on a request the rules refuse.
    if (computerPlayed(seat))
        endTurnFor(seat, computerCode);
}

void TServer::endturn(const QByteArray& args, int sender) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    const QByteArray code = reader.next();
    if (seat == sender)
        requestEnd(seat, code);
}

void TServer::requestEnd(int seat, const QByteArray& code) {
    if (m_turnOpen && seat == m_currentSeat)
        endTurnFor(seat, code);
}

void TServer::endTurnFor(int seat, const QByteArray& code) {
    std::vector<EndItem> items;
    if (code == keepCode) {
        // For a seat whose player is gone a refused keep loses the turn, so
        // that the game goes on.
        switch (m_game.checkKeep()) {
        case Game::KeepRefusal::MarkersLeft:
            if (!m_seats.inUse(seat))
                return endTurnFor(seat, loseCode);
            m_seats.sendTo(seat, cmd::useall_(seat));
            return;
        case Game::KeepRefusal::MustMove:
            if (!m_seats.inUse(seat))
                return endTurnFor(seat, loseCode);
            if (const auto cell = m_game.mustMoveCell())
                m_seats.sendTo(seat, cmd::mustmove_(seat, cell->column, cell->position));
            return;
        case Game::KeepRefusal::None:
            break;
        }
        items = m_game.keep(seat);
    } else {
        items = m_game.lose();
    }
    m_turnOpen = false;
    m_seats.sendAll(cmd::endturnResult_(seat, code, toWire(items)));
    if (!checkforwin(seat))
        startPause(code == keepCode ? 2 : 5);
}

bool TServer::checkforwin(int seat) {
    const int completed = m_game.completedColumns(seat);
    m_seats.sendAll(cmd::postscores_(seat, completed));
    if (completed < Game::winningColumns)
        return false;
    m_seats.sendAll(cmd::winner_(m_seats.displayName(seat)));
    m_gameRunning = false;
    m_computertimer.stop();
    return true;
}

void TServer::startPause(int ticks) {
    m_timer1.stop();
    m_timer1Tag = 1;
    m_pauseTicks = ticks;
    m_timer1.start(m_pauseTickMs);
}

void TServer::timer1Timer() {
    if (!m_timer1.isActive())
        return;
    if (--m_pauseTicks >= 1)
        return;
    m_timer1.stop();
    if (m_timer1Tag == 1) {
        m_timer1Tag = 0;
        findplayer();
    }
}

// ---- Computer player ----

void TServer::startComputer(ComputerStep step) {
    m_computertimer.stop();
    m_computertimer.setInterval(qMax(0, m_botSpeed.botSpeedMs()));
    m_computertimerTag = step;
    m_computertimer.start();
}

void TServer::computertimerTimer() {
    if (!m_computertimer.isActive())
        return;
    m_computertimer.stop();
    if (m_computertimerTag == rollStep)
        computerroll(m_currentSeat);
    else if (m_computertimerTag == playStep)
        computerplay(m_currentSeat);
}

void TServer::computerroll(int seat) {
    if (!computerPlayed(seat))
        return;
    if (m_rollingAllowed)
        requestRoll(seat);
    else
        startComputer(playStep);
}

void TServer::computerplay(int seat) {
    // A player who stopped watching carries on by hand.
    if (!computerPlayed(seat) || !m_turnOpen)
        return;
    const BotMove move = m_computer.computerplay(m_game, seat);
    switch (move.kind) {
    case BotMove::Kind::RollStep:
        startComputer(rollStep);
        break;
    case BotMove::Kind::Place:
        requestPlace(seat, move.column, move.dieA, move.dieB);
        break;
    case BotMove::Kind::Keep:
        requestEnd(seat, keepCode);
        break;
    }
}
