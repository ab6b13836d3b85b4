#pragma once

#include <QByteArray>
#include <QImage>

// Decodes JPEG data into an image with libjpeg itself, not through the image
// plug-ins of the toolkit. Damaged data never ends the process: any fatal
// error of the library gives an empty image instead.
class JpegDecoder {
public:
    // The most pixels a picture may have; larger headers are refused before
    // anything is allocated.
    static constexpr qint64 MaxPixels = 16 * 1024 * 1024;

    // An RGB image, or a null image when the data is not a decodable JPEG.
    static QImage decode(const QByteArray& data);
    // Reads and decodes a file, a resource path included.
    static QImage decodeFile(const QString& path);
};
