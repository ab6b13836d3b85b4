#pragma once

#include "game/Seats.h"

#include <QString>

// The program-wide values of the client. The own seat and name are the
// table model's (TableModel::ownSeat, ownName).
struct ClientState {
    static constexpr int playerSeats = seats::playing; // seats 1 to 4 play, higher seats watch
    QString playerName;                                // as typed (the command line)
    QString hostAddress;
    bool host = false;     // this process runs the server
    bool loggedIn = false; // the server's login request has arrived
};
