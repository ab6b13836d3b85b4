#include "ChatTestSupport.h"

#include "social/ChatView.h"
#include "social/SocialArt.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ChatViewTest : public ::testing::Test {
protected:
    ChatViewTest() {
        view.setImageList(SocialArt::smileys());
        view.resize(265, 313);
        view.show();
    }
    void line(const QString& text, int style = 6) {
        view.addText(" ", style, true);
        for (const QString& word : text.split(' '))
            view.addText(word + ' ', style, false);
        view.format();
        view.scrollToEnd();
    }

    ChatView view;
};

TEST_F(ChatViewTest, AppendingLaysOutOnlyTheNewLine) {
    for (int i = 0; i < 300; ++i)
        line(QString("line number %1 with a few words").arg(i));
    view.contentHeight();
    const qint64 before = view.lineLayouts();
    line("one more");
    view.contentHeight();
    view.repaint();
    EXPECT_EQ(view.lineLayouts() - before, 1);
}

TEST_F(ChatViewTest, FontChangeRelaysOutOnlyTheLinesOfThatStyle) {
    for (int i = 0; i < 10; ++i)
        line("style six", 6);
    for (int i = 0; i < 5; ++i)
        line("style nine", 9);
    const int before = view.contentHeight();
    const qint64 layouts = view.lineLayouts();

    ChatStyle colourOnly = view.style(9);
    colourOnly.colour = 0x0000FF;
    view.setStyle(9, colourOnly);
    view.format();
    EXPECT_EQ(view.contentHeight(), before);
    EXPECT_EQ(view.lineLayouts(), layouts) << "a colour needs no layout";

    ChatStyle bigger = view.style(9);
    bigger.size = 20;
    view.setStyle(9, bigger);
    EXPECT_EQ(view.contentHeight(), before) << "not before format()";
    view.format();
    EXPECT_GT(view.contentHeight(), before);
    EXPECT_EQ(view.lineLayouts() - layouts, 5);
}

TEST_F(ChatViewTest, LongTextWrapsToTheWidthAndNarrowingRewraps) {
    line("short");
    const int oneLine = view.contentHeight();
    view.clear();
    view.addText(QString(400, 'x'), 6, true);
    view.format();
    const int wrapped = view.contentHeight();
    EXPECT_GT(wrapped, 4 * oneLine);
    view.resize(150, 313);
    EXPECT_GT(view.contentHeight(), wrapped);
    EXPECT_EQ(view.lineItems(0).size(), 1) << "wrapping does not change the items";
}

TEST_F(ChatViewTest, MouseSelectsAcrossLinesAndCopiesWithCrLf) {
    line("first line");
    line("second line");
    view.verticalScrollBar()->setValue(0);
    QSignalSpy clicks(&view, &ChatView::linkClicked);
    const QPoint start(2, 5);
    const QPoint end(view.viewport()->width() - 2, view.contentHeight() - 4);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, end, view.viewport()->mapToGlobal(end), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, end);
    EXPECT_TRUE(view.hasSelection());
    EXPECT_EQ(view.selectedText(), " first line \r\n second line ");
    EXPECT_EQ(clicks.count(), 0);

    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, start);
    EXPECT_FALSE(view.hasSelection()) << "a click drops the selection";
}

TEST_F(ChatViewTest, LinksAreNumberedInDisplayOrderAndADragIsNoClick) {
    view.addText("a ", 6, true);
    view.addText("one ", ChatView::linkStyle, false);
    view.addText("b ", 6, true);
    view.addText("two ", ChatView::linkStyle, false);
    view.addText("three ", ChatView::linkStyle, false);
    view.format();
    EXPECT_EQ(view.linkCount(), 3);
    EXPECT_EQ(view.linkText(2), "three ");
    EXPECT_TRUE(view.linkText(3).isNull());

    QSignalSpy clicks(&view, &ChatView::linkClicked);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.linkRect(1).center());
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks.takeFirst().at(0).toInt(), 1);

    const QPoint from = view.linkRect(2).center();
    const QPoint to(2, from.y());
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, view.viewport()->mapToGlobal(to), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_TRUE(view.hasSelection());
}

TEST_F(ChatViewTest, PicturesTakeRoomButGiveNoText) {
    view.addText("x ", 6, true);
    view.addPicture(3);
    view.addPicture(99); // not in the list: an empty picture
    view.addText("y ", 6, false);
    view.format();
    EXPECT_EQ(view.lineItems(0),
              (QList<ChatView::Item>{run(6, "x ", true), picture(3), picture(99), run(6, "y ")}));
    view.selectAll();
    EXPECT_EQ(view.selectedText(), "x y ");
}

TEST_F(ChatViewTest, FormatReturnsToTheTopAndResizingKeepsThePlace) {
    for (int i = 0; i < 60; ++i)
        line(QString("line %1").arg(i));
    QScrollBar* bar = view.verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    view.resize(200, 313);
    view.contentHeight();
    EXPECT_EQ(bar->value(), bar->maximum()) << "the end stays in view";
    view.format();
    EXPECT_EQ(bar->value(), 0);
}

} // namespace
