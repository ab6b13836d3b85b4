#pragma once

#include "ui/DeferredPixmap.h"

#include <QPixmap>
#include <QStringList>

// An indexed list of pictures from the program's resources, loaded on first
// use and kept in the pixmap cache, so start-up reads only what it shows.
class ImageList {
public:
    // One resource name per index under ":/art/" without ".png"; an empty
    // name is an empty picture.
    explicit ImageList(const QStringList& names) : m_names(names) {}

    int count() const { return int(m_names.size()); }
    // The picture at the index; a null pixmap for an empty entry or an index
    // that does not exist.
    QPixmap at(int index) const;

    // imagelist_chips: 0 marker, 1-4 the seats' chips, 5-8 a seat's
    // completed column, 9 empty.
    static const ImageList& chips();
    // imagelist_dice: image v shows v + 1 pips.
    static const ImageList& dice();
    // imagelist_box: 0 "NO", 1 "YES".
    static const ImageList& box();

    // A single picture by its resource name, cached like the lists.
    static QPixmap picture(const QString& name);
    // The same picture, decoded when it is first drawn (for controls that
    // start hidden); it shares the cache with picture().
    static DeferredPixmap deferred(const QString& name);
    static QString path(const QString& name) { return ":/art/" + name + ".png"; }

private:
    QStringList m_names;
};
