#include "ui/DeferredPixmap.h"

#include <QGuiApplication>
#include <QPixmapCache>

DeferredPixmap::DeferredPixmap(const QPixmap& ready) : m_shared(std::make_shared<Shared>()) {
    m_shared->pixmap = ready;
    m_shared->decoded = true;
}

DeferredPixmap DeferredPixmap::fromFile(const QString& path) {
    DeferredPixmap deferred;
    deferred.m_shared = std::make_shared<Shared>();
    deferred.m_shared->path = path;
    return deferred;
}

namespace {
// The highest ratio of the screens; 1 before there is an application.
qreal screenRatio() {
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

// Reads one file through the pixmap cache, under the file's own path.
bool loadCached(const QString& path, QPixmap& pixmap) {
    if (QPixmapCache::find(path, &pixmap))
        return true;
    if (!pixmap.load(path))
        return false;
    QPixmapCache::insert(path, pixmap);
    return true;
}
} // namespace

QString DeferredPixmap::twinPath(const QString& path) {
    const int slash = path.lastIndexOf('/');
    const int dot = path.lastIndexOf('.');
    if (dot <= slash + 1) // no extension, or a name that only starts with a dot
        return path + "@2x";
    return path.left(dot) + "@2x" + path.mid(dot);
}

QPixmap DeferredPixmap::load(const QString& path, qreal ratio) {
    QPixmap pixmap;
    if (ratio > 1.0 && loadCached(twinPath(path), pixmap)) {
        pixmap.setDevicePixelRatio(2.0);
        return pixmap;
    }
    if (!loadCached(path, pixmap))
        return QPixmap();
    pixmap.setDevicePixelRatio(1.0);
    return pixmap;
}

const QPixmap& DeferredPixmap::get() const {
    static const QPixmap none;
    if (!m_shared)
        return none;
    if (!m_shared->decoded) {
        m_shared->decoded = true; // a file that cannot be read is tried once
        m_shared->pixmap = load(m_shared->path, screenRatio());
    }
    return m_shared->pixmap;
}

QPixmap DeferredPixmap::forRatio(qreal ratio) const {
    const QPixmap& held = get();
    if (held.isNull() || m_shared->path.isEmpty() || ratio <= held.devicePixelRatio())
        return held;
    const QPixmap sharper = load(m_shared->path, ratio);
    return sharper.isNull() ? held : sharper;
}

bool DeferredPixmap::isEmpty() const {
    return !m_shared || (m_shared->path.isEmpty() && m_shared->pixmap.isNull());
}

bool DeferredPixmap::isDecoded() const {
    return !m_shared || m_shared->decoded;
}
