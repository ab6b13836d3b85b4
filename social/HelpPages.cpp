#include "social/HelpPages.h"

#include <array>

namespace {

struct Page {
    const char* caption;
    const char* body;
};

// Each page starts with its own title line. The texts are fixed and written
// in simple rich text; nothing here comes from a player.
const std::array<Page, HelpPages::count> pages{{
    {"Overview", R"(<p><b>Overview</b></p>
<p>Climora is a dice race up eleven columns for one to four players: roll, pair the dice
and climb, and know when to stop before your luck runs out.</p>
<p>It is one of the Orvane lobby games: quick to learn, quick to play, and just as much fun
against friends from the lobby as against the computer.</p>)"},

    {"Connecting", R"(<p><b>Connecting</b></p>
<p><b>Solo games.</b> Started on its own, Climora sets up a game on this computer against
the computer player Klot. Press <b>Start Game</b> (the button on the board, or File &gt; Start
Game) to begin. A solo game needs no internet connection, but the game talks to itself over
the network, so your firewall must allow Climora to use the network.</p>
<p><b>Multi-player games.</b> Games with other people are arranged through the Orvane Lobby:
meet the other players there and start the game from the lobby. One player hosts the game
and everybody else joins it.</p>
<p><b>Hosting.</b> The host's computer must accept incoming connections on TCP port
<b>7772</b>. If your firewall or router blocks that port, the others cannot join you.</p>
<p><b>The host leaving.</b> The host is usually the first player in the list. If the host
disconnects or closes the game, all play ends for everybody.</p>)"},

    {"Game Play", R"(<p><b>Game Play</b></p>
<p><b>The aim.</b> The board has eleven columns, numbered 2 to 12 after the sums of two
dice. The middle columns are the tallest: columns 2 and 12 have 3 places, 3 and 11 have 5,
4 and 10 have 7, 5 and 9 have 9, 6 and 8 have 11 and column 7 has 13. You complete a column
by ending a turn with a chip of your colour on its top place. The first player with three
completed columns wins.</p>
<p><b>Rolling.</b> On your turn press <b>Roll</b>. Four dice are rolled. Click two of them to
pair them: their sum is the column you may climb. Then click a place in that column. After
placing with one pair you may also use the other two dice, if their sum can be played.</p>
<p><b>The black markers.</b> Each turn you have three black markers. The first time you play
a column in a turn, a black marker goes on the place just above your own chip in that column,
or on the bottom place if you have no chip there yet. Each later time you play that column in
the same turn, its marker moves up one place. A column holds only one black marker, and once
all three markers are on the board you can only move them on in their own columns. A marker
moves one place at a time even when the place is taken by another player's chip: it then sits
on top of that chip.</p>
<p><b>Completed columns are dead.</b> A column that a player has completed is closed to
everybody, and so is a column whose top place your own black marker already holds.</p>
<p><b>Roll again or end the turn.</b> After a placement you choose: press <b>Roll</b> again to
climb further, or press <b>End</b> to keep what you have. You must place at least once after
each roll before you may roll again. Ending the turn replaces your black markers with chips of
your own colour. A chip you keep on the top place of a column completes it: every other chip
in that column is removed and the column is closed.</p>
<p><b>When you cannot end.</b> A turn cannot be ended while one of your black markers sits on
another player's chip: move that marker on first. When the host has switched on <b>Use All
Markers</b>, a turn also cannot be ended until all three black markers are on the board.</p>
<p><b>Pushing your luck.</b> If a roll gives no pair that can be played, the turn ends at once
and the black markers are taken off. Everything gained in that turn is lost, and so is your
chip in every column where a new marker started above it during the turn: that chip was lifted
to make way for the marker and does not come back.</p>
<p><b>Playing by keyboard.</b> The whole game can be played without the mouse. Keys
<b>1</b> to <b>4</b> select or unselect the first to fourth die. With two dice selected, their
sum shows beside the dice, the column that can take them is framed, and <b>Enter</b> places
them in that column. <b>R</b> or <b>Space</b> rolls, <b>E</b> ends the turn and <b>S</b> starts
a game when you host (in the game start window <b>Enter</b> starts, <b>Space</b> switches Use
All Markers). While the chat line has the focus your typing goes there; <b>Escape</b> gives the
keys back to the game (the chat line has the focus when the window opens). The Play menu lists the same keys, <b>Alt</b> with a menu's underlined
letter opens it, and <b>Ctrl+Q</b> exits.</p>
<p><b>Looking back.</b> <b>View, Game Log</b> (Ctrl+L) lists every turn, roll and placement of
the game you are at. <b>View, Statistics</b> (Ctrl+T) shows how often each face came up, in this
game and in all games kept on this computer, with a test of whether the dice look fair and how
many rolls fitted nothing against how many the odds expected.</p>)"},

    {"Scoring", R"(<p><b>Scoring</b></p>
<p>The first player to complete 3 columns wins the game.</p>
<p>The number beside each player's name is the number of columns that player has
completed.</p>)"},

    {"Documentation", R"(<p><b>Documentation</b></p>
<p><b>Version 1.0.0.0</b></p>
<p>The first release.</p>
<p><b>Version 1.0.1.0</b></p>
<ul>
<li>Fixed the Start Game menu item.</li>
<li>Added the option to force all markers into play before a turn may end (Use All
Markers).</li>
<li>Added the labels of the working columns.</li>
<li>More time before the next turn begins after a turn ended without scoring dice.</li>
</ul>)"},

    {"Options", R"(<p><b>Options</b></p>
<p><b>Just Watch.</b> Options &gt; Just Watch lets the computer play your seat while you watch;
you keep your seat, name and score. Choose it again to play yourself. It can be set only while
a game is in progress, and the mark appears once the host has confirmed it. The host can also
set or clear it for any seat from the menu of a player's name.</p>
<p><b>Bot Speed.</b> Options &gt; Bot Speed sets how quickly the computer players move: Slow,
Normal or Fast. The host's setting counts.</p>
<p><b>Sounds.</b> Play Sounds switches the game sounds on and off. Player Phrase Sounds
switches the chatter sounds that players send; when it is off, a chatter sound is written in
the chat instead. Turn Sound chooses the sound that tells you it is your turn: Classic or
New.</p>
<p><b>Chat/Action Text.</b> Type in the line under the chat and press Enter to talk. Start a
line with /me to describe an action instead. Text Color sets the colour everybody sees your
lines in, and Text Size sets the size of the chat text. Scroll Chat Off (Ctrl+S) stops the chat
from jumping to the newest line, and Clear Main Chat empties it. The smiley button adds
smileys to your line, and web addresses in the chat can be clicked.</p>
<p><b>Screen Location.</b> The game remembers where its window was. Reset Screen Location puts
it back in the top left corner at its normal size.</p>
<p><b>Phrase Buttons.</b> The nine buttons above the chat send a ready-made phrase; rest the
pointer on a button to see its phrase. The last button plays a chatter sound for everybody.
Each phrase button can be used once every 2 seconds.</p>
<p><b>Tally List.</b> View &gt; View Tally counts the games you have played and won, and, for
the players you choose to follow, how many games you played together and who won them, in all
and since the game was started.</p>
<p><b>Spy List.</b> View &gt; Spy List shows the spectators ("spies") who watch the game
without a seat. The host can remove a spectator from the game with its menu.</p>
<p><b>Phrase List.</b> View &gt; Phrase List lets you write your own texts for the nine phrase
buttons. A phrase that starts with /me is sent as an action.</p>)"},
}};

} // namespace

QString HelpPages::caption(int n) {
    if (n < 1 || n > count)
        return QString();
    return QString::fromLatin1(pages[size_t(n - 1)].caption);
}

QString HelpPages::text(int n) {
    if (n < 1 || n > count)
        return QString();
    return QString::fromUtf8(pages[size_t(n - 1)].body);
}
