#include "tally/TStringGrid.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int CellWidth = 64;
constexpr int CellHeight = 24;

} // namespace

TStringGrid::TStringGrid(QWidget* parent) : QWidget(parent), m_table(&m_ownTable) {}

TStringGrid::TStringGrid(StringTable& table, QWidget* parent) : QWidget(parent), m_table(&table) {}

void TStringGrid::setColCount(int count) {
    m_table->setColCount(count);
    update();
}

void TStringGrid::setRowCount(int count) {
    m_table->setRowCount(count);
    update();
}

void TStringGrid::setCell(int col, int row, const QString& text) {
    m_table->setCell(col, row, text);
    update();
}

void TStringGrid::deleteRow(int row) {
    m_table->deleteRow(row);
    update();
}

void TStringGrid::LoadFromFile(const QString& fileName) {
    m_table->LoadFromFile(fileName);
    update();
}

void TStringGrid::fromText(const QByteArray& text) {
    m_table->fromText(text);
    update();
}

void TStringGrid::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const int rows = std::min(rowCount(), height() / CellHeight + 1);
    const int cols = std::min(colCount(), width() / CellWidth + 1);
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < cols; ++col) {
            const QRect box(col * CellWidth, row * CellHeight, CellWidth, CellHeight);
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            painter.setPen(palette().color(QPalette::Text));
            painter.drawText(box.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft,
                             cell(col, row));
        }
}
