#pragma once

#include <QObject>

#include <array>

class QAction;
class Selection;
class TableModel;

// Playing by keyboard: 1 to 4 select or unselect a die, Enter places the two
// selected dice in the column of their sum, R or Space rolls and E ends the
// turn. Each key makes the same call a click on the matching control makes,
// so it meets the same refusals (texts and sounds) and is ignored whenever a
// click would be: on another seat's turn, while a placement waits for the
// server's answer, on a turn button that is not shown.
//
// The keys are the shortcuts of named menu actions, so the menus show them.
// A text input that wants Enter or Space for itself claims them before the
// shortcuts see them (see ChatInput).
class KeyboardPlay : public QObject {
    Q_OBJECT
public:
    KeyboardPlay(Selection& selection, const TableModel& model, QObject* parent = nullptr);

    // "SelectDie1" to "SelectDie4", "PlaceDice1", "RollDice1", "EndTurn1",
    // in the order a menu lists them.
    const std::array<QAction*, 7>& actions() const { return m_actions; }
    QAction* action(const QString& name) const;

    // die counts from 0.
    void selectDie(int die);
    void placeSelected();
    // A press on the roll or end button, when that button is shown.
    void roll();
    void endTurn();

private:
    Selection& m_selection;
    const TableModel& m_model;
    std::array<QAction*, 7> m_actions{};
};
