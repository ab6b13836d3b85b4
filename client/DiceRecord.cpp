#include "client/DiceRecord.h"

#include "client/PlayerName.h"

#include <QSet>

#include <algorithm>

namespace {
// Whether the players' counts, summed field by field, stay within the
// table's. Each player's counts are consistent (at most 2^53 each), so 64 of
// them add up without overflow; the busting outcomes, up to 1296 times that,
// are compared one player at a time instead.
bool withinTable(const DiceCounts& table, const std::vector<DiceRecord::Named>& names) {
    DiceCounts sum;
    for (const DiceRecord::Named& named : names) {
        for (int face = 0; face < 6; ++face)
            sum.faces[face] += named.counts.faces[face];
        sum.rolls += named.counts.rolls;
        sum.busts += named.counts.busts;
        sum.columns += named.counts.columns;
        if (named.counts.bustingOutcomes > table.bustingOutcomes)
            return false;
    }
    for (int face = 0; face < 6; ++face)
        if (sum.faces[face] > table.faces[face])
            return false;
    return sum.rolls <= table.rolls && sum.busts <= table.busts && sum.columns <= table.columns;
}
} // namespace

QString DiceRecord::keptName(const QString& name) {
    return name.left(PlayerName::maxLength);
}

const DiceCounts* DiceRecord::find(const QString& name) const {
    const QString kept = keptName(name);
    for (const Named& named : m_names)
        if (named.name == kept)
            return &named.counts;
    return nullptr;
}

DiceCounts* DiceRecord::slot(const QString& name) {
    const QString kept = keptName(name);
    if (kept.isEmpty())
        return nullptr;
    for (Named& named : m_names)
        if (named.name == kept)
            return &named.counts;
    if (static_cast<int>(m_names.size()) >= maxNames)
        return nullptr;
    m_names.push_back(Named{kept, {}});
    return &m_names.back().counts;
}

void DiceRecord::addRoll(const QString& name, const std::array<int, 4>& faces, bool bust,
                         int bustingOutcomes) {
    DiceCounts roll;
    for (int face : faces) {
        if (face < 0 || face > 5)
            return;
        ++roll.faces[face];
    }
    roll.rolls = 1;
    roll.busts = bust ? 1 : 0;
    roll.bustingOutcomes = std::uint64_t(std::clamp(bustingOutcomes, 0, DiceCounts::outcomes));
    addCounts(name, roll);
}

void DiceRecord::addCounts(const QString& name, const DiceCounts& more) {
    // Counted for the table and the name together, or not at all.
    DiceCounts table = m_table;
    if (!table.add(more))
        return;
    if (DiceCounts* own = slot(name)) {
        DiceCounts mine = *own;
        if (!mine.add(more))
            return;
        *own = mine;
    }
    m_table = table;
}

void DiceRecord::addColumns(const QString& name, int columns) {
    if (columns <= 0)
        return;
    DiceCounts more;
    more.columns = std::uint64_t(columns);
    addCounts(name, more);
}

bool DiceRecord::merge(const DiceRecord& other) {
    DiceRecord sum = *this;
    if (other.m_games > DiceCounts::maxCount || sum.m_games > DiceCounts::maxCount - other.m_games)
        return false;
    sum.m_games += other.m_games;
    if (!sum.m_table.add(other.m_table))
        return false;
    for (const Named& named : other.m_names)
        if (DiceCounts* own = sum.slot(named.name))
            if (!own->add(named.counts))
                return false;
    *this = std::move(sum);
    return true;
}

QString DiceRecord::problem() const {
    if (m_games > DiceCounts::maxCount)
        return "the number of games is too large";
    if (!m_table.consistent())
        return "the table's counts do not agree with each other";
    if (static_cast<int>(m_names.size()) > maxNames)
        return QString("it names more than %1 players").arg(maxNames);
    QSet<QString> seen;
    for (const Named& named : m_names) {
        if (named.name.isEmpty() || named.name != keptName(named.name))
            return "a player's name is empty or too long";
        if (seen.contains(named.name))
            return "a player is named twice";
        seen.insert(named.name);
        if (!named.counts.consistent())
            return "a player's counts do not agree with each other";
    }
    if (!withinTable(m_table, m_names))
        return "the players' counts exceed the table's";
    return {};
}
