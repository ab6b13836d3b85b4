#pragma once

// Typed messages: for every layout of the command catalogue, the fields as a
// struct and one reader that takes a message's argument text (everything
// after the command name and its "+") and returns them. The builders in
// Commands.h write the same layouts; a message built and read back compares
// equal to what was built.
//
// A reader refuses a message whose fields do not fit the layout by raising
// EConvertError (a number that does not parse or is missing, an item list
// cut short, a roll verdict other than "t" or "f"), before the caller
// changes anything. A missing text field reads as empty and fields after the
// layout's last are not looked at. It checks the layout only: whether a seat
// is in use or a column is on the board is for the caller, which knows the
// table, so numbers come back as written (negative, 14, 2^31-1). Free text
// (names, chat lines) comes back as the bytes sent, "+" included.

#include "game/BoardItem.h"
#include "protocol/EConvertError.h"

#include <QByteArray>
#include <QList>

namespace msg {

// ---- Client to server -------------------------------------------------

// CMD_logininfo+{seat}+{version}+{name}
struct Logininfo {
    int seat = 0;
    QByteArray version;
    QByteArray name;
    friend bool operator==(const Logininfo&, const Logininfo&) = default;
};
Logininfo readLogininfo(const QByteArray& args);

// CMD_kickhim+{requesting seat}+{seat to remove}+
struct Kickhim {
    int requester = 0;
    int target = 0;
    friend bool operator==(const Kickhim&, const Kickhim&) = default;
};
Kickhim readKickhim(const QByteArray& args);

// CMD_chat, CMD_action and CMD_playasound both ways: +{seat}+{body}. The
// body is free text: "text|colour" from a client, the relayed line (name
// included) from the server, "wave{n}+" for a sound.
struct SeatText {
    int seat = 0;
    QByteArray body;
    friend bool operator==(const SeatText&, const SeatText&) = default;
};
SeatText readSeatText(const QByteArray& args);

// CMD_startgame+{host's name}+{use-all flag}+ (both ways). Read from the
// right, so that a name holding "+" stays whole.
struct Startgame {
    QByteArray name;
    QByteArray useAllFlag;
    friend bool operator==(const Startgame&, const Startgame&) = default;
};
Startgame readStartgame(const QByteArray& args);

// CMD_justwatch+{seat}+{flag} and CMD_justwatching+{seat}+{flag}: flag 1
// watch, 2 play again. The flag is the field after the seat (up to a further
// "+"); other flags are carried as read and the handlers ignore them.
struct WatchFlag {
    int seat = 0;
    QByteArray flag;
    friend bool operator==(const WatchFlag&, const WatchFlag&) = default;
};
WatchFlag readWatchFlag(const QByteArray& args);

// Layouts whose only field is a seat: CMD_rollthedice, CMD_sendlogininfo,
// CMD_nextplayer, CMD_cannotroll, CMD_invalid, CMD_useall.
struct SeatOnly {
    int seat = 0;
    friend bool operator==(const SeatOnly&, const SeatOnly&) = default;
};
SeatOnly readSeatOnly(const QByteArray& args);

// CMD_placechip+{seat}+{column}+{die a}+{die b}+ (client to server).
struct Placechip {
    int seat = 0;
    int column = 0;
    int dieA = 0;
    int dieB = 0;
    friend bool operator==(const Placechip&, const Placechip&) = default;
};
Placechip readPlacechip(const QByteArray& args);

// CMD_endturn+{seat}+{code}+ (client to server; code "p" keeps the turn).
struct Endturn {
    int seat = 0;
    QByteArray code;
    friend bool operator==(const Endturn&, const Endturn&) = default;
};
Endturn readEndturn(const QByteArray& args);

// ---- Server to client -------------------------------------------------

// CMD_newplayerinfo, CMD_existingplayers, CMD_playerdisconnected:
// +{seat}+{name}.
struct SeatName {
    int seat = 0;
    QByteArray name;
    friend bool operator==(const SeatName&, const SeatName&) = default;
};
SeatName readSeatName(const QByteArray& args);

// CMD_havewrongversion+{name} and CMD_winner+{name}+: the name is the whole
// text (less a closing "+" for the winner), so a name holding "+" stays whole.
QByteArray readHavewrongversion(const QByteArray& args);
QByteArray readWinner(const QByteArray& args);

// One die of a roll or of a game in progress.
struct DieState {
    int die = 0;
    int value = 0;         // 0 to 5 for the faces 1 to 6; Dice::used when none
    bool available = true; // not used by a placement yet
    friend bool operator==(const DieState&, const DieState&) = default;
};

// CMD_gamestats+{seat}+{current}+{use-all flag} then the dice as
// "+d+{die}+{value}+{available}+0" and the occupied cells as
// "+c+{column}+{position}+{occupant}+{seat under}". Items of another tag are
// skipped (they carry four numbers too).
struct Gamestats {
    int seat = 0;     // the newcomer it is meant for
    int turnSeat = 0; // whose turn it is
    QByteArray useAllFlag;
    QList<DieState> dice;
    QList<BoardItem> cells;
    friend bool operator==(const Gamestats&, const Gamestats&) = default;
};
Gamestats readGamestats(const QByteArray& args);

// CMD_rolldice+{seat}+{verdict} then "+{die}+{value}" for each die; verdict
// "t" the roll can be played, "f" it cannot (the turn is lost).
struct Rolldice {
    int seat = 0;
    bool playable = true;
    QList<DieState> dice; // available is true for every rolled die
    friend bool operator==(const Rolldice&, const Rolldice&) = default;
};
Rolldice readRolldice(const QByteArray& args);

// CMD_placechip+{seat} then "+{tag}+{x}+{y}+{z}" for each change (server to
// client). Items of an unknown tag are skipped unread (but must have their
// three fields). A Covered item reads with the marker code as its occupant.
struct PlacechipResult {
    int seat = 0;
    QList<PlaceItem> items;
    friend bool operator==(const PlacechipResult&, const PlacechipResult&) = default;
};
PlacechipResult readPlacechipResult(const QByteArray& args);

// CMD_mustmove+{seat}+{column}+{position}+
struct Mustmove {
    int seat = 0;
    int column = 0;
    int position = 0;
    friend bool operator==(const Mustmove&, const Mustmove&) = default;
};
Mustmove readMustmove(const QByteArray& args);

// CMD_endturn+{seat}+{code} then "+{column}+{position}+{occupant}+{fill}"
// for each changed cell (server to client). The item "101+101+101+0" stands
// for "nothing changed": an item of column 101 reads as no item.
struct EndturnResult {
    int seat = 0;
    QByteArray code;
    QList<EndItem> items;
    friend bool operator==(const EndturnResult&, const EndturnResult&) = default;
};
EndturnResult readEndturnResult(const QByteArray& args);

// CMD_postscores+{seat}+{completed columns}+
struct Postscores {
    int seat = 0;
    int completed = 0;
    friend bool operator==(const Postscores&, const Postscores&) = default;
};
Postscores readPostscores(const QByteArray& args);

} // namespace msg
