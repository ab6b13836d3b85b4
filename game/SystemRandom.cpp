#include "game/SystemRandom.h"

SystemRandom::SystemRandom() : m_engine(std::random_device{}()) {}

SystemRandom::SystemRandom(std::uint32_t seed) : m_engine(seed) {}

int SystemRandom::face() {
    return below(6);
}

int SystemRandom::below(int n) {
    if (n <= 1)
        return 0;
    return std::uniform_int_distribution<int>(0, n - 1)(m_engine);
}
