// What another copy announces is shown and used only once made plain, short
// and checked: names from the network may be huge, carry markup, terminal
// escapes or direction overrides, and the player count may be anything.
#include "net/DiscoveredText.h"
#include "net/GameAnnouncer.h"

#include <gtest/gtest.h>

namespace {

bool hasControl(const QString& text) {
    for (QChar c : text)
        if (c.category() == QChar::Other_Control || c == QChar(0x202E))
            return true;
    return false;
}

} // namespace

TEST(DiscoveredText, NamesAreMadePlainAndShort) {
    struct Case {
        const char* what;
        std::string raw;
        QString shown;
    };
    const std::string huge(10000, 'x');
    const Case cases[] = {
        {"plain", "Ann", "Ann"},
        {"markup stays as text", "<b>Bo</b><img src=x>", "<b>Bo</b><img src=x>"},
        {"control characters go", "A\x01n\x1b[31mn\x7f", "An[31mn"},
        {"newlines and tabs go", "An\nn\tie", "Annie"},
        {"blanks run together and are trimmed", "  Ann   Bo  ", "Ann Bo"},
        {"direction overrides go", "Ann\u202Eevil", "Annevil"},
        {"invalid UTF-8 is replaced", "Ann\xff", QString("Ann") + QChar(0xFFFD)},
        {"exactly 40 stays whole", std::string(40, 'y'), QString(40, 'y')},
        {"longer is cut to 40 with an ellipsis", huge, QString(39, 'x') + QChar(0x2026)},
        {"a cut never leaves a blank before the ellipsis", std::string(38, 'z') + "  tail",
         QString(38, 'z') + QChar(0x2026)},
        {"characters beyond 16 bits count once", std::string(50, 'a') + "\xF0\x9F\x8E\xB2",
         QString(39, 'a') + QChar(0x2026)},
    };
    for (const Case& c : cases) {
        const QString shown = DiscoveredText::plainName(c.raw);
        EXPECT_EQ(shown, c.shown) << c.what;
        EXPECT_LE(shown.toUcs4().size(), DiscoveredText::maxNameLength) << c.what;
        EXPECT_FALSE(hasControl(shown)) << c.what;
    }
    const QString emoji = DiscoveredText::plainName(std::string(10, 'a') + "\xF0\x9F\x8E\xB2", 11);
    EXPECT_EQ(emoji.toUcs4().size(), 11) << "a surrogate pair is never split";
}

TEST(DiscoveredText, PlayerCountIsTakenOnlyWhenPlainlyInRange) {
    struct Case {
        std::vector<std::string> txt;
        int players;
    };
    const Case cases[] = {
        {{"host=Ann", "players=2"}, 2},
        {{"players=0"}, 0},
        {{"players=4"}, 4},
        {{"PLAYERS=3"}, 3},
        {{"players=5"}, -1},
        {{"players=abc"}, -1},
        {{"players="}, -1},
        {{"players"}, -1},
        {{"players=-1"}, -1},
        {{"players= 2"}, -1},
        {{"players=2x"}, -1},
        {{"players=99999999999999999999"}, -1},
        {{"players=abc", "players=2"}, -1},
        {{"player=2", "playersx=2"}, -1},
        {{}, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DiscoveredText::playerCount(c.txt), c.players)
            << (c.txt.empty() ? std::string("(none)") : c.txt.front());
}

TEST(GameAnnouncerNaming, ServiceNameFitsOneDnsLabelAndTxtStringsFitTheirLimit) {
    EXPECT_EQ(GameAnnouncer::serviceName("Ann"), "Ann");
    EXPECT_EQ(GameAnnouncer::serviceName("  "), "Climora game");
    EXPECT_EQ(GameAnnouncer::serviceName("A\x01nn"), "Ann");
    // 31 two-byte characters are 62 bytes; the 32nd would end at byte 64.
    const QString umlauts(40, QChar(0x00FC));
    const QString name = GameAnnouncer::serviceName(umlauts);
    EXPECT_LE(name.toUtf8().size(), GameAnnouncer::maxServiceNameBytes);
    EXPECT_EQ(name, QString(31, QChar(0x00FC))) << "cut between characters";

    const auto txt = GameAnnouncer::txtRecord(QString(300, 'n'), 9);
    ASSERT_EQ(txt.size(), 2u);
    EXPECT_EQ(txt[0].rfind("host=", 0), 0u);
    EXPECT_LE(txt[0].size(), std::size_t(GameAnnouncer::maxTxtBytes));
    EXPECT_EQ(txt[1], "players=4") << "clamped to the seats that play";
    EXPECT_EQ(GameAnnouncer::txtRecord("Ann", 2),
              (std::vector<std::string>{"host=Ann", "players=2"}));
    EXPECT_EQ(GameAnnouncer::txtRecord("Ann", -3)[1], "players=0");
}
