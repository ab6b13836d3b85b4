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
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {
const char childVariable[] = "CLIMORA_TEST_SCALED_CHILD";

QStringList picturesUnder(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, {"*.png", "*.jpg"}, QDir::Files, QDirIterator::Subdirectories);
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
    // The board's art, the chat's pictures and the download offer's picture.
    for (const QString folder : {":/art", ":/social", ":/pictures"}) {
        const QStringList pictures = picturesUnder(folder);
        ASSERT_FALSE(pictures.isEmpty()) << folder.toStdString();
        int singles = 0;
        for (const QString& path : pictures) {
            if (path.contains("@2x."))
                continue;
            ++singles;
            const QString twin = DeferredPixmap::twinPath(path);
            ASSERT_TRUE(pictures.contains(twin)) << path.toStdString();
            EXPECT_EQ(fileSize(twin), fileSize(path) * 2) << twin.toStdString();
        }
        EXPECT_EQ(singles * 2, pictures.size()) << "a twin without its picture";
    }
}

// A dense screen gets the twin at the same logical size, drawn from its own
// source, and a plain screen never reads it. A board scaled up with its
// window asks for the twin's detail too. A picture given ready-made, or one
// without twin, comes as it is.
TEST(HighDensityPictures, ADenseOrEnlargedPictureIsDrawnFromItsTwinWhereThereIsOne) {
    QPixmapCache::clear();
    const QPixmap plain = DeferredPixmap::load(":/art/chip1.png", 1.0);
    QPixmap cached;
    EXPECT_FALSE(QPixmapCache::find(":/art/chip1@2x.png", &cached)) << "a plain screen read it";
    const QPixmap dense = DeferredPixmap::load(":/art/chip1.png", 2.0);
    EXPECT_EQ(dense.devicePixelRatio(), 2.0);
    EXPECT_EQ(dense.deviceIndependentSize(), QSizeF(plain.size()));
    EXPECT_NE(dense.toImage(), plain.toImage().scaled(plain.size() * 2));

    const DeferredPixmap chip = DeferredPixmap::fromFile(":/art/chip1.png");
    EXPECT_EQ(chip.forRatio(1.0).devicePixelRatio(), 1.0);
    EXPECT_EQ(chip.forRatio(1.6).devicePixelRatio(), 2.0);
    EXPECT_EQ(chip.get().devicePixelRatio(), 1.0) << "the held picture changed";
    EXPECT_EQ(DeferredPixmap(chip.get()).forRatio(2.0).devicePixelRatio(), 1.0);
    EXPECT_TRUE(DeferredPixmap().forRatio(2.0).isNull());

    QTemporaryDir folder;
    const QString single = folder.filePath("single.png");
    ASSERT_TRUE(plain.save(single));
    const QPixmap shown = DeferredPixmap::load(single, 2.0);
    EXPECT_EQ(shown.devicePixelRatio(), 1.0);
    EXPECT_EQ(shown.size(), plain.size());
    EXPECT_TRUE(DeferredPixmap::load(":/art/none.png", 2.0).isNull());
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
