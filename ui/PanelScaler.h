#pragma once

#include <QFont>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QRect>

class QWidget;

// Scales a composition of fixed-place controls to fit a larger area,
// keeping its proportions: every control's place and size, and the size of
// every font set on it, are its own ones at scale 1 times the factor, and
// the composition is centred in the area. At scale 1 nothing is touched.
//
// The controls keep working in their scale-1 coordinates: a control the code
// moves while the composition is scaled is taken as placed at scale 1 and
// put where that lies at the current scale. Pictures draw themselves to
// their size (see client/Picture), so the mouse lands on what it sees.
class PanelScaler : public QObject {
    Q_OBJECT
public:
    // The panel's place in its parent is its place at scale 1; the panel
    // is fitted to its parent whenever the parent is resized, the margin
    // around it scaled as well.
    explicit PanelScaler(QWidget* panel, QObject* parent = nullptr);

    // Scales the panel to the largest factor that fits the area, never
    // below 1, and centres it there.
    void fit(const QSize& area);
    double factor() const { return m_factor; }
    // Where the control lies at scale 1, in its parent; its own geometry
    // until the panel has first been scaled.
    QRect baseGeometry(const QWidget* widget) const;

    // The factor for an area holding a panel of this size with a margin.
    static double factorFor(const QSize& area, const QSize& panel, int margin);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Base {
        QPointer<QWidget> widget;
        QRect rect;    // at scale 1
        QRect applied; // as last placed here
        bool ownFont = false;
        QFont font; // at scale 1, when set on the control itself
        QFont appliedFont;
    };
    void track(QWidget* widget);
    static bool placesOwnChildren(const QWidget* widget);
    void apply(Base& base);
    QRect scaled(const QRect& rect) const;
    QFont scaled(const QFont& font) const;

    // Either may go first when the window is torn down.
    QPointer<QWidget> m_panel;
    QPointer<QWidget> m_area;
    QRect m_panelBase;
    QFont m_panelFont;
    QPoint m_offset; // the panel's corner beyond its scaled place
    QHash<const QObject*, Base> m_bases;
    double m_factor = 1.0;
    bool m_tracking = false;
    bool m_applying = false;
};
