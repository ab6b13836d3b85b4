#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <array>

class BoardView;
class QFrame;
class QLabel;
class TableModel;

// Moves that explain themselves. While two dice are selected on the own turn,
// their sum shows beside the dice row, and the column that can take the pair
// is framed on the board; no column is framed when the rules let none take
// it. The rules are asked of game/Game, rebuilt from the table model, so the
// hint says what the server will say.
class ColumnHints : public QObject {
    Q_OBJECT
public:
    ColumnHints(const TableModel& model, BoardView& view, QObject* parent = nullptr);

    // The columns the two selected dice can take now; empty unless it is the
    // own turn with two dice selected and no placement waiting.
    static QList<int> columnsFor(const TableModel& model);
    // The sum of the two selected dice, or 0 unless two are selected.
    static int selectedSum(const TableModel& model);

    // The columns framed now, ascending.
    QList<int> highlighted() const;
    QLabel* sumLabel() const { return m_sum; }
    QFrame* frame(int column) const;

private:
    void refresh();

    const TableModel& m_model;
    QLabel* m_sum = nullptr;
    std::array<QFrame*, 13> m_frames{};
};
