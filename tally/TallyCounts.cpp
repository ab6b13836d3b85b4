#include "tally/TallyCounts.h"

#include <climits>

TallyCounts::TallyCounts() {
    m_table.setColCount(Columns);
    m_table.setRowCount(1);
    for (int col = 0; col < Columns; ++col)
        m_table.setCell(col, 0, QStringLiteral("0"));
}

int TallyCounts::rowOf(const QString& name) const {
    for (int row = 1; row < m_table.rowCount(); ++row)
        if (m_table.cell(0, row).compare(name, Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

QStringList TallyCounts::followed() const {
    QStringList names;
    for (int row = 1; row < m_table.rowCount(); ++row)
        names << m_table.cell(0, row);
    return names;
}

void TallyCounts::addGame(const QString& winner, const QStringList& playersAtTable) {
    addit(1, 0);
    if (winner == Mine)
        addit(2, 0);
    for (const QString& player : playersAtTable) {
        const int row = rowOf(player);
        if (row < 0)
            continue;
        for (int col = 1; col <= 8; ++col)
            if (m_table.cell(col, row).isEmpty())
                m_table.setCell(col, row, QStringLiteral("0"));
        addit(1, row);
        addit(5, row);
        if (m_table.cell(0, row) == winner) {
            addit(2, row);
            addit(6, row);
        } else if (winner == Mine) {
            addit(3, row);
            addit(7, row);
        } else {
            addit(4, row);
            addit(8, row);
        }
    }
}

int TallyCounts::addit(int col, int row) {
    if (row < 0 || row >= m_table.rowCount() || col < 0 || col >= Columns)
        return 0;
    bool ok = false;
    int value = m_table.cell(col, row).trimmed().toInt(&ok);
    if (!ok)
        value = 0;
    if (value < INT_MAX)
        ++value;
    m_table.setCell(col, row, QString::number(value));
    return value;
}

void TallyCounts::clearSession() {
    for (int row = 1; row < m_table.rowCount(); ++row)
        for (int col = 5; col <= 8; ++col)
            m_table.setCell(col, row, QStringLiteral("0"));
}

bool TallyCounts::follow(const QString& name) {
    if (rowOf(name) >= 0)
        return false;
    const int row = m_table.rowCount();
    m_table.setRowCount(row + 1);
    m_table.setCell(0, row, name);
    for (int col = 1; col < Columns; ++col)
        m_table.setCell(col, row, QStringLiteral("0"));
    return true;
}

bool TallyCounts::removeRow(int row) {
    if (row < 1 || row >= m_table.rowCount())
        return false;
    m_table.deleteRow(row);
    return true;
}

void TallyCounts::reset() {
    for (int col = 1; col <= 4; ++col)
        m_table.setCell(col, 0, QStringLiteral("0"));
    // With players followed, the own row is emptied rather than zeroed; it
    // reads as 0 all the same.
    if (m_table.rowCount() > 1)
        for (int col = 0; col < Columns; ++col)
            m_table.setCell(col, 0, QString());
    m_table.setRowCount(1);
}
