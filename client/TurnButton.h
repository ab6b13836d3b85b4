#pragma once

#include "client/Picture.h"

#include <QRegion>

// A square turn button whose picture fills one half of the square along a
// diagonal. Only that half is the button: the other half neither shows nor
// takes the mouse, so clicks there reach the board beneath.
class TurnButton : public Picture {
    Q_OBJECT
public:
    enum class Half {
        LowerRight, // x + y >= 100 (roll and start)
        LowerLeft,  // y >= x - 3 (end), a 3-pixel margin beyond the diagonal
    };

    TurnButton(QWidget* parent, const QString& name, const QPoint& place, Half half);

    // Whether a point (from the top-left corner) lies on the button's half;
    // on a button scaled up with the window, the point is first taken back
    // to the button's own size.
    bool isActiveAt(const QPoint& pos) const;
    static bool inHalf(Half half, int x, int y);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Half m_half;
    QRegion m_mask; // at the button's own size
};
