#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class DesktopNotifier;
class QWidget;
class TableModel;

// Tells a player who is away from the main window that their turn has begun:
// the window asks for attention in the task bar, and a desktop notification
// appears that brings the window forward when clicked. Only the own turn of a
// seat the player plays in person counts (not a spectator's, not a watching
// or computer-played seat's), and only while the window is not the active
// one. The notification goes away when the dice are rolled, the turn passes
// or the window becomes active.
class TurnAlert : public QObject {
    Q_OBJECT
public:
    TurnAlert(const TableModel& model, QWidget& window, DesktopNotifier& notifier,
              QObject* parent = nullptr);

    // Options > "Flash Window on My Turn" and "Notify on My Turn".
    bool flashOn() const { return m_flashOn; }
    void setFlashOn(bool on) { m_flashOn = on; }
    bool notifyOn() const { return m_notifyOn; }
    void setNotifyOn(bool on);

    // What asks for the window's attention; QApplication::alert until it is
    // activated by default (tests count the calls).
    void setFlasher(std::function<void(QWidget*)> flasher) { m_flasher = std::move(flasher); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The own turn, played in person, waits for its roll.
    bool ownTurnWaiting() const;
    void follow();
    void alert();
    void withdraw();
    void bringForward();

    const TableModel& m_model;
    QPointer<QWidget> m_window;
    DesktopNotifier& m_notifier;
    std::function<void(QWidget*)> m_flasher;
    bool m_flashOn = true;
    bool m_notifyOn = true;
    bool m_waiting = false; // ownTurnWaiting() when last looked at
    bool m_shown = false;   // a notification is up
};
