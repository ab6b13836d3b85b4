// Plays complete games between computer players and measures each level:
// wins with their 95 % confidence interval, turns, and what one decision costs.
//
//   bench_bots --games N --seed S --players classic,strong [--alternate] [--use-all]
#include "game/BotMatch.h"
#include "game/BotPlayer.h"
#include "game/ComputerPlayer.h"
#include "game/StrongPlayer.h"
#include "game/SystemRandom.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const char usage[] = "usage: bench_bots --games N --seed S --players LEVEL,LEVEL[,LEVEL[,LEVEL]]\n"
                     "                  [--alternate] [--use-all]\n"
                     "\n"
                     "Plays N complete games between computer players, with dice drawn from a\n"
                     "generator seeded with S, and prints for each player named its games, wins,\n"
                     "win rate with 95 % confidence interval (Wilson), mean turns per game and\n"
                     "the mean cost of one decision (the slowest, and how many took 1 ms or\n"
                     "more, which on a busy machine includes time the program was not running).\n"
                     "Levels: classic, strong.\n"
                     "\n"
                     "  --players    2 to 4 levels; the first plays seat 1, which moves first.\n"
                     "  --alternate  rotate the seats from game to game, so that every player\n"
                     "               moves first equally often.\n"
                     "  --use-all    play with the rule that all markers go on the board first.\n"
                     "  --tune K=V,...  set the strong player's weights, for tuning: rolls,\n"
                     "               overhead, threat, denial, margin, win, gain.\n"
                     "\n"
                     "Every name in --players is a player of its own, counted on its own: a\n"
                     "level named twice gets two entries, in the order named. The last line is\n"
                     "  games=N LEVEL=WINS ...\n"
                     "with one LEVEL=WINS per name in --players, in that order.\n";

struct Entry {
    BotLevel level = BotLevel::Classic;
    std::string name;
    std::unique_ptr<SystemRandom> draws;
    std::unique_ptr<BotPlayer> player;
    std::int64_t games = 0, wins = 0, turns = 0, decisions = 0, decisionNs = 0, slowestNs = 0,
                 overMs = 0;
};

struct Options {
    long games = 0;
    std::uint32_t seed = 0;
    std::vector<BotLevel> levels;
    bool alternate = false;
    bool useAll = false;
    StrongPlayer::Tuning tuning;
};

bool setWeight(StrongPlayer::Tuning& tuning, const std::string& pair) {
    const std::size_t equals = pair.find('=');
    if (equals == std::string::npos)
        return false;
    const std::string key = pair.substr(0, equals);
    char* end = nullptr;
    const double value = std::strtod(pair.c_str() + equals + 1, &end);
    if (*end != '\0')
        return false;
    double* weight = key == "rolls"      ? &tuning.rolls
                     : key == "overhead" ? &tuning.overhead
                     : key == "denial"   ? &tuning.denial
                     : key == "threat"   ? &tuning.threat
                     : key == "margin"   ? &tuning.stopMargin
                     : key == "win"      ? &tuning.winBonus
                     : key == "gain"     ? &tuning.gain
                                         : nullptr;
    if (!weight)
        return false;
    *weight = value;
    return true;
}

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    bool haveGames = false, haveSeed = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--games" && hasValue) {
            char* end = nullptr;
            options.games = std::strtol(argv[++i], &end, 10);
            haveGames = *end == '\0' && options.games > 0;
        } else if (arg == "--seed" && hasValue) {
            char* end = nullptr;
            options.seed = std::uint32_t(std::strtoul(argv[++i], &end, 10));
            haveSeed = *end == '\0';
        } else if (arg == "--players" && hasValue) {
            std::string list = argv[++i];
            std::size_t from = 0;
            while (from <= list.size()) {
                const std::size_t comma = std::min(list.find(',', from), list.size());
                const auto level = botlevel::fromKey(list.substr(from, comma - from));
                if (!level)
                    return std::nullopt;
                options.levels.push_back(*level);
                from = comma + 1;
            }
        } else if (arg == "--tune" && hasValue) {
            const std::string list = argv[++i];
            std::size_t from = 0;
            while (from <= list.size()) {
                const std::size_t comma = std::min(list.find(',', from), list.size());
                if (!setWeight(options.tuning, list.substr(from, comma - from)))
                    return std::nullopt;
                from = comma + 1;
            }
        } else if (arg == "--alternate") {
            options.alternate = true;
        } else if (arg == "--use-all") {
            options.useAll = true;
        } else {
            return std::nullopt;
        }
    }
    if (!haveGames || !haveSeed || options.levels.size() < 2 ||
        options.levels.size() > std::size_t(BotMatch::maxSeats))
        return std::nullopt;
    return options;
}

