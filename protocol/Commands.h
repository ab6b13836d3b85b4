#pragma once

// The command catalogue: every command name and one builder per message
// layout. Nothing else in the program spells a layout out.
//
// Grammar: a message is the command name, then fields each introduced by
// "+", ended by the byte 0xFF (added by frame(), not by the builders). Some
// layouts end with a "+" after the last field. Numbers are plain decimal.
// A free-text field (a name, a chat line) is always the last field, so it may
// hold "+". Text is 8-bit (see Cp1252.h); builders take it as bytes.

#include "game/BoardItem.h"
#include "protocol/Messages.h"

#include <QByteArray>
#include <QList>

#include <array>

namespace cmd {

// Client to server (the first field is the sender's seat, except startgame).
inline constexpr char logininfo[] = "CMD_logininfo";     // +seat+version+name
inline constexpr char kickhim[] = "CMD_kickhim";         // +requesting seat+seat to remove+
inline constexpr char chat[] = "CMD_chat";               // +seat+text|colour (relayed: +seat+body)
inline constexpr char action[] = "CMD_action";           // +seat+text|colour (relayed: +seat+body)
inline constexpr char playasound[] = "CMD_playasound";   // +seat+wave{n}+ (relayed unchanged)
inline constexpr char startgame[] = "CMD_startgame";     // +host's name+use-all flag+ (both ways)
inline constexpr char justwatch[] = "CMD_justwatch";     // +seat+1 (watch) or +seat+2 (play again)
inline constexpr char rollthedice[] = "CMD_rollthedice"; // +seat+
inline constexpr char placechip[] = "CMD_placechip"; // +seat+column+die a+die b+ (answer: items)
inline constexpr char endturn[] = "CMD_endturn";     // +seat+p+ (answer: +seat+code then items)

// Server to client.
inline constexpr char sendlogininfo[] = "CMD_sendlogininfo";       // +seat (one: the newcomer)
inline constexpr char full[] = "CMD_full";                         // + (one: refused connection)
inline constexpr char newplayerinfo[] = "CMD_newplayerinfo";       // +seat+name (all)
inline constexpr char existingplayers[] = "CMD_existingplayers";   // +seat+name (one: newcomer)
inline constexpr char havewrongversion[] = "CMD_havewrongversion"; // +newcomer's name (one: seat 1)
inline constexpr char wrongversion[] = "CMD_wrongversion";         // + (one: newcomer)
inline constexpr char gamestats[] = "CMD_gamestats"; // +seat+current+use-all then state items
inline constexpr char playerdisconnected[] = "CMD_playerdisconnected"; // +seat+name (all others)
inline constexpr char justwatching[] = "CMD_justwatching";             // +seat+1 or +seat+2 (all)
inline constexpr char nextplayer[] = "CMD_nextplayer";                 // +seat+ (all)
inline constexpr char rolldice[] = "CMD_rolldice";     // +seat+verdict then four roll items (all)
inline constexpr char cannotroll[] = "CMD_cannotroll"; // +seat+ (one)
inline constexpr char invalid[] = "CMD_invalid";       // +seat+ (one)
inline constexpr char useall[] = "CMD_useall";         // +seat+ (one)
inline constexpr char mustmove[] = "CMD_mustmove";     // +seat+column+position+ (one)
inline constexpr char postscores[] = "CMD_postscores"; // +seat+completed columns+ (all)
inline constexpr char winner[] = "CMD_winner";         // +winner's name+ (all)

// The version text sent at login and compared by the host.
inline constexpr char version[] = "1.0.1";

// Appends the 0xFF terminator.
QByteArray frame(const QByteArray& message);

// Client to server.
QByteArray logininfo_(int seat, const QByteArray& versionText, const QByteArray& name);
QByteArray kickhim_(int requester, int target);
QByteArray chat_(int seat, const QByteArray& text, const QByteArray& colour);
QByteArray action_(int seat, const QByteArray& text, const QByteArray& colour);
QByteArray playasound_(int seat, int sound);
QByteArray startgame_(const QByteArray& name, const QByteArray& useAllFlag);
QByteArray justwatch_(int seat, int flag);
QByteArray rollthedice_(int seat);
QByteArray placechip_(int seat, int column, int dieA, int dieB);
QByteArray endturn_(int seat, const QByteArray& code);

// Server to client.
QByteArray sendlogininfo_(int seat);
QByteArray full_();
QByteArray newplayerinfo_(int seat, const QByteArray& name);
QByteArray existingplayers_(int seat, const QByteArray& name);
QByteArray havewrongversion_(const QByteArray& name);
QByteArray wrongversion_();
// The dice first, then the occupied cells.
QByteArray gamestats_(int seat, int current, const QByteArray& useAllFlag,
                      const QList<msg::DieState>& dice, const QList<BoardItem>& cells);
QByteArray chatRelay_(int seat, const QByteArray& name, const QByteArray& rest);
QByteArray actionRelay_(int seat, const QByteArray& name, const QByteArray& rest);
QByteArray playasoundRelay_(int seat, const QByteArray& rest);
QByteArray playerdisconnected_(int seat, const QByteArray& name);
QByteArray justwatching_(int seat, int flag);
QByteArray nextplayer_(int seat);
QByteArray rolldice_(int seat, bool playable, const std::array<int, 4>& values);
QByteArray cannotroll_(int seat);
QByteArray placechipResult_(int seat, const QList<PlaceItem>& items);
QByteArray invalid_(int seat);
QByteArray useall_(int seat);
QByteArray mustmove_(int seat, int column, int position);
// No item is written as the item "101+101+101+0", which stands for "nothing changed".
QByteArray endturnResult_(int seat, const QByteArray& code, const QList<EndItem>& items);
QByteArray postscores_(int seat, int completed);
QByteArray winner_(const QByteArray& name);

// Splits a message at its first "+": the command name and the argument text.
// A message without "+" has an empty command name.
struct Split {
    QByteArray command;
    QByteArray args;
};
Split split(const QByteArray& message);

} // namespace cmd
