#include "social/ChatView.h"

#include "social/ColourText.h"
#include "ui/DeferredPixmap.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {
constexpr int pictureDrop = ChatLines::pictureDrop;
constexpr int topMargin = 2;
constexpr int bottomMargin = 2;
} // namespace

ChatView::ChatView(QWidget* parent) : QAbstractScrollArea(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::ClickFocus);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(16);
    m_shown = m_styles;
    m_layoutWidth = std::max(1, viewport()->width() - 2 * sideMargin);
    m_measures.metrics = [this](int style) -> const QFontMetricsF& { return metrics(style); };
    m_measures.image = [this](int index) { return image(index); };
}

void ChatView::setImageList(const QStringList& paths) {
    m_imagePaths = paths;
    m_images.assign(paths.size(), QPixmap());
    m_imageLoaded.assign(paths.size(), false);
    m_dirtyAll = true;
}

QPixmap ChatView::image(int index) {
    if (index < 0 || index >= int(m_imagePaths.size()))
        return QPixmap();
    if (!m_imageLoaded[index]) {
        m_images[index] = DeferredPixmap::load(m_imagePaths[index], devicePixelRatioF());
        m_imageLoaded[index] = true;
    }
    return m_images[index];
}

void ChatView::setStyle(int n, const ChatStyle& style) {
    if (n >= 0 && n < styleCount)
        m_styles[n] = style;
}

void ChatView::setMaxLines(int lines) {
    m_maxLines = std::max(10, lines);
    if (int(m_lines.size()) > m_maxLines)
        dropOldest(int(m_lines.size()) - m_maxLines);
}

// Drops the first lines. The lines laid out before keep their layout and
// move up by the height that went; link numbers, the selection and the
// scroll position follow them.
void ChatView::dropOldest(int count) {
    count = std::min(count, int(m_lines.size()));
    if (count <= 0)
        return;
    const size_t n = size_t(count);
    const bool laidOut = n < m_dirtyFrom && n < m_lines.size();
    const int height = laidOut ? m_lines[n].top - m_lines.front().top : 0;
    const int links = m_lines.dropFront(count);
    m_dirtyFrom = m_dirtyFrom > n ? m_dirtyFrom - n : 0;
    m_lines.placeTops(0, std::min(m_dirtyFrom, m_lines.size()), topMargin);
    m_selection.dropLines(count);
    m_pressLink = m_pressLink >= links ? m_pressLink - links : -1;
    if (m_keep && m_keep->first >= 0)
        m_keep->first = std::max(0, m_keep->first - count);
    QScrollBar* bar = verticalScrollBar();
    const int value = bar->value();
    updateScrollBar();
    bar->setValue(std::max(0, value - height));
}

void ChatView::makeRoom(bool newLine) {
    if ((newLine || m_lines.empty()) && int(m_lines.size()) >= m_maxLines)
        dropOldest(std::max(1, m_maxLines / 10));
}

void ChatView::addText(const QString& text, int style, bool newLine) {
    makeRoom(newLine);
    m_lines.addText(text, style, newLine);
    m_dirtyFrom = std::min(m_dirtyFrom, m_lines.size() - 1);
}

void ChatView::addPicture(int image) {
    makeRoom(false);
    m_lines.addPicture(image);
    m_dirtyFrom = std::min(m_dirtyFrom, m_lines.size() - 1);
}

