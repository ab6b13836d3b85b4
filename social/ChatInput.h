#pragma once

#include <QLineEdit>

class QMenu;

// The chat input line `mychat`. It tells every key-down before the key does
// anything, takes Enter for itself (nothing is inserted, no beep), and hands
// pasting and its context menu to its owner: pasting appends to the end of
// the text instead of replacing the selection. While it has the focus it
// keeps Enter and Escape from the window's shortcuts (the game's keys), and
// Escape asks to leave it.
class ChatInput : public QLineEdit {
    Q_OBJECT
public:
    explicit ChatInput(QWidget* parent = nullptr);

    // Shown on a right click instead of the standard menu.
    void setContextMenu(QMenu* menu) { m_menu = menu; }
    // The flat look: this background and text colour, focused or not, and a
    // one-pixel black border.
    void setColours(const QColor& background, const QColor& text);

signals:
    void keyDown();
    void enterPressed();
    void pasteRequested();
    void escapePressed();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QMenu* m_menu = nullptr;
};
