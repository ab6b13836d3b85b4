#include "ui/DeferredPixmap.h"

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

const QPixmap& DeferredPixmap::get() const {
    static const QPixmap none;
    if (!m_shared)
        return none;
    if (!m_shared->decoded) {
        m_shared->decoded = true; // a file that cannot be read is tried once
        if (!QPixmapCache::find(m_shared->path, &m_shared->pixmap) &&
            m_shared->pixmap.load(m_shared->path))
            QPixmapCache::insert(m_shared->path, m_shared->pixmap);
    }
    return m_shared->pixmap;
}

bool DeferredPixmap::isEmpty() const {
    return !m_shared || (m_shared->path.isEmpty() && m_shared->pixmap.isNull());
}

bool DeferredPixmap::isDecoded() const {
    return !m_shared || m_shared->decoded;
}
