// Connections and seats of TServer: accepting and refusing connections,
// reading them into the receive queue, and their close.
#include "server/TServer.h"

#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "server/Peer.h"
#include "server/SockPeer.h"

namespace {

// A seat whose connection closes in its turn ends it as a keep (lost when
// the rules refuse the keep).
const QByteArray keepCode = "p";

} // namespace

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
    sock->setTag(seats::last + 1);
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
    if (!seats::isSeat(seat))
        return;
    QTimer& timer = m_logintimer[seat];
    if (!timer.isActive())
        return;
    timer.stop();
    if (!m_seats.inUse(seat))
        return;
    // Only a login for its own seat counts: one naming another seat would
    // be ignored when its turn came.
    const auto ownLogin = [seat](const QByteArray& message) {
        const cmd::Split parts = cmd::split(message);
        if (parts.command != cmd::logininfo)
            return false;
        try {
            return msg::readLogininfo(parts.args).seat == seat;
        } catch (const EConvertError&) {
            return false;
        }
    };
    if (m_queue.hasWaiting(seat, ownLogin)) {
        timer.start(m_loginTimeoutMs); // it did log in; the queue is just long
        return;
    }
    closeConnection(seat);
}
