#include "download/JpegDecoder.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace {

// libjpeg's own error handler calls exit(). This one jumps back to the
// decoder instead; nothing with a destructor lives between the setjmp and
// the library calls, so the jump skips no clean-up.
struct JumpingErrorManager {
    jpeg_error_mgr base;
    jmp_buf back;
};

void errorExit(j_common_ptr info) {
    auto* manager = reinterpret_cast<JumpingErrorManager*>(info->err);
    longjmp(manager->back, 1);
}

// Warnings about recoverable damage are not printed to the terminal.
void outputMessage(j_common_ptr) {}

// Converts one row of Adobe-style (inverted) CMYK samples to RGB in place
// order: the destination may not overlap the source.
void cmykToRgb(const JSAMPLE* cmyk, uchar* rgb, int width) {
    for (int x = 0; x < width; ++x) {
        const int k = cmyk[4 * x + 3];
        rgb[3 * x + 0] = uchar(cmyk[4 * x + 0] * k / 255);
        rgb[3 * x + 1] = uchar(cmyk[4 * x + 1] * k / 255);
        rgb[3 * x + 2] = uchar(cmyk[4 * x + 2] * k / 255);
    }
}

// The decoding proper. It returns false on any fatal library error; the
// image and the row buffer are owned by the caller so that a long jump out
// of libjpeg cannot leak them.
bool decodeInto(const QByteArray& data, QImage& image, QByteArray& rowBuffer) {
    jpeg_decompress_struct info;
    JumpingErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = errorExit;
    errors.base.output_message = outputMessage;
    if (setjmp(errors.back)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    if (qint64(info.image_width) * qint64(info.image_height) > JpegDecoder::MaxPixels) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    const int width = int(info.output_width);
    const int height = int(info.output_height);
    image = QImage(width, height, QImage::Format_RGB888);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    rowBuffer.resize(qsizetype(width) * info.output_components);
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        JSAMPROW row = cmyk ? reinterpret_cast<JSAMPROW>(rowBuffer.data()) : image.scanLine(y);
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            break;
        if (cmyk)
            cmykToRgb(row, image.scanLine(y), width);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage JpegDecoder::decode(const QByteArray& data) {
    if (data.isEmpty())
        return QImage();
    QImage image;
    QByteArray rowBuffer;
    if (!decodeInto(data, image, rowBuffer))
        return QImage();
    return image;
}

QImage JpegDecoder::decodeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    const QByteArray data = file.readAll();
    file.close();
    return decode(data);
}
