#pragma once

#include "tally/StringTable.h"

#include <QWidget>

// A widget that draws a StringTable in a plain grid: its own table, or one
// that another object keeps. The table's calls are offered here too; changes
// made to the table directly show at the next repaint.
class TStringGrid : public QWidget {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr);
    // Shows `table`, which must outlive the widget.
    explicit TStringGrid(StringTable& table, QWidget* parent = nullptr);

    StringTable& table() { return *m_table; }
    const StringTable& table() const { return *m_table; }

    int colCount() const { return m_table->colCount(); }
    int rowCount() const { return m_table->rowCount(); }
    void setColCount(int count);
    void setRowCount(int count);

    QString cell(int col, int row) const { return m_table->cell(col, row); }
    void setCell(int col, int row, const QString& text);
    void deleteRow(int row);

    void SaveToFile(const QString& fileName) const { m_table->SaveToFile(fileName); }
    void LoadFromFile(const QString& fileName);

    QByteArray toText() const { return m_table->toText(); }
    void fromText(const QByteArray& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    StringTable m_ownTable;
    StringTable* m_table;
};
