#include "client/KeyboardPlay.h"

#include "client/Selection.h"
#include "client/TableModel.h"

#include <QAction>
#include <QKeySequence>

namespace {
QAction* makeAction(QObject* parent, const QString& name, const QString& caption,
                    const QList<QKeySequence>& keys) {
    auto* action = new QAction(caption, parent);
    action->setObjectName(name);
    action->setShortcuts(keys);
    return action;
}
} // namespace

KeyboardPlay::KeyboardPlay(Selection& selection, const TableModel& model, QObject* parent)
    : QObject(parent), m_selection(selection), m_model(model) {
    for (int die = 0; die < TableModel::dice; ++die) {
        const QString n = QString::number(die + 1);
        QAction* select = makeAction(this, "SelectDie" + n, "Select Die " + n, {QKeySequence(n)});
        connect(select, &QAction::triggered, this, [this, die] { selectDie(die); });
        m_actions[size_t(die)] = select;
    }
    m_actions[4] = makeAction(this, "PlaceDice1", "Place Selected Dice",
                              {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    connect(m_actions[4], &QAction::triggered, this, &KeyboardPlay::placeSelected);
    m_actions[5] = makeAction(this, "RollDice1", "Roll Dice",
                              {QKeySequence(Qt::Key_R), QKeySequence(Qt::Key_Space)});
    connect(m_actions[5], &QAction::triggered, this, &KeyboardPlay::roll);
    m_actions[6] = makeAction(this, "EndTurn1", "End Turn", {QKeySequence(Qt::Key_E)});
    connect(m_actions[6], &QAction::triggered, this, &KeyboardPlay::endTurn);
}

QAction* KeyboardPlay::action(const QString& name) const {
    for (QAction* action : m_actions)
        if (action->objectName() == name)
            return action;
    return nullptr;
}

void KeyboardPlay::selectDie(int die) {
    if (die >= 0 && die < TableModel::dice)
        m_selection.dice_0Click(die);
}

void KeyboardPlay::placeSelected() {
    m_selection.placeSelected();
}

void KeyboardPlay::roll() {
    // The roll button is shown exactly while the model offers the roll.
    if (m_model.rollOffered())
        m_selection.rollPressed();
}

void KeyboardPlay::endTurn() {
    if (m_model.endOffered())
        m_selection.endPressed();
}
