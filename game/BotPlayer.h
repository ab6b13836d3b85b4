#pragma once

#include "game/Dice.h"

#include <optional>
#include <string_view>

class Game;

// What a computer player asks for on one play step.
struct BotMove {
    enum class Kind {
        RollStep, // wait one step, then roll
        Place,    // place dice dieA and dieB in column
        Keep,     // end the turn keeping its progress
    };
    Kind kind = Kind::RollStep;
    int column = 0;
    int dieA = Dice::used;
    int dieB = Dice::used;

    bool operator==(const BotMove&) const = default;
};

// The computer players the host can choose from.
enum class BotLevel { Classic, Strong };

namespace botlevel {

// "classic" and "strong", as the settings file and the runner's command line
// write them.
constexpr std::string_view key(BotLevel level) {
    return level == BotLevel::Strong ? "strong" : "classic";
}
// "Classic" and "Strong", as menus and chat show them.
constexpr std::string_view title(BotLevel level) {
    return level == BotLevel::Strong ? "Strong" : "Classic";
}
// The level a key names, case-insensitively; nothing for any other text.
std::optional<BotLevel> fromKey(std::string_view text);

} // namespace botlevel

// A computer player as the turn engine drives it: told when any turn
// begins, then asked for one move per play step of its own turns. It sees
// only what the rules show every player: the board and the dice rolled.
class BotPlayer {
public:
    virtual ~BotPlayer() = default;
    // Called at the start of every turn, the player's own or not.
    virtual void resetTurn() = 0;
    // One play step for the seat whose turn it is.
    virtual BotMove nextMove(const Game& game, int seat) = 0;
};
