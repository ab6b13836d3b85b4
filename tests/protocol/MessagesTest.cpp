#include "protocol/Messages.h"
#include "game/Board.h"
#include "protocol/Commands.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Kind = PlaceItem::Kind;

// What a receiver does with a message: cut the command off and read the rest.
template <typename Reader>
auto readBack(const QByteArray& message, const char* command, Reader read) {
    const cmd::Split parts = cmd::split(message);
    EXPECT_EQ(parts.command, command) << message.constData();
    return read(parts.args);
}

// Every layout built by its builder and read back by its reader gives what
// was built; free text keeps its "+" and numbers out of the table's range
// are carried for the caller to judge.
struct RoundTrip {
    const char* what;
    std::function<bool()> holds;
};

template <typename Fields, typename Reader>
RoundTrip trip(const char* what, QByteArray message, const char* command, Reader read,
               Fields expected) {
    return {what, [=] { return readBack(message, command, read) == expected; }};
}

const int big = 2147483647;

} // namespace

TEST(Messages, EveryLayoutReadsBackWhatItsBuilderWrote) {
    using namespace msg;
    const QList<DieState> dice = {{0, 2, true}, {1, 10, false}, {2, 0, true}, {3, 5, false}};
    const QList<BoardItem> cells = {{2, 2, 1, 0}, {4, 3, 10, 2}, {12, 0, 4, 0}};
    const QList<PlaceItem> placed = {{Kind::Uncovered, {7, 3, 0, 0}, 0},
                                     {Kind::Covered, {7, 4, Board::marker, 2}, 0},
                                     {Kind::Marker, {7, 4, Board::marker, 0}, 0},
                                     {Kind::DieUsed, {}, 0},
                                     {Kind::DieUsed, {}, 3}};
    const QList<EndItem> ended = {{{7, 4, 1, 0}, 0}, {{12, 2, 1, 0}, 1}};

    const RoundTrip cases[] = {
        trip("login", cmd::logininfo_(3, "1.0.1", "Ann+Bo"), cmd::logininfo, readLogininfo,
             Logininfo{3, "1.0.1", "Ann+Bo"}),
        trip("login, empty name", cmd::logininfo_(1, "1.0.0", ""), cmd::logininfo, readLogininfo,
             Logininfo{1, "1.0.0", ""}),
        trip("kick", cmd::kickhim_(1, -4), cmd::kickhim, readKickhim, Kickhim{1, -4}),
        trip("chat", cmd::chat_(2, "a+b|c", "clRed"), cmd::chat, readSeatText,
             SeatText{2, "a+b|c|clRed"}),
        trip("relayed action", cmd::actionRelay_(5, "Bo", "waves+|clBlue"), cmd::action,
             readSeatText, SeatText{5, "Bo waves+|clBlue"}),
        trip("sound", cmd::playasound_(4, 20), cmd::playasound, readSeatText,
             SeatText{4, "wave20+"}),
        trip("start", cmd::startgame_("a+b", "1"), cmd::startgame, readStartgame,
             Startgame{"a+b", "1"}),
        trip("start, empty name", cmd::startgame_("", "0"), cmd::startgame, readStartgame,
             Startgame{"", "0"}),
        trip("just watch", cmd::justwatch_(6, 1), cmd::justwatch, readWatchFlag, WatchFlag{6, "1"}),
        trip("watching", cmd::justwatching_(2, 2), cmd::justwatching, readWatchFlag,
             WatchFlag{2, "2"}),
        trip("roll request", cmd::rollthedice_(0), cmd::rollthedice, readSeatOnly, SeatOnly{0}),
        trip("seat for login", cmd::sendlogininfo_(big), cmd::sendlogininfo, readSeatOnly,
             SeatOnly{big}),
        trip("next", cmd::nextplayer_(4), cmd::nextplayer, readSeatOnly, SeatOnly{4}),
        trip("cannot roll", cmd::cannotroll_(1), cmd::cannotroll, readSeatOnly, SeatOnly{1}),
        trip("invalid", cmd::invalid_(2), cmd::invalid, readSeatOnly, SeatOnly{2}),
        trip("use all", cmd::useall_(3), cmd::useall, readSeatOnly, SeatOnly{3}),
        trip("placement request", cmd::placechip_(1, 14, -1, 4), cmd::placechip, readPlacechip,
             Placechip{1, 14, -1, 4}),
        trip("end request", cmd::endturn_(2, "p"), cmd::endturn, readEndturn, Endturn{2, "p"}),
        trip("new player", cmd::newplayerinfo_(9, "+x+"), cmd::newplayerinfo, readSeatName,
             SeatName{9, "+x+"}),
        trip("existing", cmd::existingplayers_(1, ""), cmd::existingplayers, readSeatName,
             SeatName{1, ""}),
        trip("gone", cmd::playerdisconnected_(3, "A+B"), cmd::playerdisconnected, readSeatName,
             SeatName{3, "A+B"}),
        trip("wrong version", cmd::havewrongversion_("Ann+"), cmd::havewrongversion,
             readHavewrongversion, QByteArray("Ann+")),
        trip("winner", cmd::winner_("a+b"), cmd::winner, readWinner, QByteArray("a+b")),
        trip("game in progress", cmd::gamestats_(5, 2, "1", dice, cells), cmd::gamestats,
             readGamestats, Gamestats{5, 2, "1", dice, cells}),
        trip("game just started", cmd::gamestats_(5, 1, "0", {}, {}), cmd::gamestats, readGamestats,
             Gamestats{5, 1, "0", {}, {}}),
        trip("roll", cmd::rolldice_(2, true, {0, 2, 4, 5}), cmd::rolldice, readRolldice,
             Rolldice{2, true, {{0, 0, true}, {1, 2, true}, {2, 4, true}, {3, 5, true}}}),
        trip("lost roll", cmd::rolldice_(3, false, {0, 0, 1, 1}), cmd::rolldice, readRolldice,
             Rolldice{3, false, {{0, 0, true}, {1, 0, true}, {2, 1, true}, {3, 1, true}}}),
        trip("placement", cmd::placechipResult_(2, placed), cmd::placechip, readPlacechipResult,
             PlacechipResult{2, placed}),
        trip("must move", cmd::mustmove_(2, 7, 4), cmd::mustmove, readMustmove, Mustmove{2, 7, 4}),
        trip("kept turn", cmd::endturnResult_(1, "p", ended), cmd::endturn, readEndturnResult,
             EndturnResult{1, "p", ended}),
        trip("turn without change", cmd::endturnResult_(3, "n", QList<EndItem>{}), cmd::endturn,
             readEndturnResult, EndturnResult{3, "n", {}}),
        trip("scores", cmd::postscores_(4, 3), cmd::postscores, readPostscores, Postscores{4, 3}),
    };
    for (const RoundTrip& c : cases)
        EXPECT_TRUE(c.holds()) << c.what;
}

