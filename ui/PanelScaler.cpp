#include "ui/PanelScaler.h"

#include <QAbstractScrollArea>
#include <QChildEvent>
#include <QEvent>
#include <QFontMetricsF>
#include <QLayout>
#include <QWidget>

#include <algorithm>
#include <cmath>

PanelScaler::PanelScaler(QWidget* panel, QObject* parent)
    : QObject(parent), m_panel(panel), m_area(panel->parentWidget()),
      m_panelBase(panel->geometry()), m_panelFont(panel->font()) {
    // The area is the panel's parent: the panel follows its size.
    if (m_area)
        m_area->installEventFilter(this);
}

double PanelScaler::factorFor(const QSize& area, const QSize& panel, int margin) {
    const double across = double(area.width()) / double(panel.width() + 2 * margin);
    const double down = double(area.height()) / double(panel.height() + 2 * margin);
    return std::max(1.0, std::min(across, down));
}

QRect PanelScaler::baseGeometry(const QWidget* widget) const {
    if (widget == m_panel)
        return m_panelBase;
    const auto found = m_bases.constFind(widget);
    return found == m_bases.constEnd() ? widget->geometry() : found->rect;
}

QRect PanelScaler::scaled(const QRect& rect) const {
    // Both edges are scaled and rounded, so controls that meet at scale 1
    // still meet.
    auto at = [this](int v) { return int(std::lround(double(v) * m_factor)); };
    const int left = at(rect.left());
    const int top = at(rect.top());
    return QRect(left, top, at(rect.left() + rect.width()) - left,
                 at(rect.top() + rect.height()) - top);
}

QFont PanelScaler::scaled(const QFont& font) const {
    QFont result = font;
    if (font.pixelSize() > 0)
        result.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * m_factor))));
    else if (font.pointSizeF() > 0)
        result.setPointSizeF(font.pointSizeF() * m_factor);
    // Text does not grow exactly with its font (hinting, whole pixels): a
    // font whose text comes out wider than the scaled width is taken a step
    // smaller, so that a caption that fits its place at scale 1 still fits.
    static const QString sample =
        QStringLiteral("The quick brown fox jumps over the lazy dog: 0123456789 ON OFF");
    const double limit = QFontMetricsF(font).horizontalAdvance(sample) * m_factor;
    while (QFontMetricsF(result).horizontalAdvance(sample) > limit) {
        if (result.pixelSize() > 1)
            result.setPixelSize(result.pixelSize() - 1);
        else if (result.pixelSize() <= 0 && result.pointSizeF() > 1)
            result.setPointSizeF(result.pointSizeF() * 0.97);
        else
            break;
    }
    return result;
}

void PanelScaler::track(QWidget* widget) {
    if (m_bases.contains(widget))
        return;
    Base base;
    base.widget = widget;
    base.rect = widget->geometry();
    base.applied = base.rect;
    base.ownFont = widget->testAttribute(Qt::WA_SetFont);
    base.font = widget->font();
    base.appliedFont = base.font;
    m_bases.insert(widget, base);
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this, [this](QObject* gone) { m_bases.remove(gone); });
    if (!placesOwnChildren(widget))
        for (QObject* child : widget->children())
            if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow())
                track(w);
}

bool PanelScaler::placesOwnChildren(const QWidget* widget) {
    // A layout or a scroll area puts its children where its own size says;
    // scaling them as well would scale them twice.
    return widget->layout() != nullptr || qobject_cast<const QAbstractScrollArea*>(widget);
}

void PanelScaler::fit(const QSize& area) {
    if (!m_panel)
        return;
    const int margin = m_panelBase.left();
    const double factor = factorFor(area, m_panelBase.size(), margin);
    if (!m_tracking && factor == 1.0)
        return; // never scaled: nothing to put back
    if (!m_tracking) {
        // The first scaling: every control is still where scale 1 puts it.
        m_tracking = true;
        for (QObject* child : m_panel->children())
            if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow())
                track(w);
        m_panel->installEventFilter(this);
    }
    m_factor = factor;
    m_applying = true;
    const QSize size = scaled(QRect(QPoint(0, 0), m_panelBase.size())).size();
    const QPoint corner = factor == 1.0 ? m_panelBase.topLeft()
                                        : QPoint((area.width() - size.width()) / 2,
                                                 (area.height() - size.height()) / 2);
    m_panel->setGeometry(QRect(corner, size));
    m_panel->setFont(factor == 1.0 ? m_panelFont : scaled(m_panelFont));
    for (Base& base : m_bases)
        if (base.widget)
            apply(base);
    m_applying = false;
}

void PanelScaler::apply(Base& base) {
    base.applied = scaled(base.rect);
    base.widget->setGeometry(base.applied);
    if (base.ownFont) {
        base.appliedFont = scaled(base.font);
        base.widget->setFont(base.appliedFont);
    }
}

bool PanelScaler::eventFilter(QObject* watched, QEvent* event) {
    if (m_applying)
        return false;
    if (watched == m_area) {
        if (event->type() == QEvent::Resize)
            fit(static_cast<QWidget*>(watched)->size());
        return false;
    }
    switch (event->type()) {
    case QEvent::ChildPolished: {
        // A control made after the first scaling, placed at scale 1.
        auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child());
        auto* parent = qobject_cast<QWidget*>(watched);
        if (child && parent && !placesOwnChildren(parent) && !child->isWindow() &&
            !m_bases.contains(child)) {
            track(child);
            m_applying = true;
            for (Base& base : m_bases)
                if (base.widget && (base.widget == child || child->isAncestorOf(base.widget)))
                    apply(base);
            m_applying = false;
        }
        break;
    }
    case QEvent::Move:
    case QEvent::Resize: {
        auto found = m_bases.find(watched);
        if (found == m_bases.end() || !found->widget)
            break;
        // Moved or resized by its owner, who counts at scale 1. A move keeps
        // the scaled size and a resize the scaled place: only what changed
        // is taken as new.
        const QRect now = found->widget->geometry();
        if (now != found->applied) {
            if (now.topLeft() != found->applied.topLeft())
                found->rect.moveTopLeft(now.topLeft());
            if (now.size() != found->applied.size())
                found->rect.setSize(now.size());
            m_applying = true;
            apply(*found);
            m_applying = false;
        }
        break;
    }
    case QEvent::FontChange: {
        auto found = m_bases.find(watched);
        if (found == m_bases.end() || !found->widget)
            break;
        QWidget* widget = found->widget;
        if (widget->testAttribute(Qt::WA_SetFont) && widget->font() != found->appliedFont) {
            found->ownFont = true;
            found->font = widget->font();
            m_applying = true;
            apply(*found);
            m_applying = false;
        }
        break;
    }
    default:
        break;
    }
    return false;
}
