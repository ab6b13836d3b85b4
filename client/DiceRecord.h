#pragma once

#include "client/DiceCounts.h"

#include <QString>

#include <cstdint>
#include <vector>

// The dice of one game or of many: the whole table's counts, and the counts
// of each player by name. Only the first maxNames names get counts of their
// own; the rolls of any further name count for the table alone. Names are
// cut to the length a player's name may have.
class DiceRecord {
public:
    static constexpr int maxNames = 64;

    struct Named {
        QString name;
        DiceCounts counts;
        friend bool operator==(const Named&, const Named&) = default;
    };

    // The name as it is kept: cut to a player's name length.
    static QString keptName(const QString& name);

    std::uint64_t games() const { return m_games; }
    void setGames(std::uint64_t games) { m_games = games; }
    const DiceCounts& table() const { return m_table; }
    DiceCounts& table() { return m_table; }
    const std::vector<Named>& names() const { return m_names; }
    // The counts of the name as kept, or nullptr.
    const DiceCounts* find(const QString& name) const;
    // The name's counts, made when there is room; nullptr for an empty
    // name or a new one beyond maxNames.
    DiceCounts* slot(const QString& name);

    // One roll of four dice (faces 0 to 5) by the named player, whether it
    // fitted nothing, and how many of the 1296 outcomes fitted nothing in
    // its position. A roll that would pass a count's bound is left out.
    void addRoll(const QString& name, const std::array<int, 4>& faces, bool bust,
                 int bustingOutcomes);
    void addColumns(const QString& name, int columns);

    // Adds the other record, games included; false, changing nothing, when
    // a count would pass its bound.
    bool merge(const DiceRecord& other);

    // Why the record cannot be right, in a few words; empty when it can:
    // every counts consistent, names distinct, not empty, not too long and
    // not too many, and no player's counts beyond the table's.
    QString problem() const;

    friend bool operator==(const DiceRecord&, const DiceRecord&) = default;

private:
    // Adds counts to the table and to the name's own, both or neither.
    void addCounts(const QString& name, const DiceCounts& more);
    std::uint64_t m_games = 0;
    DiceCounts m_table;
    std::vector<Named> m_names;
};
