// Pictures of hidden windows wait until they are drawn, and the windows
// sharing one picture decode it once.
#include "ui/DeferredPixmap.h"
#include "client/ImageList.h"
#include "client/Picture.h"
#include "support/EventLoop.h"

#include <QPixmapCache>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(DeferredPixmapTest, DecodesOnFirstUseOnceForAllCopies) {
    const DeferredPixmap background = DeferredPixmap::fromFile(":/art/background.png");
    const DeferredPixmap copy = background;
    EXPECT_FALSE(background.isDecoded());
    EXPECT_FALSE(copy.isDecoded());

    const QPixmap& picture = copy.get();
    EXPECT_FALSE(picture.isNull());
    EXPECT_TRUE(background.isDecoded()) << "a copy decoded it again";
    EXPECT_EQ(background.get().cacheKey(), picture.cacheKey());
}

TEST(DeferredPixmapTest, MissingPicturesAndReadyOnesNeedNoFile) {
    QTemporaryDir folder;
    const DeferredPixmap missing = DeferredPixmap::fromFile(folder.filePath("none.png"));
    EXPECT_TRUE(missing.isNull());
    EXPECT_TRUE(missing.isDecoded()); // tried once, not on every paint

    EXPECT_TRUE(DeferredPixmap().isNull());
    QPixmap ready(4, 3);
    ready.fill(Qt::red);
    const DeferredPixmap held = ready;
    EXPECT_TRUE(held.isDecoded());
    EXPECT_EQ(held.get().size(), QSize(4, 3));
}

// A picture control that starts hidden reads its picture when it is first
// drawn, and a blank one stays blank.
TEST(DeferredPixmapTest, APictureControlDecodesWhenFirstDrawn) {
    QPixmapCache::clear();
    QWidget window;
    window.resize(320, 120);
    Picture winner(&window, "panel_winner", QRect(0, 0, 300, 100));
    winner.setPicture(ImageList::deferred("winner"));
    winner.hide();
    Picture blank(&window, "blank", QRect(0, 0, 10, 10));
    EXPECT_TRUE(blank.isBlank());
    EXPECT_FALSE(winner.isBlank());

    window.show();
    spin(50);
    QPixmap found;
    EXPECT_FALSE(QPixmapCache::find(ImageList::path("winner"), &found)) << "decoded while hidden";
    winner.show();
    EXPECT_TRUE(waitUntil([&] { return QPixmapCache::find(ImageList::path("winner"), &found); }));
    EXPECT_EQ(found.size(), QSize(300, 100));
}
