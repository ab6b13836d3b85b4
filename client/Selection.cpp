#include "client/Selection.h"

#include "client/BoardView.h"
#include "client/ClientState.h"
#include "client/GameSoundPlayer.h"
#include "client/HostSender.h"
#include "client/MainWindowActions.h"
#include "client/TableModel.h"
#include "client/TurnButton.h"
#include "protocol/Commands.h"
#include "ui/Prompter.h"

static_assert(Selection::empty == TableModel::noDie);

Selection::Selection(const Needs& needs, TableModel& model, BoardView& view, QObject* parent)
    : QObject(parent), m_needs(needs), m_model(model), m_view(view) {}

int Selection::slotA() const {
    return m_model.slotA();
}

int Selection::slotB() const {
    return m_model.slotB();
}

void Selection::refuse(const QString& status) {
    m_needs.sounds.playsounds("invalid");
    m_model.setRefusal(status);
}

void Selection::dice_0Click(int die) {
    // Not before login, on another seat's turn, after a win, nor while a
    // placement waits for the server's answer.
    if (!m_model.inputAccepted())
        return;
    TableModel::requireDie(die);
    if (m_model.die(die).value == TableModel::noValue) {
        refuse("You cannot select that dice");
        return;
    }
    int a = m_model.slotA();
    int b = m_model.slotB();
    if (a == die || b == die) {
        (a == die ? a : b) = empty;
        m_model.setSelection(a, b);
        m_needs.sounds.playsounds("unset");
        return;
    }
    if (a != empty && b != empty) {
        refuse("You have already selected 2 die");
        return;
    }
    (a == empty ? a : b) = die;
    m_model.setSelection(a, b);
    m_needs.sounds.playsounds("clickdice");
}

bool Selection::checkformatch(int column) const {
    return m_model.checkformatch(column);
}

void Selection::chip_711Click(int column) {
    if (!m_model.inputAccepted())
        return;
    if (m_model.slotA() == empty || m_model.slotB() == empty) {
        refuse("You must select two die");
        return;
    }
    const ClientState& state = m_needs.state;
    // No further input until the server answers (placechip or invalid).
    if (state.loggedIn && m_model.requestPlacement(column))
        m_needs.host.send(
            cmd::placechip_(m_model.ownSeat(), column, m_model.slotA(), m_model.slotB()));
}

void Selection::placeSelected() {
    const int a = m_model.slotA();
    const int b = m_model.slotB();
    // With an empty slot the column is never looked at: the click refuses first.
    const int column =
        a == empty || b == empty ? 0 : m_model.die(a).value + m_model.die(b).value + 2;
    chip_711Click(column);
}

void Selection::button_rollMouseUp(const QPoint& pos) {
    if (m_view.rollButton()->isActiveAt(pos))
        rollPressed();
}

void Selection::rollPressed() {
    // The buttons go at once; the model takes the offer back, so that a
    // second press sends nothing even if they were shown again.
    m_view.rollButton()->hide();
    m_view.endButton()->hide();
    if (m_needs.state.loggedIn && m_model.requestRoll())
        m_needs.host.send(cmd::rollthedice_(m_model.ownSeat()));
}

void Selection::button_endMouseUp(const QPoint& pos) {
    if (m_view.endButton()->isActiveAt(pos))
        endPressed();
}

void Selection::endPressed() {
    m_view.endButton()->hide();
    m_view.rollButton()->hide();
    if (m_needs.state.loggedIn && m_model.requestEnd())
        m_needs.host.send(cmd::endturn_(m_model.ownSeat(), "p"));
}

void Selection::button_startMouseUp(const QPoint& pos) {
    if (m_view.startButton()->isActiveAt(pos))
        StartGame1Click();
}

void Selection::StartGame1Click() {
    if (m_needs.state.loggedIn)
        m_needs.window.showGameStart();
    else
        m_needs.prompter.message("You are not connected");
}
