#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// A table of text cells that saves itself to and loads itself from a plain
// text file, lines ended by CR LF:
//
//   the column count, the row count, then one line per cell, column by
//   column (every row of column 0, then of column 1, ...); a cell's line is
//   its text as it is, an empty cell an empty line.
//
// Cells outside the table read as empty and ignore writes. There is always
// at least one row and one column.
class StringTable {
public:
    StringTable();

    int colCount() const { return m_colCount; }
    int rowCount() const { return int(m_rows.size()); }
    // New cells are empty; cells cut off are lost. Counts below 1 become 1.
    void setColCount(int count);
    void setRowCount(int count);

    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString& text);
    // Removes a row, moving the rows after it up by one; the last row stays.
    void deleteRow(int row);

    // Throws EGridException when the file cannot be written; the previous
    // file then stays as it was.
    void SaveToFile(const QString& fileName) const;
    // Throws EGridException when the file cannot be read or is not a table
    // text; the table then stays as it was.
    void LoadFromFile(const QString& fileName);

    // The file's content and its reading, in memory.
    QByteArray toText() const;
    void fromText(const QByteArray& text);

private:
    int m_colCount = 5;
    QList<QStringList> m_rows; // m_rows[row][col]
};
