#pragma once

#include "game/Seats.h"

#include <QString>

// The program-wide values of the client.
struct ClientState {
    static constexpr int playerSeats = seats::playing; // seats 1 to 4 play, higher seats watch
    QString playerName;                                // as typed (the command line)
    QString ownName; // as the server announced the own seat; empty until then
    QString hostAddress;
    bool host = false;     // this process runs the server
    bool loggedIn = false; // the server's login request has arrived
    int ownSeat = 0;       // 0 until login; the table model keeps it too
};
