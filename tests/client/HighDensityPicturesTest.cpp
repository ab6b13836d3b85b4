// Every picture of the program has a twin at twice its size, and a screen of
// more than one device pixel per logical pixel is given the twin at the same
// logical size; a plain screen never reads the twins.
#include "client/BoardView.h"
#include "client/ImageList.h"
#include "client/Picture.h"
#include "ui/DeferredPixmap.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmapCache>
#include <QProcess>
#include <QWidget>

#include <gtest/gtest.h>

namespace {
const char childVariable[] = "CLIMORA_TEST_SCALED_CHILD";

QStringList picturesUnder(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, {"*.png"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    found.sort();
    return found;
}

QSize fileSize(const QString& path) {
    return QImageReader(path).size();
}
} // namespace

TEST(HighDensityPictures, EveryPictureHasATwinOfExactlyTwiceItsSize) {
    for (const QString folder : {":/art", ":/social"}) {
        const QStringList pictures = picturesUnder(folder);
        ASSERT_GT(pictures.size(), 20) << folder.toStdString();
        int singles = 0;
        for (const QString& path : pictures) {
            if (path.endsWith("@2x.png")) {
                // No twin without its picture.
                QString single = path;
                single.replace("@2x.png", ".png");
                EXPECT_TRUE(pictures.contains(single)) << path.toStdString();
                continue;
            }
            ++singles;
            const QString twin = DeferredPixmap::twinPath(path);
            ASSERT_TRUE(pictures.contains(twin)) << path.toStdString();
            EXPECT_EQ(fileSize(twin), fileSize(path) * 2) << twin.toStdString();
        }
        EXPECT_EQ(singles * 2, pictures.size()) << folder.toStdString();
    }
}

TEST(HighDensityPictures, TwinPathsPutTheMarkBeforeTheExtension) {
    const std::pair<QString, QString> cases[] = {
        {":/art/chip1.png", ":/art/chip1@2x.png"},
        {"/a.b/c.png", "/a.b/c@2x.png"},
        {"/a.b/c", "/a.b/c@2x"},
        {"/a/.hidden", "/a/.hidden@2x"},
        {"x.tar.png", "x.tar@2x.png"},
    };
    for (const auto& [path, twin] : cases)
        EXPECT_EQ(DeferredPixmap::twinPath(path), twin) << path.toStdString();
}

TEST(HighDensityPictures, ADenseScreenGetsTheTwinAtTheSameLogicalSize) {
    QPixmapCache::clear();
    const QPixmap plain = DeferredPixmap::load(":/art/chip1.png", 1.0);
    QPixmap cached;
    EXPECT_FALSE(QPixmapCache::find(":/art/chip1@2x.png", &cached))
        << "a plain screen read the twin";
    const QPixmap dense = DeferredPixmap::load(":/art/chip1.png", 2.0);

    EXPECT_EQ(plain.size(), QSize(30, 30));
    EXPECT_EQ(plain.devicePixelRatio(), 1.0);
    EXPECT_EQ(dense.size(), QSize(60, 60));
    EXPECT_EQ(dense.devicePixelRatio(), 2.0);
    EXPECT_EQ(dense.deviceIndependentSize(), QSizeF(30, 30));
    // The twin is drawn from its own source, not enlarged from the picture.
    EXPECT_NE(dense.toImage(), plain.toImage().scaled(60, 60));
}

TEST(HighDensityPictures, AnEnlargedPictureIsDrawnFromItsTwin) {
    // A board scaled up with its window asks for more detail than the plain
    // picture has; a picture given ready-made has no twin to offer.
    const DeferredPixmap chip = DeferredPixmap::fromFile(":/art/chip1.png");
    EXPECT_EQ(chip.forRatio(1.0).devicePixelRatio(), 1.0);
    EXPECT_EQ(chip.forRatio(1.6).devicePixelRatio(), 2.0);
    EXPECT_EQ(chip.get().devicePixelRatio(), 1.0) << "the held picture changed";
    const DeferredPixmap ready(chip.get());
    EXPECT_EQ(ready.forRatio(2.0).devicePixelRatio(), 1.0);
    EXPECT_TRUE(DeferredPixmap().forRatio(2.0).isNull());
}

TEST(HighDensityPictures, APictureWithoutTwinOrFileFallsBack) {
    // The download photograph has no twin: a dense screen gets it as it is.
    const QString photo = ":/pictures/download.jpg";
    const QPixmap shown = DeferredPixmap::load(photo, 2.0);
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.devicePixelRatio(), 1.0);
    EXPECT_EQ(shown.size(), fileSize(photo));
    EXPECT_TRUE(DeferredPixmap::load(":/art/none.png", 2.0).isNull());
    EXPECT_TRUE(DeferredPixmap::load(":/art/none.png", 1.0).isNull());
}

// The program as started with QT_SCALE_FACTOR=2: this test runs itself again
// in a child process with the variable set, where the next test does the work.
TEST(HighDensityPictures, AtScaleFactorTwoTheBoardDrawsTheTwins) {
    if (qEnvironmentVariableIsSet(childVariable))
        GTEST_SKIP() << "the child only runs the scaled test";
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_SCALE_FACTOR", "2");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert(childVariable, "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=HighDensityPicturesScaled.*"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAllStandardOutput() + child.readAllStandardError();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

TEST(HighDensityPicturesScaled, ChipsAndBoardComeAtTwiceTheDensityInTheirLogicalPlaces) {
    if (!qEnvironmentVariableIsSet(childVariable))
        GTEST_SKIP() << "run by the test above with QT_SCALE_FACTOR=2";
    ASSERT_EQ(qGuiApp->devicePixelRatio(), 2.0);
    QPixmapCache::clear();

    const QPixmap chip = DeferredPixmap::fromFile(":/art/chip1.png").get();
    EXPECT_EQ(chip.devicePixelRatio(), 2.0);
    EXPECT_EQ(chip.size(), QSize(60, 60));

    QWidget panel;
    panel.resize(764, 526);
    BoardView board(&panel);
    board.drawChip(7, 0, 2);
    EXPECT_EQ(board.chip(7, 0).geometry().size(), QSize(27, 28)) << "places are logical";
    EXPECT_EQ(ImageList::chips().at(2).devicePixelRatio(), 2.0);
    const QPixmap drawn = board.chip(7, 0).grab();
    EXPECT_EQ(drawn.devicePixelRatio(), 2.0);
    EXPECT_EQ(drawn.size(), QSize(54, 56));
    // The grab shows the twin's pixels one for one.
    const QImage twin = QImage(":/art/chip2@2x.png").convertToFormat(QImage::Format_ARGB32);
    const QImage shown = drawn.toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown.pixel(27, 28), twin.pixel(27, 28));
    EXPECT_EQ(shown.pixel(10, 40), twin.pixel(10, 40));
}
