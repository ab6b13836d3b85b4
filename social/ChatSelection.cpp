#include "social/ChatSelection.h"

#include "social/ChatLines.h"

#include <algorithm>

void ChatSelection::press(const Position& at, bool extend) {
    if (!extend)
        m_anchor = at;
    m_cursor = at;
}

void ChatSelection::select(const Position& from, const Position& to) {
    m_anchor = from;
    m_cursor = to;
}

void ChatSelection::selectAll(const ChatLines& lines) {
    if (lines.empty())
        return;
    m_anchor = {0, 0};
    m_cursor = {int(lines.size()) - 1, int(lines.back().text.size())};
}

void ChatSelection::dropLines(int count) {
    auto shift = [count](Position& pos) {
        pos = pos.line >= count ? Position{pos.line - count, pos.offset} : Position{};
    };
    shift(m_anchor);
    shift(m_cursor);
}

std::pair<int, int> ChatSelection::in(int line, int length) const {
    if (isEmpty())
        return {0, 0};
    const Position start = std::min(m_anchor, m_cursor);
    const Position end = std::max(m_anchor, m_cursor);
    if (line < start.line || line > end.line)
        return {0, 0};
    return {line == start.line ? start.offset : 0, line == end.line ? end.offset : length};
}

QString ChatSelection::text(const ChatLines& lines) const {
    if (isEmpty() || lines.empty())
        return QString();
    const Position start = std::min(m_anchor, m_cursor);
    const Position end = std::max(m_anchor, m_cursor);
    QString out;
    for (int i = start.line; i <= end.line && i < int(lines.size()); ++i) {
        if (i > start.line)
            out += QLatin1String("\r\n");
        const auto [from, to] = in(i, int(lines[size_t(i)].text.size()));
        out += lines.textBetween(i, from, to);
    }
    return out;
}
