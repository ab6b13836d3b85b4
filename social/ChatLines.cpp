#include "social/ChatLines.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

ChatLines::Line& ChatLines::lineForAppend(bool newLine) {
    if (newLine || m_lines.empty()) {
        Line line;
        if (!m_lines.empty())
            line.linksBefore = m_lines.back().linksBefore + m_lines.back().links;
        m_lines.push_back(std::move(line));
    }
    return m_lines.back();
}

void ChatLines::addText(const QString& text, int style, bool newLine) {
    style = std::clamp(style, 0, styleCount - 1);
    Line& line = lineForAppend(newLine);
    line.runs.push_back({int(line.text.size()), int(text.size()), qint16(style), -1});
    line.text += text;
    line.styles |= quint16(1u << style);
    if (style == linkStyle)
        ++line.links;
}

void ChatLines::addPicture(int image) {
    Line& line = lineForAppend(false);
    line.runs.push_back({int(line.text.size()), 1, -1, qint16(std::clamp(image, -1, 32767))});
    line.text += pictureChar;
}

int ChatLines::dropFront(int count) {
    count = std::min(count, int(m_lines.size()));
    if (count <= 0)
        return 0;
    const int links =
        size_t(count) < m_lines.size() ? m_lines[size_t(count)].linksBefore : linkCount();
    m_lines.erase(m_lines.begin(), m_lines.begin() + count);
    for (Line& line : m_lines)
        line.linksBefore -= links;
    return links;
}

void ChatLines::clear() {
    m_lines.clear();
    m_lines.shrink_to_fit();
}

QString ChatLines::textBetween(int index, int from, int to) const {
    const Line& line = m_lines[size_t(index)];
    QString out;
    for (const Run& run : line.runs) {
        if (run.style < 0)
            continue;
        const int a = std::max(from, run.start);
        const int b = std::min(to, run.start + run.length);
        if (a < b)
            out += line.text.mid(a, b - a);
    }
    return out;
}

int ChatLines::linkOfRun(const Line& line, int run) {
    if (line.runs[size_t(run)].style != linkStyle)
        return -1;
    int k = 0;
    for (int r = 0; r < run; ++r)
        if (line.runs[size_t(r)].style == linkStyle)
            ++k;
    return line.linksBefore + k;
}

QList<ChatLines::Item> ChatLines::lineItems(int index) const {
    QList<Item> out;
    if (index < 0 || index >= int(m_lines.size()))
        return out;
    const Line& line = m_lines[size_t(index)];
    for (size_t r = 0; r < line.runs.size(); ++r) {
        const Run& run = line.runs[r];
        Item item;
        item.startsLine = r == 0;
        if (run.style < 0) {
            item.picture = true;
            item.image = run.image;
        } else {
            item.style = run.style;
            item.text = line.text.mid(run.start, run.length);
        }
        out << item;
    }
    return out;
}

QList<ChatLines::Item> ChatLines::items() const {
    QList<Item> out;
    for (int i = 0; i < int(m_lines.size()); ++i)
        out << lineItems(i);
    return out;
}

int ChatLines::linkCount() const {
    return m_lines.empty() ? 0 : m_lines.back().linksBefore + m_lines.back().links;
}

QString ChatLines::linkText(int number) const {
    if (number < 0 || number >= linkCount())
        return QString();
    // The last line whose first link is at or before the number.
    auto it =
        std::upper_bound(m_lines.begin(), m_lines.end(), number,
                         [](int value, const Line& line) { return value < line.linksBefore; });
    while (it != m_lines.begin()) {
        --it;
        if (it->links > 0 && number < it->linksBefore + it->links)
            break;
    }
    int k = number - it->linksBefore;
    for (const Run& run : it->runs) {
        if (run.style == linkStyle && k-- == 0)
            return it->text.mid(run.start, run.length);
    }
    return QString();
}

