#include "game/BotMatch.h"
#include "game/ComputerPlayer.h"
#include "game/StrongPlayer.h"
#include "game/SystemRandom.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Seeded games between the named levels, seats rotated from game to game.
struct Series {
    std::vector<int> winners;
    std::vector<int> turns;
    int refusals = 0;
    std::string firstRefusal;
};

Series playSeries(const std::vector<BotLevel>& levels, int games, std::uint32_t seed,
                  bool useAll = false) {
    SystemRandom dice(seed);
    std::vector<std::unique_ptr<SystemRandom>> draws;
    std::vector<std::unique_ptr<BotPlayer>> players;
    for (BotLevel level : levels) {
        draws.push_back(std::make_unique<SystemRandom>(seed + 1 + draws.size()));
        if (level == BotLevel::Strong)
            players.push_back(std::make_unique<StrongPlayer>());
        else
            players.push_back(std::make_unique<ComputerPlayer>(*draws.back()));
    }
    Series series;
    const int seats = int(levels.size());
    for (int game = 0; game < games; ++game) {
        std::vector<BotPlayer*> seated;
        for (int s = 0; s < seats; ++s)
            seated.push_back(players[(s + game) % seats].get());
        const BotMatch::Result result = BotMatch(seated, dice, useAll).play();
        series.winners.push_back(result.winner == 0 ? 0 : (result.winner - 1 + game) % seats + 1);
        series.turns.push_back(result.turns);
        if (result.refusals && series.refusals == 0)
            series.firstRefusal = result.firstRefusal;
        series.refusals += result.refusals;
    }
    return series;
}

// Always asks for column 2 with the first two dice, whatever they show.
class Stubborn : public BotPlayer {
public:
    void resetTurn() override {}
    BotMove nextMove(const Game&, int) override { return {BotMove::Kind::Place, 2, 0, 1}; }
};

} // namespace

TEST(BotMatchRules, NeitherLevelEverAsksForAMoveTheRulesRefuse) {
    using enum BotLevel;
    struct Case {
        std::vector<BotLevel> levels;
        int games;
        bool useAll;
    } cases[] = {
        {{Classic, Strong}, 1000, false},
        {{Strong, Strong}, 300, true},
        {{Classic, Classic, Classic, Strong}, 300, false},
        {{Strong, Classic, Strong}, 300, true},
    };
    for (const Case& c : cases) {
        const Series series = playSeries(c.levels, c.games, 11, c.useAll);
        EXPECT_EQ(series.refusals, 0) << series.firstRefusal;
        for (int winner : series.winners)
            ASSERT_NE(winner, 0) << "a game did not end";
    }
}

TEST(BotMatchRules, ARefusedRequestIsCountedAndEndsTheTurn) {
    SystemRandom dice(3), draws(4);
    Stubborn stubborn;
    ComputerPlayer classic(draws);
    const BotMatch::Result result = BotMatch({&stubborn, &classic}, dice).play();
    EXPECT_EQ(result.winner, 2);
    EXPECT_GT(result.refusals, 0);
    EXPECT_NE(result.firstRefusal.find("seat 1"), std::string::npos);
}

// The same seed plays the same games, so that the strength figure below is
// reproducible; another seed plays others.
TEST(BotMatchRules, TheSameSeedPlaysTheSameGamesAndStrongBeatsClassicMostOfTheTime) {
    using enum BotLevel;
    const Series first = playSeries({Classic, Strong}, 400, 5);
    const Series again = playSeries({Classic, Strong}, 400, 5);
    EXPECT_EQ(first.winners, again.winners);
    EXPECT_EQ(first.turns, again.turns);
    EXPECT_NE(first.turns, playSeries({Classic, Strong}, 50, 6).turns);
    // Measured near 79 %; 65 % lies far outside the chance range of 400 games.
    EXPECT_GT(std::count(first.winners.begin(), first.winners.end(), 2), 260);
}

TEST(BotLevels, KeysReadBackAndUnknownTextNamesNoLevel) {
    EXPECT_EQ(botlevel::fromKey("Strong"), BotLevel::Strong);
    for (BotLevel level : {BotLevel::Classic, BotLevel::Strong})
        EXPECT_EQ(botlevel::fromKey(botlevel::key(level)), level);
    for (const char* text : {"", "strongest", "str", "1", " strong"})
        EXPECT_EQ(botlevel::fromKey(text), std::nullopt) << text;
}