void ChatView::format() {
    takeStyles();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void ChatView::takeStyles() {
    for (int s = 0; s < styleCount; ++s) {
        if (!m_styles[s].sameFont(m_shown[s])) {
            m_dirtyStyles |= quint16(1u << s);
            m_metrics[s].reset();
            m_fonts[s].reset();
        }
    }
    m_shown = m_styles;
}

void ChatView::scrollToEnd() {
    ensureLayout();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

void ChatView::clear() {
    m_lines.clear();
    m_dirtyFrom = 0;
    m_selection.clear();
    m_selecting = false;
    m_pressLink = -1;
    m_keep.reset();
    updateScrollBar();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

const QFont& ChatView::font(int style) {
    auto& slot = m_fonts[size_t(style)];
    if (!slot)
        slot.emplace(m_shown[size_t(style)].font());
    return *slot;
}

const QFontMetricsF& ChatView::metrics(int style) {
    auto& slot = m_metrics[size_t(style)];
    if (!slot)
        slot.emplace(font(style), viewport());
    return *slot;
}

void ChatView::layoutLine(Line& line) {
    ++m_lineLayouts;
    ChatLines::layout(line, float(m_layoutWidth), m_measures);
}

void ChatView::ensureLayout() {
    const size_t count = m_lines.size();
    const bool global = m_dirtyAll || m_dirtyStyles != 0;
    if (!global && m_dirtyFrom >= count)
        return;
    size_t from = m_dirtyFrom;
    if (global) {
        for (size_t i = 0; i < count; ++i) {
            Line& line = m_lines[i];
            if (m_dirtyAll || i >= m_dirtyFrom || (line.styles & m_dirtyStyles))
                layoutLine(line);
        }
        from = 0;
    } else {
        for (size_t i = from; i < count; ++i)
            layoutLine(m_lines[i]);
    }
    m_lines.placeTops(from, count, topMargin);
    m_dirtyAll = false;
    m_dirtyStyles = 0;
    m_dirtyFrom = count;
    updateScrollBar();
    if (m_keep) {
        const auto [line, offset] = *m_keep;
        m_keep.reset();
        if (line < 0 || line >= int(count))
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        else
            verticalScrollBar()->setValue(m_lines[size_t(line)].top + offset);
    }
}

int ChatView::contentHeight() {
    ensureLayout();
    if (m_lines.empty())
        return 0;
    return m_lines.back().top + m_lines.back().height + bottomMargin;
}

void ChatView::updateScrollBar() {
    const int content =
        m_lines.empty() ? 0 : m_lines.back().top + m_lines.back().height + bottomMargin;
    const int page = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(page);
    bar->setRange(0, std::max(0, content - page));
}

void ChatView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const int width = std::max(1, viewport()->width() - 2 * sideMargin);
    if (width != m_layoutWidth) {
        // Keep what is in view: the end if the end was shown, else the top line.
        QScrollBar* bar = verticalScrollBar();
        if (!m_lines.empty() && !m_keep && bar->value() > 0) {
            if (bar->value() >= bar->maximum()) {
                m_keep = std::pair(-1, 0);
            } else {
                ensureLayout();
                const int line = m_lines.lineAt(bar->value());
                m_keep = std::pair(line, bar->value() - m_lines[size_t(line)].top);
            }
        }
        m_layoutWidth = width;
        m_dirtyAll = true;
        takeStyles();
    }
    updateScrollBar();
}

void ChatView::scrollContentsBy(int, int) {
    viewport()->update();
}

std::pair<int, int> ChatView::selectionIn(int line) const {
    return m_selection.in(line, int(m_lines[size_t(line)].text.size()));
}

void ChatView::paintEvent(QPaintEvent*) {
    ensureLayout();
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), QColor::fromRgb(background));
    if (m_lines.empty())
        return;
    const int dy = verticalScrollBar()->value();
    const int bottom = dy + viewport()->height();
    for (int i = m_lines.lineAt(dy); i < int(m_lines.size()) && m_lines[size_t(i)].top < bottom;
         ++i)
        paintLine(painter, i, dy);
}

void ChatView::paintLine(QPainter& painter, int index, int dy) {
    const Line& line = m_lines[size_t(index)];
    const auto [selFrom, selTo] = selectionIn(index);
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor highlightText = palette().color(QPalette::HighlightedText);
    for (const Piece& piece : line.pieces) {
        const Row& row = line.rows[size_t(piece.row)];
        const float left = float(sideMargin) + piece.x;
        const int rowTop = line.top - dy + row.top;
        const float baseline = float(rowTop + row.baseline);
        const Run& run = line.runs[size_t(piece.run)];
        const int from = std::max(selFrom, piece.from);
        const int to = std::min(selTo, piece.from + piece.length);
        if (run.style < 0) {
            const QPixmap pm = image(run.image);
            if (from < to)
                painter.fillRect(QRectF(left, rowTop, piece.width, row.height), highlight);
            const float height = float(pm.deviceIndependentSize().height());
            painter.drawPixmap(QPointF(left, baseline + pictureDrop - height), pm);
            continue;
        }
        const ChatStyle& style = m_shown[size_t(run.style)];
        painter.setFont(font(run.style));
        const QColor colour = ColourText::toQColor(style.colour);
        const QString text = line.text.mid(piece.from, piece.length);
        if (from >= to) {
            painter.setPen(colour);
            // An underline (a link's) stops at the word, not at its trailing blank.
            painter.drawText(QPointF(left, baseline),
                             style.underline && text.endsWith(QLatin1Char(' ')) ? text.chopped(1)
                                                                                : text);
            continue;
        }
        // Before, inside and after the selection.
        const QFontMetricsF& fm = metrics(run.style);
        const QString before = text.left(from - piece.from);
        const QString inside = text.mid(from - piece.from, to - from);
        const QString after = text.mid(to - piece.from);
        float x = left;
        painter.setPen(colour);
        painter.drawText(QPointF(x, baseline), before);
        x += float(fm.horizontalAdvance(before));
        const float w = float(fm.horizontalAdvance(inside));
        painter.fillRect(QRectF(x, rowTop, w, row.height), highlight);
        painter.setPen(highlightText);
        painter.drawText(QPointF(x, baseline), inside);
        x += w;
        painter.setPen(colour);
        painter.drawText(QPointF(x, baseline), after);
    }
}

