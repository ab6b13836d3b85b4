#include "client/ImageList.h"

#include <QPixmapCache>

QPixmap ImageList::at(int index) const {
    if (index < 0 || index >= count() || m_names[index].isEmpty())
        return {};
    return picture(m_names[index]);
}

QPixmap ImageList::picture(const QString& name) {
    const QString path = ":/art/" + name + ".png";
    QPixmap pixmap;
    if (!QPixmapCache::find(path, &pixmap)) {
        pixmap.load(path);
        QPixmapCache::insert(path, pixmap);
    }
    return pixmap;
}

const ImageList& ImageList::chips() {
    static const ImageList list(
        {"chip0", "chip1", "chip2", "chip3", "chip4", "chip5", "chip6", "chip7", "chip8", ""});
    return list;
}

const ImageList& ImageList::dice() {
    static const ImageList list({"die1", "die2", "die3", "die4", "die5", "die6"});
    return list;
}

const ImageList& ImageList::box() {
    static const ImageList list({"no", "yes"});
    return list;
}
