#pragma once

#include "game/BotPlayer.h"

// Where the server reads the host's computer player settings: the delay of
// a computer player's steps ("Bot Speed"), read at every start of the step
// timer, and the level that plays ("Computer Player"), read when a game
// starts.
class BotSpeedSource {
public:
    virtual ~BotSpeedSource() = default;
    virtual int botSpeedMs() const = 0;
    virtual BotLevel computerLevel() const { return BotLevel::Classic; }
};
