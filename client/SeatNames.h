#pragma once

#include "game/Seats.h"

#include <QString>

// What the client adds to the seats of the table: the computer's seat and
// the computer players' names as the seats show them. The client asks here
// and nowhere else.
namespace seats {

// Seat 2 is played by the computer whenever no person holds it.
inline constexpr int computerSeat = 2;

// The computer player that plays the seat when no person does: "Klot",
// "Klick", "Kling" for seats 2 to 4; empty for any other seat.
inline QString computerName(int seat) {
    return QString::fromLatin1(labelHintName(seat));
}

} // namespace seats
