// The window's picture decoder: the embedded picture, other colour layouts,
// and damaged data, which must give an empty image instead of ending the
// process the way libjpeg's own error handler would.
#include "download/JpegDecoder.h"

#include <QBuffer>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray pictureBytes() {
    QFile f(":/pictures/download.jpg");
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

// The offset of the frame header (SOF0 or SOF2) marker in a JPEG stream.
int frameHeaderAt(const QByteArray& jpeg) {
    for (int i = 2; i + 1 < jpeg.size(); ++i) {
        if (uchar(jpeg[i]) == 0xFF && (uchar(jpeg[i + 1]) == 0xC0 || uchar(jpeg[i + 1]) == 0xC2))
            return i;
    }
    return -1;
}

} // namespace

TEST(JpegDecoder, EmbeddedPictureDecodesToItsSizeWithColour) {
    const QImage image = JpegDecoder::decodeFile(":/pictures/download.jpg");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(300, 90));
    // Not a blank or grey image: the background is a dark blue to purple.
    const QColor corner = image.pixelColor(2, 2);
    EXPECT_GT(corner.blue(), corner.green() + 20);
    EXPECT_LT(corner.red(), 80);
}

TEST(JpegDecoder, GreyscalePictureDecodesAsRgb) {
    QImage grey(40, 20, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            grey.setPixel(x, y, qRgb(x * 6, x * 6, x * 6));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(grey.save(&buffer, "JPG", 95));
    const QImage image = JpegDecoder::decode(data);
    ASSERT_EQ(image.size(), QSize(40, 20));
    EXPECT_NEAR(image.pixelColor(30, 10).red(), 180, 12);
    EXPECT_EQ(image.pixelColor(30, 10).red(), image.pixelColor(30, 10).blue());
}

TEST(JpegDecoder, DamagedDataGivesAnEmptyImageAndTheProcessGoesOn) {
    const QByteArray good = pictureBytes();
    ASSERT_GT(good.size(), 1000);
    QByteArray noFrame = good;
    const int sof = frameHeaderAt(noFrame);
    ASSERT_GT(sof, 0);
    noFrame[sof + 1] = char(0xC9); // arithmetic coding, which this build refuses or misreads
    QByteArray zeroWidth = good;
    zeroWidth[sof + 7] = 0;
    zeroWidth[sof + 8] = 0;
    QByteArray garbageBody = good.left(good.size() / 2) + QByteArray(good.size() / 2, char(0xFF));

    const std::pair<const char*, QByteArray> cases[] = {
        {"empty", QByteArray()},
        {"not a JPEG", QByteArray("GIF89a this is something else entirely")},
        {"only the start marker", good.left(2)},
        {"cut inside the header", good.left(120)},
        {"zero width", zeroWidth},
    };
    for (const auto& [name, data] : cases)
        EXPECT_TRUE(JpegDecoder::decode(data).isNull()) << name;

    // Damage after the header is survivable: an image of the right size or
    // none, but never the end of the process.
    for (const QByteArray& data : {noFrame, garbageBody, good.left(good.size() * 2 / 3)}) {
        const QImage image = JpegDecoder::decode(data);
        if (!image.isNull()) {
            EXPECT_EQ(image.size(), QSize(300, 90));
        }
    }
    EXPECT_FALSE(JpegDecoder::decode(good).isNull()) << "the decoder still works afterwards";
}

TEST(JpegDecoder, HugeDimensionsAreRefusedBeforeAllocating) {
    QByteArray huge = pictureBytes();
    const int sof = frameHeaderAt(huge);
    ASSERT_GT(sof, 0);
    // Height and width 65000 x 65000: 12 GB of pixels.
    for (int at : {sof + 5, sof + 7}) {
        huge[at] = char(0xFD);
        huge[at + 1] = char(0xE8);
    }
    EXPECT_TRUE(JpegDecoder::decode(huge).isNull());
}

TEST(JpegDecoder, MissingFileGivesAnEmptyImage) {
    EXPECT_TRUE(JpegDecoder::decodeFile(":/pictures/no-such-picture.jpg").isNull());
}
