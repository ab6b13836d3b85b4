#include "client/TurnAlert.h"

#include "client/TableModel.h"
#include "ui/DesktopNotifier.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

TurnAlert::TurnAlert(const TableModel& model, QWidget& window, DesktopNotifier& notifier,
                     QObject* parent)
    : QObject(parent), m_model(model), m_window(&window), m_notifier(notifier),
      m_flasher([](QWidget* w) { QApplication::alert(w, 0); }) {
    // Every change of turn seat, phase or own seat ends with turnChanged.
    connect(&model, &TableModel::turnChanged, this, &TurnAlert::follow);
    connect(&model, &TableModel::seatChanged, this, &TurnAlert::follow);
    window.installEventFilter(this);
    m_notifier.setClickHandler([this] { bringForward(); });
}

void TurnAlert::setNotifyOn(bool on) {
    m_notifyOn = on;
    if (!on)
        withdraw();
}

bool TurnAlert::ownTurnWaiting() const {
    if (!m_model.ownSeatPlays() || !m_model.isOwn(m_model.turnSeat()))
        return false;
    const TableModel::Seat& own = m_model.seat(m_model.ownSeat());
    return !own.computer && !own.watching && m_model.phase() == TableModel::Phase::AwaitingRoll;
}

void TurnAlert::follow() {
    const bool waiting = ownTurnWaiting();
    if (waiting == m_waiting)
        return;
    m_waiting = waiting;
    if (waiting)
        alert();
    else
        withdraw();
}

void TurnAlert::alert() {
    if (!m_window || m_window->isActiveWindow())
        return;
    if (m_flashOn && m_flasher)
        m_flasher(m_window);
    if (m_notifyOn) {
        m_notifier.show(QStringLiteral("Your turn in Climora"),
                        QStringLiteral("It is your turn to roll the dice."));
        m_shown = true;
    }
}

void TurnAlert::withdraw() {
    if (!m_shown)
        return;
    m_shown = false;
    m_notifier.withdraw();
}

void TurnAlert::bringForward() {
    if (!m_window)
        return;
    // Out of the task bar if minimized, keeping a maximized window maximized.
    if (m_window->isMinimized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool TurnAlert::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::WindowActivate)
        withdraw();
    return QObject::eventFilter(watched, event);
}
