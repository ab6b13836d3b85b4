#include "client/AccessibleNames.h"

#include "client/BoardGeometry.h"
#include "client/BoardView.h"
#include "client/ColumnHints.h"
#include "client/Picture.h"
#include "client/TableModel.h"
#include "client/TurnButton.h"

#include <QAccessible>
#include <QLabel>

#include <map>

AccessibleNames::AccessibleNames(const TableModel& model, BoardView& view, QObject* parent)
    : QObject(parent), m_model(model), m_view(view) {
    view.rollButton()->setAccessibleName("Roll Dice");
    view.rollButton()->setAccessibleDescription("Rolls the four dice. Keys: R or Space.");
    view.endButton()->setAccessibleName("End Turn");
    view.endButton()->setAccessibleDescription("Ends the turn and keeps the markers as chips. "
                                               "Key: E.");
    view.startButton()->setAccessibleName("Start Game");
    view.startButton()->setAccessibleDescription("Opens the game start window. Key: S.");
    view.status()->setAccessibleDescription("Game status");
    for (int die = 0; die < board::dice; ++die)
        view.die(die).setAccessibleDescription(
            QString("Key %1 selects or unselects this die.").arg(die + 1));
    for (int column = board::firstColumn; column <= board::lastColumn; ++column)
        for (int position = 0; position <= board::columnTop(column); ++position)
            view.chip(column, position)
                .setAccessibleDescription(QString("position %1").arg(position));

    connect(&model, &TableModel::diceChanged, this, &AccessibleNames::nameDice);
    connect(&model, &TableModel::cellChanged, this,
            [this](int column, int) { nameColumn(column, ColumnHints::columnsFor(m_model)); });
    // Seat names, the own seat, the turn and the selection change what a
    // column says about its chips and whether the selected dice fit it.
    for (auto signal :
         {&TableModel::boardReset, &TableModel::ownSeatChanged, &TableModel::diceChanged,
          &TableModel::phaseChanged, &TableModel::markersChanged})
        connect(&model, signal, this, &AccessibleNames::nameColumns);
    connect(&model, &TableModel::seatChanged, this, &AccessibleNames::nameColumns);
    connect(&model, &TableModel::statusChanged, this, &AccessibleNames::announceStatus);
    nameDice();
    nameColumns();
}

QString AccessibleNames::dieText(const TableModel& model, int die) {
    const TableModel::Die& shown = model.die(die);
    QString text = QString("die %1").arg(die + 1);
    if (shown.home || shown.value == TableModel::noValue)
        return text + ", not in play";
    text += QString(" showing %1").arg(shown.value + 1);
    if (model.isSelected(die))
        text += ", selected";
    return text;
}

QString AccessibleNames::columnText(const TableModel& model, int column) {
    return columnText(model, column, ColumnHints::columnsFor(model));
}

QString AccessibleNames::columnText(const TableModel& model, int column, const QList<int>& fits) {
    QString text = QString("column %1").arg(column);
    const int top = board::columnTop(column);
    auto whose = [&](int seat) {
        return model.isOwn(seat) ? QString("your") : model.seatName(seat) + "'s";
    };
    const int owner = model.cell(column, top).occupant;
    if (owner >= 1 && owner <= board::seats && model.cell(column, 0).completedBy == owner)
        return text + ", completed by " +
               (model.isOwn(owner) ? QString("you") : model.seatName(owner));

    QStringList own;
    QStringList markers;
    std::map<int, QStringList> others; // by seat
    for (int position = 0; position <= top; ++position) {
        const TableModel::Cell& cell = model.cell(column, position);
        const QString at = QString::number(position);
        if (cell.occupant == TableModel::marker)
            markers << "marker at " + at;
        for (int seat : {cell.occupant, cell.seatUnder}) {
            if (seat < 1 || seat > board::seats)
                continue;
            if (model.isOwn(seat))
                own << "your chip at " + at;
            else
                others[seat] << whose(seat) + " chip at " + at;
        }
    }
    QStringList parts = own + markers;
    for (const auto& [seat, chips] : others)
        parts += chips;
    if (parts.isEmpty())
        parts << "empty";
    if (fits.contains(column))
        parts << "the selected dice fit here";
    return text + ", " + parts.join(", ");
}

void AccessibleNames::nameDice() {
    for (int die = 0; die < board::dice; ++die)
        m_view.die(die).setAccessibleName(dieText(m_model, die));
}

void AccessibleNames::nameColumn(int column, const QList<int>& fits) {
    const QString text = columnText(m_model, column, fits);
    for (int position = 0; position <= board::columnTop(column); ++position) {
        Picture& place = m_view.chip(column, position);
        if (place.accessibleName() != text)
            place.setAccessibleName(text);
    }
}

void AccessibleNames::nameColumns() {
    const QList<int> fits = ColumnHints::columnsFor(m_model);
    for (int column = board::firstColumn; column <= board::lastColumn; ++column)
        nameColumn(column, fits);
}

void AccessibleNames::announceStatus() {
    // The label's name is its text; tell assistive tools it changed.
    QAccessibleEvent event(m_view.status(), QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}
