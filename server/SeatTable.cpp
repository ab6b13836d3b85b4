#include "server/SeatTable.h"

#include "protocol/Commands.h"
#include "server/Peer.h"

#include <algorithm>

SeatTable::SeatTable() = default;

SeatTable::~SeatTable() = default;

QByteArray SeatTable::displayName(int seat) const {
    const Seat& entry = m_seats.at(seat);
    return entry.name.isEmpty() ? QByteArray(seats::fallbackName(seat)) : entry.name;
}

QByteArray SeatTable::uniqueName(int seat, const QByteArray& wanted) const {
    if (wanted.isEmpty())
        return wanted;
    auto taken = [&](const QByteArray& name) {
        for (int other = 1; other <= seats::last; ++other) {
            const Seat& entry = m_seats[other];
            if (name == seats::fallbackName(other) ||
                (other != seat && entry.inUse && entry.name == name))
                return true;
        }
        return false;
    };
    QByteArray name = wanted;
    // Nine seats and three computer names: at most twelve tries.
    for (int n = 2; taken(name); ++n)
        name = wanted + " (" + QByteArray::number(n) + ')';
    return name;
}

int SeatTable::takeSeat(int lowest) {
    for (int seat = lowest; seat <= m_count; ++seat)
        if (!m_seats[seat].inUse)
            return seat;
    if (m_count < seats::last) {
        m_count = std::max(m_count + 1, lowest);
        return m_count;
    }
    return 0;
}

void SeatTable::occupy(int seat, std::unique_ptr<Peer> peer, TSock* sock) {
    Seat& entry = m_seats.at(seat);
    entry.inUse = true;
    entry.loggedIn = false;
    entry.name.clear();
    entry.watching = false;
    entry.peer = std::move(peer);
    entry.sock = sock;
}

std::unique_ptr<Peer> SeatTable::release(int seat) {
    Seat& entry = m_seats.at(seat);
    entry.inUse = false;
    entry.loggedIn = false;
    entry.name.clear();
    entry.watching = false;
    entry.sock = nullptr;
    return std::move(entry.peer);
}

int SeatTable::seatOf(const TSock* sock) const {
    if (!sock)
        return 0;
    for (int seat = 1; seat <= seats::last; ++seat)
        if (m_seats[seat].inUse && m_seats[seat].sock == sock)
            return seat;
    return 0;
}

void SeatTable::sendTo(int seat, const QByteArray& message) const {
    if (inUse(seat) && m_seats[seat].peer)
        m_seats[seat].peer->send(cmd::frame(message));
}

void SeatTable::sendAll(const QByteArray& message) const {
    sendOthers(0, message);
}

void SeatTable::sendOthers(int except, const QByteArray& message) const {
    const QByteArray framed = cmd::frame(message);
    for (int seat = 1; seat <= m_count; ++seat)
        if (seat != except && m_seats[seat].inUse && m_seats[seat].peer)
            m_seats[seat].peer->send(framed);
}
