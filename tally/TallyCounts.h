#pragma once

#include "tally/StringTable.h"

#include <QString>
#include <QStringList>

// The counters of the tally: every one decimal text in a table of 9 columns,
// the table the tally file holds. Row 0 holds the local player's own totals
// (column 1 games, 2 wins). Each further row belongs to one followed player:
// column 0 the name, 1 to 4 games together, his wins, your wins, neither
// won, all time, and 5 to 8 the same since program start.
//
// An empty cell, or one that is not a number, counts from 0.
class TallyCounts {
public:
    static constexpr int Columns = 9;
    // The winner's name that means the local player won.
    static inline const QString Mine = QStringLiteral("addtomine");

    // Row 0 with every counter at 0, nobody followed.
    TallyCounts();

    StringTable& table() { return m_table; }
    const StringTable& table() const { return m_table; }
    // Takes a table read from the tally file, which must have Columns columns.
    void setTable(const StringTable& table) { m_table = table; }

    // The row of a followed player (names match without regard to letter
    // case), or -1.
    int rowOf(const QString& name) const;
    // Followed players, in row order.
    QStringList followed() const;

    // Counts one finished game: the local player's games (and wins when
    // winner is Mine), and for each followed player among playersAtTable,
    // the game and who of the two won, or that neither did.
    void addGame(const QString& winner, const QStringList& playersAtTable);
    // Adds 1 to a cell; returns the new value (0 for a cell outside the table).
    int addit(int col, int row);
    // Sets every followed player's since-start counters to 0.
    void clearSession();

    // Adds a row for a player not followed yet; false when he is.
    bool follow(const QString& name);
    // Deletes a followed player's row (1 or more), moving later rows up.
    bool removeRow(int row);
    // Forgets every followed player and sets the own totals to 0.
    void reset();

private:
    StringTable m_table;
};
