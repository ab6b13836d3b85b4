#include "game/ScriptedRandom.h"

int ScriptedRandom::below(int n) {
    if (m_values.empty()) {
        ++m_misses;
        return 0;
    }
    const int value = m_values.front();
    m_values.pop_front();
    if (n <= 1)
        return 0;
    const int reduced = value % n;
    return reduced < 0 ? reduced + n : reduced;
}
