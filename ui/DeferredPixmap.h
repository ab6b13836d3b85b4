#pragma once

#include <QPixmap>
#include <QString>

#include <memory>

// A picture that is decoded the first time it is drawn, for windows and
// controls that start hidden: the program does not pay for their pictures
// before its main window appears. Copies share the picture, and pictures
// read from a file go through the pixmap cache, so each file is decoded
// once. A picture given ready-made is simply held.
class DeferredPixmap {
public:
    DeferredPixmap() = default;
    // Implicit, so that a decoded picture can stand wherever one is expected.
    DeferredPixmap(const QPixmap& ready);
    // The picture at a path (a resource path, usually), read on first use.
    static DeferredPixmap fromFile(const QString& path);

    // The picture, read now if it has not been yet; a null picture when
    // there is none or the file cannot be read.
    const QPixmap& get() const;
    bool isNull() const { return get().isNull(); }
    // True when no picture was given at all (nothing to decode); a file
    // that turns out unreadable is not empty, only null.
    bool isEmpty() const;
    // True once the picture is in memory (always for a ready-made one).
    bool isDecoded() const;

private:
    struct Shared {
        QString path;
        QPixmap pixmap;
        bool decoded = false;
    };
    std::shared_ptr<Shared> m_shared;
};
