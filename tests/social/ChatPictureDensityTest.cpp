// A smiley drawn for a dense screen (twice the pixels, device pixel ratio 2)
// takes the same room in the chat as the plain one.
#include "social/ChatLines.h"
#include "ui/DeferredPixmap.h"

#include <QFont>
#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace {
ChatLines::Line laidOut(const QPixmap& smiley) {
    static const QFontMetricsF metrics{QFont()};
    ChatLines lines;
    lines.addText("hello ", 0, true);
    lines.addPicture(0);
    lines.addText(" there", 0, false);
    ChatLines::Line line = lines[0];
    ChatLines::Measures measures;
    measures.metrics = [](int) -> const QFontMetricsF& { return metrics; };
    measures.image = [smiley](int) { return smiley; };
    ChatLines::layout(line, 400, measures);
    return line;
}
} // namespace

TEST(ChatPictureDensity, ADenseSmileyTakesTheRoomOfThePlainOne) {
    const QString path = ":/social/smiley10.png";
    const QPixmap plain = DeferredPixmap::load(path, 1.0);
    const QPixmap dense = DeferredPixmap::load(path, 2.0);
    ASSERT_EQ(dense.devicePixelRatio(), 2.0);
    ASSERT_EQ(dense.size(), plain.size() * 2);

    const ChatLines::Line one = laidOut(plain);
    const ChatLines::Line two = laidOut(dense);
    ASSERT_EQ(one.pieces.size(), two.pieces.size());
    for (size_t i = 0; i < one.pieces.size(); ++i) {
        EXPECT_FLOAT_EQ(one.pieces[i].x, two.pieces[i].x) << i;
        EXPECT_FLOAT_EQ(one.pieces[i].width, two.pieces[i].width) << i;
    }
    EXPECT_FLOAT_EQ(one.pieces[1].width, float(plain.width()));
    EXPECT_EQ(one.height, two.height);
}
