#include "client/Selection.h"

#include "client/BoardGeometry.h"
#include "client/BoardView.h"
#include "client/ClientServices.h"
#include "client/Picture.h"
#include "client/TurnButton.h"
#include "protocol/Commands.h"
#include "ui/Prompter.h"

Selection::Selection(ClientServices& services, BoardView& view, QObject* parent)
    : QObject(parent), m_services(services), m_view(view) {}

void Selection::clear() {
    m_a = empty;
    m_b = empty;
}

bool Selection::myTurn() const {
    // Turn seat 0 is nobody's turn: before login (own seat 0 too), after a
    // win, and while a placement waits for the server's answer.
    const ClientState& state = m_services.state();
    return state.turnSeat != 0 && state.ownSeat == state.turnSeat;
}

void Selection::refuse(const QString& status) {
    m_services.playsounds("invalid");
    m_view.setStatus(status);
}

void Selection::dice_0Click(int die) {
    if (!myTurn())
        return;
    Picture& shown = m_view.die(die);
    if (shown.value() == 10) {
        refuse("You cannot select that dice");
        return;
    }
    if (m_a == die || m_b == die) {
        (m_a == die ? m_a : m_b) = empty;
        m_view.dieToRow(die, board::diceRowTop);
        m_services.playsounds("unset");
        return;
    }
    if (m_a != empty && m_b != empty) {
        refuse("You have already selected 2 die");
        return;
    }
    (m_a == empty ? m_a : m_b) = die;
    m_view.dieToRow(die, board::diceRaisedTop);
    m_services.playsounds("clickdice");
}

bool Selection::checkformatch(int column) const {
    if (m_a == empty || m_b == empty)
        return false;
    return m_view.die(m_a).value() + m_view.die(m_b).value() + 2 == column;
}

void Selection::chip_711Click(int column) {
    if (!myTurn())
        return;
    if (m_a == empty || m_b == empty) {
        m_view.setStatus("You must select two die");
        m_services.playsounds("invalid");
        return;
    }
    ClientState& state = m_services.state();
    if (checkformatch(column) && state.loggedIn) {
        // No further input until the server answers (placechip or invalid).
        state.turnSeat = 0;
        m_services.send(cmd::placechip_(state.ownSeat, column, m_a, m_b));
    }
}

void Selection::button_rollMouseUp(const QPoint& pos) {
    if (!m_view.rollButton()->isActiveAt(pos))
        return;
    // Hidden before anything is sent: the only guard against a second roll.
    m_view.rollButton()->hide();
    m_view.endButton()->hide();
    const ClientState& state = m_services.state();
    if (myTurn() && state.loggedIn)
        m_services.send(cmd::rollthedice_(state.ownSeat));
}

void Selection::button_endMouseUp(const QPoint& pos) {
    if (!m_view.endButton()->isActiveAt(pos))
        return;
    m_view.endButton()->hide();
    m_view.rollButton()->hide();
    const ClientState& state = m_services.state();
    if (myTurn() && state.loggedIn)
        m_services.send(cmd::endturn_(state.ownSeat, "p"));
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
