#pragma once

#include <QMap>
#include <QObject>
#include <QStringList>

class HostSender;
class MainWindowActions;
class QAction;
class QMenu;
class QPoint;
class TableModel;
class SystemLineWriter;
class Tspylist;
struct ClientState;

// The client's side of watching and removal: Options > "Just Watch", the
// seat menu `popup_kick` of the seats' name and score labels, and the spy
// list of spectators. The host's server owns the just-watch marks; the
// client only asks, and the table model marks a seat when CMD_justwatching
// confirms it (the seat view shows the eyes from there). The spy list
// follows the spectator seats of the model.
class Spectators : public QObject {
    Q_OBJECT
public:
    Spectators(const ClientState& state, HostSender& host, SystemLineWriter& lines,
               MainWindowActions& window, TableModel& model, QObject* parent = nullptr);
    ~Spectators() override;

    // Options > "Just Watch": asks to set or clear the own seat's mark. The
    // check mark changes only when the host confirms.
    void JustWatch1Click();
    // Opens the seat menu for a seat's name label (onName) or score label.
    // Removal is offered for a seat whose name label shows "<Waiting>" only
    // when the menu comes from the score label, as the label's own caption
    // decides.
    void openSeatMenu(int seat, bool onName, const QPoint& globalPos);
    void RemoveFromGame1Click();
    void SettoJustWatch1Click();
    void UnsetJustWatch1Click();
    // Asks the host's server to remove the connection of that seat.
    void kicking(int seat);
    // A relayed CMD_justwatching: seat "+" flag ("1" set, else cleared).
    // Marks the seat in the model and writes the line.
    void justwatching(const QByteArray& args);
    // View > "Spy List".
    void SpyList1Click();

    // The spy list window; lines added before it is attached are kept for it.
    void attachSpyList(Tspylist* spylist);
    Tspylist* spyList() const { return m_spylist; }
    // Hosting started: the spy list's "Remove From Game" is enabled.
    void setHosting(bool hosting);
    QStringList spies() const;

    // Options > "Just Watch" (checkable).
    void bindJustWatch(QAction* justWatch1);

    QMenu* seatMenu() const { return m_seatMenu; }
    int menuSeat() const { return m_menuSeat; }
    QAction* removeItem() const { return m_remove; }
    QAction* setWatchItem() const { return m_setWatch; }
    QAction* unsetWatchItem() const { return m_unsetWatch; }

private:
    void sendJustWatch(int seat, int flag);
    // A spectator seat of the model changed: its line comes, goes or is renamed.
    void followSpectator(int seat);

    const ClientState& m_state;
    HostSender& m_host;
    SystemLineWriter& m_lines;
    MainWindowActions& m_window;
    TableModel& m_model;
    Tspylist* m_spylist = nullptr;
    // The spy list's line of each spectator seat, kept while the window is
    // not there yet; empty for a seat nobody holds.
    QMap<int, QString> m_entries;
    QAction* m_justWatch = nullptr;
    QMenu* m_seatMenu = nullptr;
    QAction* m_remove = nullptr;
    QAction* m_setWatch = nullptr;
    QAction* m_unsetWatch = nullptr;
    int m_menuSeat = 0;
};
