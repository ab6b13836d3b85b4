// Pictures of hidden windows wait until they are drawn, and the windows
// sharing one picture decode it once.
#include "client/DeferredPixmap.h"

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
