#pragma once

// Where the server reads the delay of a computer player's steps: the host
// window's "Bot Speed" setting, read at every start of the step timer.
class BotSpeedSource {
public:
    virtual ~BotSpeedSource() = default;
    virtual int botSpeedMs() const = 0;
};