ChatView::Hit ChatView::hitTest(const QPoint& pos) {
    ensureLayout();
    Hit hit;
    if (m_lines.empty())
        return hit;
    const int y = pos.y() + verticalScrollBar()->value();
    const Line& last = m_lines.back();
    if (y < m_lines.front().top)
        return hit;
    if (y >= last.top + last.height) {
        hit.pos = {int(m_lines.size()) - 1, int(last.text.size())};
        return hit;
    }
    const int index = m_lines.lineAt(y);
    const Line& line = m_lines[size_t(index)];
    hit.pos.line = index;
    int row = int(line.rows.size()) - 1;
    for (int r = 0; r < int(line.rows.size()); ++r) {
        if (y - line.top < line.rows[size_t(r)].top + line.rows[size_t(r)].height) {
            row = r;
            break;
        }
    }
    const float x = float(pos.x() - sideMargin);
    const Piece* first = nullptr;
    const Piece* lastOnRow = nullptr;
    for (const Piece& piece : line.pieces) {
        if (piece.row != row)
            continue;
        if (!first)
            first = &piece;
        lastOnRow = &piece;
        if (x < piece.x || x >= piece.x + piece.width)
            continue;
        const Run& run = line.runs[size_t(piece.run)];
        hit.link = ChatLines::linkOfRun(line, piece.run);
        if (run.style < 0) {
            hit.pos.offset = piece.from + (x > piece.x + piece.width / 2 ? 1 : 0);
            return hit;
        }
        hit.pos.offset = ChatLines::offsetAt(line, piece, x, metrics(run.style));
        return hit;
    }
    if (first && x < first->x)
        hit.pos.offset = first->from;
    else if (lastOnRow)
        hit.pos.offset = lastOnRow->from + lastOnRow->length;
    return hit;
}

void ChatView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const Hit hit = hitTest(event->position().toPoint());
    m_selection.press(hit.pos, event->modifiers() & Qt::ShiftModifier);
    m_selecting = true;
    m_pressLink = hit.link;
    viewport()->update();
}

void ChatView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (m_selecting && (event->buttons() & Qt::LeftButton)) {
        // Dragging past an edge scrolls that way.
        QScrollBar* bar = verticalScrollBar();
        if (pos.y() < 0)
            bar->setValue(bar->value() + pos.y());
        else if (pos.y() > viewport()->height())
            bar->setValue(bar->value() + pos.y() - viewport()->height());
        m_selection.moveCursor(hitTest(pos).pos);
        viewport()->update();
        return;
    }
    const Hit hit = hitTest(pos);
    viewport()->setCursor(hit.link >= 0 ? Qt::PointingHandCursor : Qt::IBeamCursor);
}

void ChatView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_selecting) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_selecting = false;
    const int pressed = m_pressLink;
    m_pressLink = -1;
    if (pressed >= 0 && m_selection.isEmpty() &&
        hitTest(event->position().toPoint()).link == pressed)
        emit linkClicked(pressed);
}

void ChatView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    // Selects the word under the pointer, without its trailing blank.
    const Hit hit = hitTest(event->position().toPoint());
    if (m_lines.empty())
        return;
    const auto [from, to] = ChatLines::wordAround(m_lines[size_t(hit.pos.line)], hit.pos.offset);
    m_selection.select({hit.pos.line, from}, {hit.pos.line, to});
    m_selecting = false;
    viewport()->update();
}

void ChatView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void ChatView::selectAll() {
    if (m_lines.empty())
        return;
    m_selection.selectAll(m_lines);
    viewport()->update();
}

bool ChatView::hasSelection() const {
    return !m_lines.empty() && !m_selection.isEmpty();
}

QString ChatView::selectedText() const {
    return hasSelection() ? m_selection.text(m_lines) : QString();
}

void ChatView::copy() const {
    if (!hasSelection())
        return;
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(selectedText());
}

QRect ChatView::linkRect(int number) {
    ensureLayout();
    for (int i = 0; i < int(m_lines.size()); ++i) {
        const Line& line = m_lines[size_t(i)];
        if (number < line.linksBefore || number >= line.linksBefore + line.links)
            continue;
        for (const Piece& piece : line.pieces) {
            if (ChatLines::linkOfRun(line, piece.run) != number)
                continue;
            const Row& row = line.rows[size_t(piece.row)];
            const int top = line.top - verticalScrollBar()->value() + row.top;
            return QRectF(sideMargin + piece.x, top, piece.width, row.height).toRect();
        }
    }
    return QRect();
}
