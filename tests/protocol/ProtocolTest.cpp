#include "protocol/Commands.h"
#include "protocol/Cp1252.h"
#include "protocol/FieldReader.h"
#include "protocol/Messages.h"
#include "protocol/Router.h"
#include "protocol/StreamCutter.h"

#include <gtest/gtest.h>

namespace {
const char ff = char(0xFF);
}

// Reads arrive in arbitrary pieces; the cutter must hand out exactly the
// messages the peer framed, whatever the split.
TEST(StreamCutting, TwoMessagesInOneReadComeOutInOrder) {
    StreamCutter cutter;
    const auto messages = cutter.feed(QByteArray("CMD_a+1") + ff + "CMD_b+2" + ff);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], "CMD_a+1");
    EXPECT_EQ(messages[1], "CMD_b+2");
    EXPECT_EQ(cutter.pendingSize(), 0);
}

TEST(StreamCutting, MessageSplitOverReadsIsDeliveredOnceWhole) {
    StreamCutter cutter;
    EXPECT_TRUE(cutter.feed("CMD_chat+2+hel").isEmpty());
    EXPECT_TRUE(cutter.feed("lo|clB").isEmpty());
    const auto messages = cutter.feed(QByteArray("lack") + ff + "CMD_next");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "CMD_chat+2+hello|clBlack");
    EXPECT_EQ(cutter.pendingSize(), 8);
}

TEST(StreamCutting, DoubleTerminatorGivesAnEmptyMessage) {
    StreamCutter cutter;
    const auto messages = cutter.feed(QByteArray("x") + ff + ff);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].isEmpty());
}

TEST(StreamCutting, TerminatorInsideChatCutsTheLine) {
    StreamCutter cutter;
    const auto messages = cutter.feed(QByteArray("CMD_chat+2+ab") + ff + "cd|clRed" + ff);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], "CMD_chat+2+ab");
    EXPECT_EQ(messages[1], "cd|clRed");
}

TEST(FieldReading, NumbersAreParsedStrictly) {
    EXPECT_EQ(FieldReader::toInt("12"), 12);
    EXPECT_EQ(FieldReader::toInt("-3"), -3);
    for (const char* bad : {"", "1a", " 1", "+1", "0x10", "99999999999", "-", "$10"})
        EXPECT_THROW(FieldReader::toInt(bad), EConvertError) << bad;
    // The report names the field as it came.
    try {
        FieldReader::toInt("1a");
        FAIL() << "no error";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'1a' is not a valid integer value");
    }
}

TEST(FieldReading, FreeTextLastFieldKeepsPlusSigns) {
    FieldReader reader("3+A+B+C");
    EXPECT_EQ(reader.nextInt(), 3);
    EXPECT_EQ(reader.rest(), "A+B+C");
}

TEST(FieldReading, ItemListsRunToTheEnd) {
    FieldReader reader("2+t+0+0+1+2");
    EXPECT_EQ(reader.nextInt(), 2);
    EXPECT_EQ(reader.next(), "t");
    int items = 0;
    while (!reader.atEnd()) {
        reader.nextInt();
        reader.nextInt();
        ++items;
    }
    EXPECT_EQ(items, 2);
}

TEST(FieldReading, RangeCheckedNumbersRefuseOutsiders) {
    FieldReader reader("14+");
    EXPECT_THROW(reader.nextInt(2, 12), EConvertError);
}