// Places the runs of one line on rows no wider than the layout width. A run
// breaks after its blanks; a piece wider than a whole row breaks between
// characters. A trailing blank may hang past the right edge.
void ChatLines::layout(Line& line, float width, const Measures& measures) {
    line.pieces.clear();
    line.rows.clear();
    float x = 0;
    int row = 0;
    int rowTop = 0;
    float ascent = 0;
    float descent = 0;

    auto finishRow = [&] {
        if (ascent <= 0 && descent <= 0)
            ascent = float(measures.metrics(0).ascent()),
            descent = float(measures.metrics(0).descent());
        const int baseline = int(std::ceil(ascent));
        const int height = baseline + int(std::ceil(descent)) + 1;
        line.rows.push_back({rowTop, height, baseline});
        rowTop += height;
        ++row;
        x = 0;
        ascent = descent = 0;
    };
    auto place = [&](int run, int from, int length, float w) {
        if (!line.pieces.empty()) {
            Piece& last = line.pieces.back();
            if (last.run == run && last.row == row && last.from + last.length == from) {
                last.length += length;
                last.width += w;
                x += w;
                return;
            }
        }
        line.pieces.push_back({run, from, length, x, w, row});
        x += w;
    };

    for (int r = 0; r < int(line.runs.size()); ++r) {
        const Run& run = line.runs[size_t(r)];
        if (run.style < 0) {
            const QPixmap pm = measures.image(run.image);
            // In logical pixels: a picture for a dense screen has more.
            const QSizeF size = pm.deviceIndependentSize();
            const float w = float(size.width());
            if (x > 0 && x + w > width)
                finishRow();
            place(r, run.start, run.length, w);
            if (!pm.isNull()) {
                ascent = std::max(ascent, float(size.height()) - float(pictureDrop));
                descent = std::max(descent, float(pictureDrop));
            }
            continue;
        }
        const QFontMetricsF& fm = measures.metrics(run.style);
        const float space = float(fm.horizontalAdvance(QLatin1Char(' ')));
        const int end = run.start + run.length;
        int pos = run.start;
        while (pos < end) {
            int next = int(line.text.indexOf(QLatin1Char(' '), pos));
            next = (next < 0 || next >= end) ? end : next + 1;
            const QString segment = line.text.mid(pos, next - pos);
            const float full = float(fm.horizontalAdvance(segment));
            const float ink = segment.endsWith(QLatin1Char(' ')) ? full - space : full;
            if (x > 0 && x + ink > width)
                finishRow();
            ascent = std::max(ascent, float(fm.ascent()));
            descent = std::max(descent, float(fm.descent()));
            if (ink <= width) {
                place(r, pos, next - pos, full);
            } else {
                // Longer than a row: fill rows character by character.
                QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, segment);
                int from = 0;
                for (int to = int(finder.toNextBoundary()); to > 0;
                     to = int(finder.toNextBoundary())) {
                    const QString grapheme = segment.mid(from, to - from);
                    const float w = float(fm.horizontalAdvance(grapheme));
                    if (x > 0 && x + w > width && grapheme != QLatin1String(" ")) {
                        finishRow();
                        ascent = float(fm.ascent());
                        descent = float(fm.descent());
                    }
                    place(r, pos + from, to - from, w);
                    from = to;
                }
            }
            pos = next;
        }
    }
    finishRow();
    line.height = rowTop;
}

int ChatLines::offsetAt(const Line& line, const Piece& piece, float x, const QFontMetricsF& fm) {
    const QString text = line.text.mid(piece.from, piece.length);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    float left = piece.x;
    int from = 0;
    for (int to = int(finder.toNextBoundary()); to > 0; to = int(finder.toNextBoundary())) {
        const float w = float(fm.horizontalAdvance(text.mid(from, to - from)));
        if (x < left + w)
            return piece.from + (x > left + w / 2 ? to : from);
        left += w;
        from = to;
    }
    return piece.from + piece.length;
}

std::pair<int, int> ChatLines::wordAround(const Line& line, int offset) {
    const QString& text = line.text;
    int from = offset;
    int to = offset;
    while (from > 0 && text[from - 1] != QLatin1Char(' ') && text[from - 1] != pictureChar)
        --from;
    while (to < text.size() && text[to] != QLatin1Char(' ') && text[to] != pictureChar)
        ++to;
    return {from, to};
}

void ChatLines::placeTops(size_t from, size_t to, int firstTop) {
    for (size_t i = from; i < to && i < m_lines.size(); ++i)
        m_lines[i].top = i == 0 ? firstTop : m_lines[i - 1].top + m_lines[i - 1].height;
}

int ChatLines::lineAt(int y) const {
    auto it = std::upper_bound(m_lines.begin(), m_lines.end(), y,
                               [](int value, const Line& line) { return value < line.top; });
    if (it == m_lines.begin())
        return 0;
    return int(it - m_lines.begin()) - 1;
}
