#pragma once

#include <QPixmap>
#include <QString>

#include <memory>

// A picture that is decoded the first time it is drawn, for windows and
// controls that start hidden: the program does not pay for their pictures
// before its main window appears. Copies share the picture, and pictures
// read from a file go through the pixmap cache, so each file is decoded
// once. A picture given ready-made is simply held.
//
// On a screen of more than one device pixel per logical pixel, a file
// picture "name.png" is read from its twin "name@2x.png" when there is one,
// with a device pixel ratio of 2: it keeps its logical size and is drawn
// sharp. Elsewhere the twin is never read.
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
    // The picture for drawing at a device pixel ratio: the "@2x" twin when
    // the ratio asks for more detail than the held picture has (a picture
    // drawn enlarged, or moved to a denser screen) and it came from a file
    // with a twin; else the held picture.
    QPixmap forRatio(qreal ratio) const;
    // True when no picture was given at all (nothing to decode); a file
    // that turns out unreadable is not empty, only null.
    bool isEmpty() const;
    // True once the picture is in memory (always for a ready-made one).
    bool isDecoded() const;

    // The picture at path for a screen of the given device pixel ratio: the
    // "@2x" twin above a ratio of 1 when it exists, else the file itself.
    // Null when neither can be read.
    static QPixmap load(const QString& path, qreal ratio);
    // The twin's path: "@2x" before the extension ("a/b@2x.png" for
    // "a/b.png", "a/b@2x" without one).
    static QString twinPath(const QString& path);

private:
    struct Shared {
        QString path;
        QPixmap pixmap;
        bool decoded = false;
    };
    std::shared_ptr<Shared> m_shared;
};