// The exact texts both ends rely on.
TEST(Catalogue, LayoutsMatchTheWireTexts) {
    using namespace cmd;
    EXPECT_EQ(sendlogininfo_(1), "CMD_sendlogininfo+1");
    EXPECT_EQ(logininfo_(1, version, "You"), "CMD_logininfo+1+1.0.1+You");
    EXPECT_EQ(newplayerinfo_(1, "You"), "CMD_newplayerinfo+1+You");
    EXPECT_EQ(startgame_("You", "0"), "CMD_startgame+You+0+");
    EXPECT_EQ(nextplayer_(1), "CMD_nextplayer+1+");
    EXPECT_EQ(full_(), "CMD_full+");
    EXPECT_EQ(wrongversion_(), "CMD_wrongversion+");
    EXPECT_EQ(havewrongversion_("Ann"), "CMD_havewrongversion+Ann");
    EXPECT_EQ(rolldice_(2, true, {0, 2, 4, 5}), "CMD_rolldice+2+t+0+0+1+2+2+4+3+5");
    EXPECT_EQ(endturnResult_(3, "p", QList<EndItem>{}), "CMD_endturn+3+p+101+101+101+0");
    EXPECT_EQ(endturnResult_(1, "p", QList<EndItem>{{{7, 4, 1, 0}, 0}, {{12, 2, 1, 0}, 1}}),
              "CMD_endturn+1+p+7+4+1+0+12+2+1+1");
    using Kind = PlaceItem::Kind;
    EXPECT_EQ(placechipResult_(2, QList<PlaceItem>{{Kind::Uncovered, {7, 3, 0, 0}, 0},
                                                   {Kind::Marker, {7, 4, 10, 0}, 0},
                                                   {Kind::DieUsed, {}, 0}}),
              "CMD_placechip+2+u+7+3+0+p+7+4+10+d+0+0+0");
    EXPECT_EQ(chatRelay_(2, "Bo", "hello|clBlack"), "CMD_chat+2+Bo chats: hello|clBlack");
    EXPECT_EQ(actionRelay_(2, "Bo", "says: Hi|clRed"), "CMD_action+2+Bo says: Hi|clRed");
    EXPECT_EQ(chat_(3, "hello", "clBlue"), "CMD_chat+3+hello|clBlue");
    EXPECT_EQ(playasound_(3, 4), "CMD_playasound+3+wave4+");
    EXPECT_EQ(kickhim_(1, 3), "CMD_kickhim+1+3+");
    EXPECT_EQ(justwatch_(2, 1), "CMD_justwatch+2+1");
    EXPECT_EQ(mustmove_(2, 7, 4), "CMD_mustmove+2+7+4+");
    EXPECT_EQ(postscores_(3, 1), "CMD_postscores+3+1+");
    EXPECT_EQ(winner_("Klot"), "CMD_winner+Klot+");
    EXPECT_EQ(
        gamestats_(3, 1, "0", QList<msg::DieState>{{0, 2, true}}, QList<BoardItem>{{7, 4, 10, 2}}),
        "CMD_gamestats+3+1+0+d+0+2+1+0+c+7+4+10+2");
    EXPECT_EQ(frame("CMD_full+"), QByteArray("CMD_full+") + ff);
}

TEST(Routing, ExactNamesOnly) {
    Router<> router;
    QByteArray got;
    router.add(cmd::nextplayer, [&](const QByteArray& args) { got = args; });
    EXPECT_TRUE(router.dispatch("CMD_nextplayer+2+"));
    EXPECT_EQ(got, "2+");
    EXPECT_FALSE(router.dispatch("cmd_nextplayer+3+"));
    EXPECT_FALSE(router.dispatch("CMD_nextplayer"));
    EXPECT_FALSE(router.dispatch(""));
    EXPECT_FALSE(router.dispatch("+x"));
    EXPECT_FALSE(router.dispatch("CMD_cannotroll+1+"));
    EXPECT_EQ(got, "2+");
}

TEST(Routing, ContextIsPassedToTheHandler) {
    Router<int> router;
    int from = 0;
    router.add(cmd::chat, [&](const QByteArray&, int seat) { from = seat; });
    router.dispatch("CMD_chat+1+hi|clRed", 4);
    EXPECT_EQ(from, 4);
}

TEST(Charset, UnicodeBecomesWindows1252AndBack) {
    const QString text = QString::fromUtf8("Zoë €5 “hi” 日");
    const QByteArray wire = cp1252::fromUnicode(text);
    EXPECT_EQ(wire, QByteArray("Zo\xEB \x80"
                               "5 \x93hi\x94 ?"));
    EXPECT_EQ(cp1252::toUnicode(wire), QString::fromUtf8("Zoë €5 “hi” ?"));
    EXPECT_EQ(cp1252::toUnicode(QByteArray("\x81")), QString(QChar(0x81)));
    // Every byte survives the way in and out, the five unassigned ones included.
    QByteArray everyByte;
    for (int b = 1; b < 256; ++b)
        everyByte.append(char(b));
    EXPECT_EQ(cp1252::fromUnicode(cp1252::toUnicode(everyByte)), everyByte);
}

TEST(Catalogue, StartgameIsReadFromTheRightSoNamesMayHoldPlus) {
    const auto plain = msg::readStartgame("You+1+");
    EXPECT_EQ(plain.name, "You");
    EXPECT_EQ(plain.useAllFlag, "1");
    const auto plus = msg::readStartgame("a+b+0+");
    EXPECT_EQ(plus.name, "a+b");
    EXPECT_EQ(plus.useAllFlag, "0");
    EXPECT_EQ(msg::readStartgame("").name, "");
}
