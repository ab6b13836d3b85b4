// Construction, state and the dispatcher of TServer. Connections and seats
// are in TServerConnections.cpp, the table's messages (login, relaying,
// removal, watching) in TServerTable.cpp, the turn engine and the computer
// player's pacing in TServerTurns.cpp.
#include "server/TServer.h"

#include "game/SystemRandom.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "server/Peer.h"

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
    for (int seat = 1; seat <= seats::last; ++seat)
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
    return seats::isPlaying(seat) && (!m_seats[seat].inUse || m_seats[seat].watching);
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
        // A field that does not fit the layout: the readers refuse it before
        // the handler changes anything, so the message has no effect.
    }
    if (m_queue.isEmpty())
        m_socktimer.stop();
    else if (m_socktimer.interval() != dispatchMs)
        m_socktimer.start(dispatchMs);
}
