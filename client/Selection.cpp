#include "client/Selection.h"

#include "client/BoardView.h"
#include "client/ClientServices.h"
#include "client/TableModel.h"
#include "client/TurnButton.h"
#include "protocol/Commands.h"
#include "ui/Prompter.h"

static_assert(Selection::empty == TableModel::noDie);

Selection::Selection(ClientServices& services, TableModel& model, BoardView& view, QObject* parent)
    : QObject(parent), m_services(services), m_model(model), m_view(view) {}

int Selection::slotA() const {
    return m_model.slotA();
}

int Selection::slotB() const {
    return m_model.slotB();
}

void Selection::refuse(const QString& status) {
    m_services.playsounds("invalid");
    m_model.setStatus(status);
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
        m_services.playsounds("unset");
        return;
    }
    if (a != empty && b != empty) {
        refuse("You have already selected 2 die");
        return;
    }
    (a == empty ? a : b) = die;
    m_model.setSelection(a, b);
    m_services.playsounds("clickdice");
}

bool Selection::checkformatch(int column) const {
    return m_model.checkformatch(column);
}

void Selection::chip_711Click(int column) {
    if (!m_model.inputAccepted())
        return;
    if (m_model.slotA() == empty || m_model.slotB() == empty) {
        m_model.setStatus("You must select two die");
        m_services.playsounds("invalid");
        return;
    }
    const ClientState& state = m_services.state();
    // No further input until the server answers (placechip or invalid).
    if (state.loggedIn && m_model.requestPlacement(column))
        m_services.send(
            cmd::placechip_(m_model.ownSeat(), column, m_model.slotA(), m_model.slotB()));
}

void Selection::button_rollMouseUp(const QPoint& pos) {
    if (!m_view.rollButton()->isActiveAt(pos))
        return;
    // The buttons go at once; the model takes the offer back, so that a
    // second press sends nothing even if they were shown again.
    m_view.rollButton()->hide();
    m_view.endButton()->hide();
    if (m_services.state().loggedIn && m_model.requestRoll())
        m_services.send(cmd::rollthedice_(m_model.ownSeat()));
}

void Selection::button_endMouseUp(const QPoint& pos) {
    if (!m_view.endButton()->isActiveAt(pos))
        return;
    m_view.endButton()->hide();
    m_view.rollButton()->hide();
    if (m_services.state().loggedIn && m_model.requestEnd())
        m_services.send(cmd::endturn_(m_model.ownSeat(), "p"));
}

void Selection::button_startMouseUp(const QPoint& pos) {
    if (m_view.startButton()->isActiveAt(pos))
        StartGame1Click();
}

void Selection::StartGame1Click() {
    if (m_services.state().loggedIn)
        m_services.showGameStart();
    else
        m_services.prompter().message("You are not connected");
}
