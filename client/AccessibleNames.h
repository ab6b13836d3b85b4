#pragma once

#include <QList>
#include <QObject>
#include <QString>

class BoardView;
class TableModel;

// Names and descriptions for screen readers, kept up to date from the table
// model: each die says its number, face and whether it is selected ("die 2
// showing 5, selected"); every place of a column says what the column holds
// ("column 7, your chip at 4, marker at 6, Bo's chip at 3"); the turn
// buttons say what they do and which key does it; and the status line is
// announced whenever its text changes.
class AccessibleNames : public QObject {
    Q_OBJECT
public:
    AccessibleNames(const TableModel& model, BoardView& view, QObject* parent = nullptr);

    // die counts from 0; people count dice from 1.
    static QString dieText(const TableModel& model, int die);
    static QString columnText(const TableModel& model, int column);
    // The same, with the columns the selected dice fit (ColumnHints) known.
    static QString columnText(const TableModel& model, int column, const QList<int>& fits);

private:
    void nameDice();
    void nameColumn(int column, const QList<int>& fits);
    void nameColumns();
    void announceStatus();

    const TableModel& m_model;
    BoardView& m_view;
};
