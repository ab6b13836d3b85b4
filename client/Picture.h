#pragma once

#include "ui/DeferredPixmap.h"

#include <QPixmap>
#include <QWidget>

class ImageList;

// A picture control: shows one picture drawn at its top-left corner (clipped
// to its size) or nothing, and reports clicks. When the control is made
// larger than the size it was made with (the window scaled up), the picture
// is drawn larger by the same ratio. Like the controls it stands
// for, it carries a hint text and a value (a die's value, a stock marker's
// column, a switch's option).
class Picture : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int image READ image)
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(QString hint READ hint WRITE setHint)
public:
    Picture(QWidget* parent, const QString& name, const QRect& geometry);

    // Clears the picture, then draws image index of the list; an index the
    // list does not have leaves it empty (image() still tells the index).
    void draw(const ImageList& list, int index);
    // Clears the picture.
    void blank();
    // Shows a fixed picture that belongs to no list; a deferred one is
    // decoded when the control is first drawn.
    void setPicture(const DeferredPixmap& pixmap);

    // The index drawn last, or -1 when blank or showing a fixed picture.
    int image() const { return m_image; }
    bool isBlank() const { return m_pixmap.isEmpty(); }
    int value() const { return m_value; }
    void setValue(int value) { m_value = value; }
    QString hint() const { return m_hint; }
    void setHint(const QString& hint) { m_hint = hint; }

signals:
    // A left-button press and release inside the control.
    void clicked();
    // Any mouse button released after a press on the control; pos counts
    // from its top-left corner and may lie outside it.
    void mouseUp(QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    DeferredPixmap m_pixmap;
    int m_image = -1;
    int m_value = 0;
    QString m_hint;
    bool m_pressed = false;
    QSize m_designSize; // the size it was made with
};
