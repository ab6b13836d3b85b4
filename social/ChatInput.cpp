#include "social/ChatInput.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include <limits>

ChatInput::ChatInput(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(std::numeric_limits<int>::max());
    // The border is drawn here rather than by a style sheet: the first style
    // sheet of a program costs about a millisecond, paid before its window
    // appears.
    setFrame(false);
    setTextMargins(2, 0, 2, 0);
}

void ChatInput::setColours(const QColor& background, const QColor& text) {
    QPalette colours = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::Base, background);
        colours.setColor(group, QPalette::Window, background);
        colours.setColor(group, QPalette::Text, text);
    }
    setPalette(colours);
}

void ChatInput::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

bool ChatInput::event(QEvent* event) {
    // The line edit already claims the keys that type text; Enter and Escape
    // belong to it too, ahead of any shortcut of the window.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                      key->key() == Qt::Key_Escape)) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void ChatInput::keyPressEvent(QKeyEvent* event) {
    emit keyDown();
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        emit escapePressed();
        return;
    }
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
