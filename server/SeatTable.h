#pragma once

#include "game/Seats.h"

#include <QByteArray>

#include <array>
#include <memory>

class Peer;
class TSock;

// One seat of the table (see game/Seats.h). A seat without login name goes
// by seats::fallbackName.
struct Seat {
    QByteArray name;       // the login name; empty until login and once freed
    bool inUse = false;    // from accepting the connection until its close
    bool loggedIn = false; // its one login has been handled
    bool watching = false; // the computer plays the seat for its player
    std::unique_ptr<Peer> peer;
    TSock* sock = nullptr; // the socket behind the peer, if it is one
};

// The server's seats 1 to 9 and whom they are given to. Seat numbers are
// handed out lowest free first; the seat count is the highest seat handed
// out so far and never decreases.
class SeatTable {
public:
    SeatTable();
    ~SeatTable();

    Seat& operator[](int seat) { return m_seats.at(seat); }
    const Seat& operator[](int seat) const { return m_seats.at(seat); }
    bool inUse(int seat) const { return seats::isSeat(seat) && m_seats[seat].inUse; }
    int seatCount() const { return m_count; }
    // The seat's login name, or its fallback name when it has none.
    QByteArray displayName(int seat) const;
    // The name a login asking for wanted gets: wanted itself, or, when
    // another seat in use has it or it is a computer player's name, the first
    // of "wanted (2)", "wanted (3)", ... that nobody has. Every client then
    // tells players apart by name, the winner's own included. An empty name
    // is left as it is.
    QByteArray uniqueName(int seat, const QByteArray& wanted) const;

    // The seat a new connection gets, or 0 when all nine are in use. With
    // lowest 2, seat 1 is passed over (it is kept for the host's own client).
    int takeSeat(int lowest = 1);
    // Gives the seat to a connection (without a name yet, not watching).
    void occupy(int seat, std::unique_ptr<Peer> peer, TSock* sock);
    // Frees the seat and hands back its connection for disposal. The board
    // keeps its chips.
    std::unique_ptr<Peer> release(int seat);
    // The seat whose connection is this socket, or 0.
    int seatOf(const TSock* sock) const;

    // Sends a message (0xFF added here) to one seat in use.
    void sendTo(int seat, const QByteArray& message) const;
    // To every seat in use, in seat order.
    void sendAll(const QByteArray& message) const;
    // To every seat in use but one.
    void sendOthers(int except, const QByteArray& message) const;

private:
    std::array<Seat, seats::last + 1> m_seats; // index 0 unused
    int m_count = 0;
};
