#pragma once

#include <QDialog>
#include <QStringList>

class QAction;
class QListWidget;
class QMenu;
class QPushButton;

// The spy list: one line per spectator, the seat, ": " and the name. It stays
// on top of the other windows and does not block the main window. Its
// context menu's "Remove From Game" asks to remove the spectator of the line
// the pointer last moved over (not the selected line); the item is enabled
// only in the process that hosts.
class Tspylist : public QDialog {
    Q_OBJECT
public:
    static constexpr int clientWidth = 162;
    static constexpr int clientHeight = 168;

    explicit Tspylist(QWidget* parent = nullptr);

    void addSpy(const QString& entry);
    // Removes the line that equals the entry; false when there is none.
    bool removeSpy(const QString& entry);
    QStringList spies() const;

    // The line under the pointer at its last movement over the list, or -1.
    int pointerIndex() const { return m_pointerIndex; }
    void setRemoveEnabled(bool enabled);

    QListWidget* list() const { return m_list; }
    QMenu* menu() const { return m_menu; }
    QAction* removeItem() const { return m_remove; }
    QPushButton* doneButton() const { return m_done; }

    void listbox_spysMouseMove(const QPoint& pos);
    void popup_kickhimClick();
    void button_doneClick();

signals:
    // "Remove From Game" on a line that starts with a seat number.
    void kickRequested(int seat);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QListWidget* m_list = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_remove = nullptr;
    QPushButton* m_done = nullptr;
    int m_pointerIndex = -1;
};
