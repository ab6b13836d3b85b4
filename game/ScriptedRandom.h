#pragma once

#include "game/DiceSource.h"
#include "game/RandomSource.h"

#include <cstddef>
#include <deque>
#include <initializer_list>

// Hands out a prepared list of numbers, for tests and the fuzz harness.
// Each value is reduced into the range asked for (a face modulo 6, a draw
// modulo n), so any input is safe; values already in range come out as
// given. Once the list is used up every answer is 0.
class ScriptedRandom : public DiceSource, public RandomSource {
public:
    ScriptedRandom() = default;
    ScriptedRandom(std::initializer_list<int> values) : m_values(values) {}

    void push(int value) { m_values.push_back(value); }
    void push(std::initializer_list<int> values) { m_values.insert(m_values.end(), values); }
    std::size_t remaining() const { return m_values.size(); }
    // How many answers were asked for after the list ran out.
    int misses() const { return m_misses; }

    int face() override { return below(6); }
    int below(int n) override;

private:
    std::deque<int> m_values;
    int m_misses = 0;
};
