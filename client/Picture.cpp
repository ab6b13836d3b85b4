#include "client/Picture.h"

#include "client/ImageList.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

Picture::Picture(QWidget* parent, const QString& name, const QRect& geometry)
    : QWidget(parent), m_designSize(geometry.size()) {
    setObjectName(name);
    setGeometry(geometry);
}

void Picture::draw(const ImageList& list, int index) {
    m_pixmap = list.at(index);
    m_image = index;
    update();
}

void Picture::blank() {
    m_pixmap = DeferredPixmap();
    m_image = -1;
    update();
}

void Picture::setPicture(const DeferredPixmap& pixmap) {
    m_pixmap = pixmap;
    m_image = -1;
    update();
}

void Picture::paintEvent(QPaintEvent*) {
    if (m_pixmap.isNull())
        return;
    QPainter painter(this);
    qreal ratio = devicePixelRatioF();
    if (size() != m_designSize && !m_designSize.isEmpty()) {
        const double sx = double(width()) / m_designSize.width();
        const double sy = double(height()) / m_designSize.height();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.scale(sx, sy);
        // An enlarged picture is drawn from its twin of twice the detail.
        ratio *= std::max(sx, sy);
    }
    painter.drawPixmap(0, 0, m_pixmap.forRatio(ratio));
}

void Picture::mousePressEvent(QMouseEvent* event) {
    m_pressed = true;
    event->accept();
}

void Picture::mouseReleaseEvent(QMouseEvent* event) {
    // Qt hands the release to the control that took the press, so a release
    // outside still arrives here; mouseUp leaves the test to its receiver.
    const bool pressed = m_pressed;
    m_pressed = false;
    const QPoint pos = event->position().toPoint();
    const bool inside = rect().contains(pos);
    emit mouseUp(pos);
    if (event->button() == Qt::LeftButton && inside && pressed)
        emit clicked();
}
