#pragma once

#include "game/DiceSource.h"
#include "game/RandomSource.h"

#include <cstdint>
#include <random>

// The generator used in play: Mersenne Twister seeded from the system, or
// from a fixed seed to repeat a run.
class SystemRandom : public DiceSource, public RandomSource {
public:
    SystemRandom();
    explicit SystemRandom(std::uint32_t seed);

    int face() override;
    int below(int n) override;

private:
    std::mt19937 m_engine;
};
