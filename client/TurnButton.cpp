#include "client/TurnButton.h"

#include "client/BoardGeometry.h"

#include <QRegion>
#include <QResizeEvent>

TurnButton::TurnButton(QWidget* parent, const QString& name, const QPoint& place, Half half)
    : Picture(parent, name, QRect(place, QSize(board::buttonSize, board::buttonSize))),
      m_half(half) {
    // The mask is built row by row from the same test the release uses, so
    // the pixels that take the mouse are exactly the active ones.
    QRegion mask;
    for (int y = 0; y < board::buttonSize; ++y) {
        int first = -1;
        int last = -1;
        for (int x = 0; x < board::buttonSize; ++x) {
            if (inHalf(half, x, y)) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        if (first >= 0)
            mask += QRect(first, y, last - first + 1, 1);
    }
    m_mask = mask;
    setMask(mask);
    setCursor(Qt::PointingHandCursor);
}

bool TurnButton::inHalf(Half half, int x, int y) {
    return half == Half::LowerRight ? x + y >= 100 : y >= x - 3;
}

bool TurnButton::isActiveAt(const QPoint& pos) const {
    if (!rect().contains(pos))
        return false;
    const int x = pos.x() * board::buttonSize / width();
    const int y = pos.y() * board::buttonSize / height();
    return inHalf(m_half, x, y);
}

void TurnButton::resizeEvent(QResizeEvent* event) {
    Picture::resizeEvent(event);
    if (size() == QSize(board::buttonSize, board::buttonSize)) {
        setMask(m_mask);
        return;
    }
    // Each row of the mask grows to the rows that map back onto it, so the
    // pixels that take the mouse are the ones isActiveAt accepts.
    QRegion mask;
    for (int y = 0; y < height(); ++y) {
        const int row = y * board::buttonSize / height();
        int first = -1;
        int last = -1;
        for (int x = 0; x < width(); ++x) {
            if (inHalf(m_half, x * board::buttonSize / width(), row)) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        if (first >= 0)
            mask += QRect(first, y, last - first + 1, 1);
    }
    setMask(mask);
}
