#include "client/TurnButton.h"

#include "client/BoardGeometry.h"

#include <QRegion>

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
    setMask(mask);
    setCursor(Qt::PointingHandCursor);
}

bool TurnButton::inHalf(Half half, int x, int y) {
    return half == Half::LowerRight ? x + y >= 100 : y >= x - 3;
}

bool TurnButton::isActiveAt(const QPoint& pos) const {
    return rect().contains(pos) && inHalf(m_half, pos.x(), pos.y());
}
