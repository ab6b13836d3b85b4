#include "ServerHarness.h"

#include <gtest/gtest.h>

namespace {

const QByteArray strongNotice = cmd::chat_(0, "Klot plays Strong.", "clBlue");
const QByteArray classicNotice = cmd::chat_(0, "Klot plays Classic.", "clBlue");

// Seat 1 keeps its first turn at once, so that Klot moves next.
void toKlotsTurn(Harness& h) {
    h.send(1, cmd::endturn_(1, "p"));
    h.endPause();
    h.clearLogs();
}

} // namespace

TEST(ComputerLevel, EveryClientIsToldWhichLevelPlaysKlotWhenAGameStarts) {
    struct Case {
        BotLevel level;
        int players;
        QByteArray notice; // empty: a person holds seat 2, nobody is told
    } cases[] = {
        {BotLevel::Classic, 1, classicNotice},
        {BotLevel::Strong, 1, strongNotice},
        {BotLevel::Strong, 3, strongNotice},
        {BotLevel::Strong, 2, {}},
    };
    for (const Case& c : cases) {
        Harness h;
        if (c.players == 3) {
            // Seats 1 and 3 held, seat 2 left by its player.
            h.seatPlayers(3);
            h.server.connectionClosed(2);
        } else {
            h.seatPlayers(c.players);
        }
        h.clearLogs();
        h.speed.level = c.level;
        h.startGame();
        const QByteArrayList got = h.take(1);
        ASSERT_GE(got.size(), 2);
        EXPECT_EQ(got[0], cmd::startgame_("A", "0"));
        EXPECT_EQ(got[1], c.notice.isEmpty() ? cmd::nextplayer_(1) : c.notice);
        if (c.players == 3) {
            EXPECT_EQ(h.take(3).value(1), c.notice);
        }
    }
}

TEST(ComputerLevel, TheLevelIsFixedWhenTheGameStartsAndStrongPlaysKlotsTurns) {
    Harness h;
    h.seatPlayers(1);
    h.speed.level = BotLevel::Strong;
    h.startGame();
    // A choice made during the game applies to the next one.
    h.speed.level = BotLevel::Classic;
    EXPECT_EQ(h.server.computerLevel(), BotLevel::Strong);
    toKlotsTurn(h);
    // 1 + 1 and 6 + 6: columns 2 and 12; then a roll of four 1s and one of
    // four 6s, after which the strong player stops (it never draws a number).
    h.pips({1, 1, 6, 6, 1, 1, 1, 1, 6, 6, 6, 6, 3, 4, 3, 4});
    h.runComputer();
    EXPECT_EQ(h.draws.misses(), 0);
    const QByteArrayList got = h.take(1);
    ASSERT_FALSE(got.isEmpty());
    EXPECT_TRUE(got.back().startsWith("CMD_postscores+2+")) << got.back().constData();
    for (const QByteArray& message : got)
        EXPECT_FALSE(message.startsWith("CMD_invalid") || message.startsWith("CMD_mustmove") ||
                     message.startsWith("CMD_useall"))
            << message.constData();
    // Klot completed 2 and 12 in that turn.
    EXPECT_EQ(h.server.game().board().cell(2, 2).occupant, 2);
    EXPECT_EQ(h.server.game().board().cell(12, 2).occupant, 2);

    h.startGame();
    EXPECT_EQ(h.server.computerLevel(), BotLevel::Classic);
    EXPECT_EQ(h.take(1).value(1), classicNotice);
}
