#pragma once

#include <QObject>
#include <QStringList>

class ClientServices;
class QAction;
class QMenu;
class QPoint;
class QWidget;
class Tspylist;

// The client's side of watching and removal: Options > "Just Watch", the
// seat menu `popup_kick` on the seats' name and score labels, the eye
// pictures that mark a just-watching seat, and the spy list of spectators.
// The host's server owns the just-watch marks; the client only asks, and
// shows a mark when CMD_justwatching confirms it.
class Spectators : public QObject {
    Q_OBJECT
public:
    // The board panel holds `label_playername1..4`, `label_score1..4` and
    // `image_eyes1..4`, found by name.
    Spectators(ClientServices& services, QWidget* board, QObject* parent = nullptr);

    // Options > "Just Watch": asks to set or clear the own seat's mark. The
    // check mark changes only when the host confirms.
    void JustWatch1Click();
    // Opens the seat menu for a name or score label.
    void label_playername1ContextPopup(QWidget* label, const QPoint& globalPos);
    void RemoveFromGame1Click();
    void SettoJustWatch1Click();
    void UnsetJustWatch1Click();
    // Asks the host's server to remove the connection of that seat.
    void kicking(int seat);
    // A relayed CMD_justwatching: seat "+" flag ("1" set, else cleared).
    void justwatching(const QByteArray& args);
    // View > "Spy List".
    void SpyList1Click();

    // The spy list window; lines added before it is attached are kept for it.
    void attachSpyList(Tspylist* spylist);
    Tspylist* spyList() const { return m_spylist; }
    // Hosting started: the spy list's "Remove From Game" is enabled.
    void setHosting(bool hosting);
    void addSpy(const QString& entry);
    bool removeSpy(const QString& entry);
    QStringList spies() const;

    // Options > "Just Watch" (checkable).
    void bindJustWatch(QAction* justWatch1);
    // Finds the eight seat labels and the eye pictures again (they are made
    // before this object on the main window; tests may add them later).
    void attachSeatLabels();

    QMenu* seatMenu() const { return m_seatMenu; }
    int menuSeat() const { return m_menuSeat; }
    QAction* removeItem() const { return m_remove; }
    QAction* setWatchItem() const { return m_setWatch; }
    QAction* unsetWatchItem() const { return m_unsetWatch; }

private:
    QString nameOf(int seat) const;
    void sendJustWatch(int seat, int flag);

    ClientServices& m_services;
    QWidget* m_board;
    Tspylist* m_spylist = nullptr;
    QStringList m_pending;
    QAction* m_justWatch = nullptr;
    QMenu* m_seatMenu = nullptr;
    QAction* m_remove = nullptr;
    QAction* m_setWatch = nullptr;
    QAction* m_unsetWatch = nullptr;
    int m_menuSeat = 0;
};
