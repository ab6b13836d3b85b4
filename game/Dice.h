#pragma once

#include <array>

class DiceSource;

// The four dice of a turn. A value is 0 to 5 for the faces 1 to 6, or
// Dice::used once the die has been placed. A die is available from a roll
// until it is used.
class Dice {
public:
    static constexpr int count = 4;
    static constexpr int used = 10;

    static bool isIndex(int die) { return die >= 0 && die < count; }

    int value(int die) const { return m_value.at(die); }
    bool available(int die) const { return m_available.at(die); }
    bool anyAvailable() const;
    std::array<int, count> values() const { return m_value; }

    void set(int die, int value, bool available);
    // Every die gets a new face and becomes available.
    void roll(DiceSource& source);
    // Nothing can be placed until the next roll; the values stay.
    void makeUnavailable() { m_available.fill(false); }
    void use(int die);

    // The sum of the faces of two dice (values plus 2).
    int sum(int first, int second) const { return value(first) + value(second) + 2; }
    // True when two distinct available dice sum to the column.
    bool checkdice(int column) const;

private:
    std::array<int, count> m_value{used, used, used, used};
    std::array<bool, count> m_available{};
};