// The wire bytes the server writes from the item structs are those the
// clients have always read.
TEST(Messages, ItemBuildersWriteTheKnownBytes) {
    EXPECT_EQ(cmd::placechipResult_(2, QList<PlaceItem>{{Kind::Covered, {6, 0, 10, 2}, 0},
                                                        {Kind::Marker, {6, 0, 10, 0}, 0},
                                                        {Kind::DieUsed, {}, 1}}),
              "CMD_placechip+2+c+6+0+2+p+6+0+10+d+1+0+0");
    EXPECT_EQ(cmd::endturnResult_(3, "p", QList<EndItem>{{{8, 10, 3, 0}, 9}}),
              "CMD_endturn+3+p+8+10+3+9");
    EXPECT_EQ(cmd::endturnResult_(3, "p", QList<EndItem>{}), "CMD_endturn+3+p+101+101+101+0");
    EXPECT_EQ(cmd::gamestats_(3, 1, "0", {{0, 2, true}}, {{7, 4, 10, 2}}),
              "CMD_gamestats+3+1+0+d+0+2+1+0+c+7+4+10+2");
}

// A message that does not fit its layout is refused whole; what only the
// table can judge is carried.
TEST(Messages, FieldsThatDoNotFitAreRefused) {
    using namespace msg;
    const std::pair<const char*, std::function<void()>> refused[] = {
        {"seat not a number", [] { readSeatOnly("x+"); }},
        {"seat beyond 32 bits", [] { readSeatOnly("2147483648+"); }},
        {"seat missing", [] { readSeatOnly(""); }},
        {"seat with a blank", [] { readLogininfo(" 1+1.0.1+Ann"); }},
        {"die missing", [] { readPlacechip("1+7+0+"); }},
        {"target not a number", [] { readKickhim("1+three+"); }},
        {"column in hex", [] { readMustmove("1+0x7+2+"); }},
        {"score as text", [] { readPostscores("1+two+"); }},
        {"verdict neither t nor f", [] { readRolldice("2+x+0+0+1+2+2+4+3+5"); }},
        {"verdict missing", [] { readRolldice("2"); }},
        {"roll item cut short", [] { readRolldice("2+t+0+0+1"); }},
        {"placement item cut short", [] { readPlacechipResult("2+p+7+4"); }},
        {"unknown placement item cut short", [] { readPlacechipResult("2+x+1+2"); }},
        {"placement number unparsable", [] { readPlacechipResult("2+p+7+four+10"); }},
        {"end item cut short", [] { readEndturnResult("1+p+7+4+1"); }},
        {"state item cut short", [] { readGamestats("3+1+0+d+0+2+1"); }},
        {"unknown state item with a word", [] { readGamestats("3+1+0+z+a+b+c+d"); }},
    };
    for (const auto& [what, read] : refused)
        EXPECT_THROW(read(), EConvertError) << what;

    try {
        readRolldice("2+maybe+0+0");
        FAIL() << "no error";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'maybe' is not a valid roll verdict");
    }
    // Out of the table's range, but numbers: the caller decides.
    EXPECT_EQ(readPlacechip("-1+14+2147483647+-2147483648+"),
              (Placechip{-1, 14, 2147483647, -2147483647 - 1}));
    // A missing text field is empty, and fields after the layout's last are left alone.
    EXPECT_EQ(readLogininfo("4"), (Logininfo{4, "", ""}));
    EXPECT_EQ(readWatchFlag("2+1+junk"), (WatchFlag{2, "1"}));
    EXPECT_EQ(readEndturn("2+p+x+y"), (Endturn{2, "p"}));
}

TEST(Messages, ItemsOfUnknownKindAreSkipped) {
    const msg::PlacechipResult placed = msg::readPlacechipResult("2+q+a+b+c+p+7+4+10+dd+1+0+0");
    ASSERT_EQ(placed.items.size(), 1);
    EXPECT_EQ(placed.items[0], (PlaceItem{Kind::Marker, {7, 4, 10, 0}, 0}));

    const msg::Gamestats state = msg::readGamestats("3+1+0+x+1+2+3+4+c+7+4+10+2");
    EXPECT_TRUE(state.dice.isEmpty());
    ASSERT_EQ(state.cells.size(), 1);
    EXPECT_EQ(state.cells[0], (BoardItem{7, 4, 10, 2}));

    // The "nothing changed" item stands among others only by its column.
    const msg::EndturnResult ended = msg::readEndturnResult("1+n+101+101+101+0+5+2+0+0");
    ASSERT_EQ(ended.items.size(), 1);
    EXPECT_EQ(ended.items[0], (EndItem{{5, 2, 0, 0}, 0}));
}
