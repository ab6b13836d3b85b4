#include "social/ChatSelection.h"
#include "social/ChatLines.h"

#include <gtest/gtest.h>

namespace {

ChatLines threeLines() {
    ChatLines lines;
    lines.addText("first line", 0, true);
    lines.addText("second", 0, true);
    lines.addText("third line", 0, true);
    return lines;
}

} // namespace

// A selection dragged upwards reads the same as one dragged downwards, and
// each line gives only its own part of it.
TEST(ChatSelection, EitherDirectionSelectsTheSameTextAndPartsOfLines) {
    const ChatLines lines = threeLines();
    for (bool upwards : {false, true}) {
        SCOPED_TRACE(upwards ? "upwards" : "downwards");
        ChatSelection selection;
        const ChatSelection::Position from{0, 6}, to{2, 5};
        selection.press(upwards ? to : from, false);
        selection.moveCursor(upwards ? from : to);
        EXPECT_EQ(selection.in(0, 10), std::make_pair(6, 10));
        EXPECT_EQ(selection.in(1, 6), std::make_pair(0, 6));
        EXPECT_EQ(selection.in(2, 10), std::make_pair(0, 5));
        EXPECT_EQ(selection.text(lines), "line\r\nsecond\r\nthird");
    }
}

// When the oldest lines go, an end on a dropped line moves to the start of
// what is left, and the other end follows its line.
TEST(ChatSelection, DroppedLinesMoveTheSelectionWithItsLines) {
    ChatLines lines = threeLines();
    ChatSelection selection;
    selection.select({0, 6}, {2, 5});
    lines.dropFront(1);
    selection.dropLines(1);
    EXPECT_EQ(selection.anchor(), ChatSelection::Position({0, 0}));
    EXPECT_EQ(selection.cursor(), ChatSelection::Position({1, 5}));
    EXPECT_EQ(selection.text(lines), "second\r\nthird");

    selection.dropLines(2);
    EXPECT_TRUE(selection.isEmpty());
}