// The Wilson score interval of wins out of games at 95 %.
std::pair<double, double> wilson(std::int64_t wins, std::int64_t games) {
    if (games == 0)
        return {0, 0};
    const double z = 1.959964, n = double(games), p = wins / n;
    const double centre = (p + z * z / (2 * n)) / (1 + z * z / n);
    const double half = z * std::sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / (1 + z * z / n);
    return {centre - half, centre + half};
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(usage, stdout);
            return 0;
        }
    const auto options = parse(argc, argv);
    if (!options) {
        std::fputs(usage, stderr);
        return 2;
    }

    const int seats = int(options->levels.size());
    std::vector<Entry> entries(seats);
    for (int k = 0; k < seats; ++k) {
        Entry& entry = entries[k];
        entry.level = options->levels[k];
        entry.name = std::string(botlevel::key(entry.level));
        // Each player draws from its own generator, so one player's draws
        // never shift another's.
        entry.draws = std::make_unique<SystemRandom>(options->seed * 7919u + 101u * (k + 1));
        if (entry.level == BotLevel::Strong)
            entry.player = std::make_unique<StrongPlayer>(options->tuning);
        else
            entry.player = std::make_unique<ComputerPlayer>(*entry.draws);
    }
    SystemRandom dice(options->seed);

    std::int64_t totalTurns = 0, given = 0, refusals = 0;
    const auto started = std::chrono::steady_clock::now();
    for (long game = 0; game < options->games; ++game) {
        // Seat s + 1 is played by entry (s + shift) mod seats.
        const int shift = options->alternate ? int(game % seats) : 0;
        std::vector<BotPlayer*> players;
        for (int s = 0; s < seats; ++s)
            players.push_back(entries[(s + shift) % seats].player.get());
        BotMatch match(players, dice, options->useAll);
        const BotMatch::Result result = match.play();
        totalTurns += result.turns;
        refusals += result.refusals;
        if (result.winner == 0)
            ++given;
        for (int s = 0; s < seats; ++s) {
            Entry& entry = entries[(s + shift) % seats];
            ++entry.games;
            entry.turns += result.turnsOf[s];
            entry.decisions += result.decisions[s];
            entry.decisionNs += result.decisionNs[s];
            entry.slowestNs = std::max(entry.slowestNs, result.slowestDecisionNs[s]);
            entry.overMs += result.decisionsOverMs[s];
            if (result.winner == s + 1)
                ++entry.wins;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("%ld games, %d players%s%s, seed %u: %.1f s, %.0f games/s, %.1f turns/game, "
                "%lld refused requests, %lld games given up\n",
                options->games, seats, options->alternate ? ", seats alternated" : "",
                options->useAll ? ", use all markers" : "", options->seed, seconds,
                options->games / seconds, double(totalTurns) / options->games,
                static_cast<long long>(refusals), static_cast<long long>(given));
    for (const Entry& entry : entries) {
        const auto [low, high] = wilson(entry.wins, entry.games);
        std::printf("%-8s games=%lld wins=%lld rate=%.2f%% (95%% CI %.2f%% to %.2f%%) "
                    "turns/game=%.2f decision=%.2f us (slowest %.0f us, %lld of %lld over 1 ms)\n",
                    entry.name.c_str(), static_cast<long long>(entry.games),
                    static_cast<long long>(entry.wins), 100.0 * entry.wins / entry.games, 100 * low,
                    100 * high, double(entry.turns) / entry.games,
                    entry.decisions ? entry.decisionNs / 1000.0 / entry.decisions : 0.0,
                    entry.slowestNs / 1000.0, static_cast<long long>(entry.overMs),
                    static_cast<long long>(entry.decisions));
    }
    std::printf("games=%ld", options->games);
    for (const Entry& entry : entries)
        std::printf(" %s=%lld", entry.name.c_str(), static_cast<long long>(entry.wins));
    std::printf("\n");
    return 0;
}
