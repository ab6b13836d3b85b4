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
//
// A refusal's status text stays until the next roll of the own dice, which
// gives the status line back to the turn.
class ColumnHints : public QObject {
    Q_OBJECT
public:
    ColumnHints(TableModel& model, BoardView& view, QObject* parent = nullptr);

    // The columns the two selected dice can take now; empty unless it is the
    // own turn with two dice selected and no placement waiting.
    static QList<int> columnsFor(const TableModel& model);
    // The sum of the two selected dice, or 0 unless two are selected.
    static int selectedSum(const TableModel& model);
    // Whether the status text is one a refused click or request shows.
    static bool isRefusal(const QString& status);

    // The columns framed now, ascending.
    QList<int> highlighted() const;
    QLabel* sumLabel() const { return m_sum; }
    QFrame* frame(int column) const;

    // A roll arrived for the seat.
    void rollArrived(int seat);

private:
    void refresh();

    TableModel& m_model;
    QLabel* m_sum = nullptr;
    std::array<QFrame*, 13> m_frames{};
};
