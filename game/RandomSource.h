#pragma once

// The computer player's random draws, injectable so that its choices can be
// scripted in tests.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // A number from 0 to n - 1, uniform; n is at least 1.
    virtual int below(int n) = 0;
};
