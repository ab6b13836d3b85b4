#include "social/ChatInput.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include <limits>

ChatInput::ChatInput(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(std::numeric_limits<int>::max());
}

void ChatInput::keyPressEvent(QKeyEvent* event) {
    emit keyDown();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit enterPressed();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        event->accept();
        emit pasteRequested();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void ChatInput::contextMenuEvent(QContextMenuEvent* event) {
    if (m_menu)
        m_menu->popup(event->globalPos());
    event->accept();
}

void ChatInput::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button would paste the selection at the pointer; only the
    // menu and the keyboard paste, and they append.
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}
