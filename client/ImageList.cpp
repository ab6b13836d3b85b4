#include "client/ImageList.h"

QPixmap ImageList::at(int index) const {
    if (index < 0 || index >= count() || m_names[index].isEmpty())
        return {};
    return picture(m_names[index]);
}

QPixmap ImageList::picture(const QString& name) {
    return deferred(name).get();
}

DeferredPixmap ImageList::deferred(const QString& name) {
    return DeferredPixmap::fromFile(path(name));
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
