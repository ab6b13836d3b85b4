#include "game/Dice.h"

#include "game/DiceSource.h"

bool Dice::anyAvailable() const {
    for (bool available : m_available)
        if (available)
            return true;
    return false;
}

void Dice::set(int die, int value, bool available) {
    m_value.at(die) = value;
    m_available.at(die) = available;
}

void Dice::roll(DiceSource& source) {
    for (int die = 0; die < count; ++die) {
        int face = source.face();
        if (face < 0 || face > 5)
            face = ((face % 6) + 6) % 6; // a faulty source must not leave the dice's range
        m_value[die] = face;
        m_available[die] = true;
    }
}

void Dice::use(int die) {
    m_value.at(die) = used;
    m_available.at(die) = false;
}

bool Dice::checkdice(int column) const {
    for (int i = 0; i <= 2; ++i)
        for (int j = 1; j <= 3; ++j)
            if (j != i && m_available[i] && m_available[j] && sum(i, j) == column)
                return true;
    return false;
}
