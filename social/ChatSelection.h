#pragma once

#include <QString>

#include <utility>

class ChatLines;

// The selection of the chat view, without the widget: an anchor where the
// press was and a cursor where the pointer is, each a line and a character
// offset into the line's text. Nothing is selected while they are equal.
class ChatSelection {
public:
    struct Position {
        int line = 0;
        int offset = 0;
        bool operator==(const Position& other) const = default;
        bool operator<(const Position& other) const {
            return line != other.line ? line < other.line : offset < other.offset;
        }
    };

    Position anchor() const { return m_anchor; }
    Position cursor() const { return m_cursor; }
    bool isEmpty() const { return m_anchor == m_cursor; }

    // A press starts a selection there, or, extending, moves its cursor.
    void press(const Position& at, bool extend);
    void moveCursor(const Position& at) { m_cursor = at; }
    void select(const Position& from, const Position& to);
    void selectAll(const ChatLines& lines);
    void clear() { m_anchor = m_cursor = Position{}; }
    // The first `count` lines went: the rest move up, and an end that was
    // on a dropped line goes to the start.
    void dropLines(int count);

    // The selected part of a line of `length` characters, [from, to);
    // {0, 0} for a line outside the selection.
    std::pair<int, int> in(int line, int length) const;
    // The selected text, lines joined by CR LF; pictures give nothing.
    QString text(const ChatLines& lines) const;

private:
    Position m_anchor;
    Position m_cursor;
};
