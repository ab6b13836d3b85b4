#include "client/FaceChart.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

FaceChart::FaceChart(QWidget* parent) : QWidget(parent) {
    setObjectName("chart_faces");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void FaceChart::setCounts(const std::array<std::uint64_t, 6>& counts) {
    if (counts == m_counts)
        return;
    m_counts = counts;
    update();
}

void FaceChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().base());

    const QFontMetrics metrics = painter.fontMetrics();
    const int line = metrics.height();
    const QRect plot = rect().adjusted(8, line + 6, -8, -(line + 6));
    if (plot.width() < 12 || plot.height() < 12)
        return;

    double total = 0;
    for (std::uint64_t count : m_counts)
        total += double(count);
    const double expected = total / 6;
    double highest = expected;
    for (std::uint64_t count : m_counts)
        highest = std::max(highest, double(count));
    // Some room above the highest bar for its count.
    const double scale = highest > 0 ? plot.height() / (highest * 1.1) : 0;

    const double slot = plot.width() / 6.0;
    const QColor bar = palette().color(QPalette::Highlight);
    painter.setPen(palette().color(QPalette::Text));
    for (int face = 0; face < 6; ++face) {
        const double count = double(m_counts[face]);
        const int height = int(count * scale + 0.5);
        const int left = plot.left() + int(face * slot + slot * 0.15);
        const int width = std::max(1, int(slot * 0.7));
        const QRect body(left, plot.bottom() - height, width, height);
        painter.fillRect(body, bar);
        const QRect under(left, plot.bottom() + 3, width, line);
        painter.drawText(under, Qt::AlignHCenter | Qt::AlignTop, QString::number(face + 1));
        const QRect over(left - int(slot * 0.15), body.top() - line - 2, int(slot), line);
        painter.drawText(over, Qt::AlignHCenter | Qt::AlignBottom,
                         QString::number(quint64(m_counts[face])));
    }
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());

    if (total > 0) {
        const int y = plot.bottom() - int(expected * scale + 0.5);
        QPen dashed(palette().color(QPalette::Text), 1.5, Qt::DashLine);
        painter.setPen(dashed);
        painter.drawLine(plot.left(), y, plot.right(), y);
    }
}
