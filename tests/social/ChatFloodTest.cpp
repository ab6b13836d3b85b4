// A peer flooding the chat: the view keeps a bounded history, a line of
// thousands of words is cut and costs what a long line costs, and links keep
// opening their own address after old lines went.
#include "ChatDisplayFixture.h"
#include "ChatTestSupport.h"
#include "support/FakeClientServices.h"

#include "social/ChatDisplay.h"
#include "social/ChatView.h"
#include "social/ColourText.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ChatFloodTest : public ChatDisplayFixture {
protected:
    // Clicks link number n where the view shows it.
    void click(int n) {
        view().verticalScrollBar()->setValue(0);
        const QRect at = view().linkRect(n);
        view().verticalScrollBar()->setValue(at.top());
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, view().linkRect(n).center());
    }
};

// 21,600 short words in one line: the line shows its first characters, a
// bounded number of runs and an ellipsis at its end.
TEST_F(ChatFloodTest, AHugeLineIsCutWithAnEllipsisAndFewRuns) {
    QByteArray words;
    for (int i = 0; i < 21600; ++i)
        words += "ab ";
    say("2+Ann chats: " + words + "|clRed");
    ASSERT_EQ(view().lineCount(), 1);
    const QList<ChatView::Item> items = view().lineItems(0);
    EXPECT_LE(items.size(), ChatDisplay::maxWordRuns + 1);
    QString shown;
    for (const ChatView::Item& item : items)
        shown += item.text;
    EXPECT_TRUE(shown.startsWith("Ann chats:  ab ab "));
    EXPECT_EQ(items.last(), run(7, QString(ChatDisplay::ellipsis)));
    EXPECT_LE(shown.size(), ChatDisplay::maxLineLength + 3);
    EXPECT_LT(view().contentHeight(), 4000);
}

// Beyond the run cap, plain words share one run but a link is still a link
// and opens its own address.
TEST_F(ChatFloodTest, LinksBeyondTheRunCapStayLinks) {
    QByteArray words;
    for (int i = 0; i < ChatDisplay::maxWordRuns + 20; ++i)
        words += "w ";
    say("3+Bo chats: " + words + "www.late.example tail|clBlue");
    const QList<ChatView::Item> items = view().lineItems(0);
    EXPECT_LE(items.size(), ChatDisplay::maxWordRuns + 2);
    EXPECT_EQ(items.at(items.size() - 2), run(ChatView::linkStyle, "www.late.example "));
    EXPECT_EQ(items.last(), run(8, "tail "));
    click(0);
    EXPECT_EQ(opened, QStringList{"http://www.late.example"});
}

// An ordinary long line is not touched: the cap lies above what people type.
TEST_F(ChatFloodTest, OrdinaryLinesAreShownWhole) {
    const QByteArray text = QByteArray("a fairly long sentence of chat ").repeated(25);
    ASSERT_LT(text.size(), ChatDisplay::maxLineLength);
    say("1+Ann chats: " + text + "|clRed");
    QString shown;
    for (const ChatView::Item& item : view().lineItems(0))
        shown += item.text;
    EXPECT_EQ(shown, "Ann chats:  " + QString::fromLatin1(text) + " ");
}

// The history keeps the newest lines; each link still opens its own address
// after the lines above it were dropped, and a clear empties everything.
TEST_F(ChatFloodTest, HistoryIsBoundedAndLinksOpenTheirOwnAddress) {
    view().setMaxLines(50);
    for (int i = 0; i < 237; ++i)
        say("4+Dee chats: see www.site" + QByteArray::number(i) + ".example now|clBlack");
    EXPECT_LE(view().lineCount(), 50);
    EXPECT_GE(view().lineCount(), 45);
    EXPECT_EQ(view().linkCount(), view().lineCount());
    const int first = 237 - view().lineCount();
    EXPECT_EQ(view().lineItems(0).at(3).text, "www.site" + QString::number(first) + ".example ");
    for (int n : {0, 7, view().linkCount() - 1}) {
        opened.clear();
        click(n);
        EXPECT_EQ(opened, QStringList{"http://www.site" + QString::number(first + n) + ".example"});
    }
    // The newest line is in view at the bottom.
    QScrollBar* bar = view().verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());

    chat.ClearMainChat1Click();
    EXPECT_EQ(view().lineCount(), 0);
    say("4+Dee chats: www.fresh.example|clBlack");
    opened.clear();
    click(0);
    EXPECT_EQ(opened, QStringList{"http://www.fresh.example"});
}

// Dropping old lines moves a selection with its text, or out of the way
// when its lines went; copying still gives the text selected.
TEST_F(ChatFloodTest, SelectionFollowsItsLinesWhenOldOnesAreDropped) {
    view().setMaxLines(20);
    for (int i = 0; i < 19; ++i)
        say("1+Ann chats: line" + QByteArray::number(i) + "|clBlack");
    view().selectAll();
    ASSERT_TRUE(view().selectedText().endsWith("line18 "));
    say("1+Ann chats: pushes|clBlack");
    say("1+Ann chats: two out|clBlack");
    EXPECT_TRUE(view().selectedText().startsWith("Ann chats:  line2 "));
    EXPECT_TRUE(view().selectedText().endsWith("line18 "));
}

// The cost of one more line does not grow with the history: once the view
// is full, a line lays out only itself.
TEST_F(ChatFloodTest, AppendingToAFullHistoryLaysOutOneLine) {
    view().setMaxLines(100);
    for (int i = 0; i < 400; ++i)
        say("2+Bo chats: filler line " + QByteArray::number(i) + "|clBlue");
    view().contentHeight();
    for (int i = 0; i < 30; ++i) {
        const qint64 before = view().lineLayouts();
        say("2+Bo chats: one more|clBlue");
        view().contentHeight();
        EXPECT_EQ(view().lineLayouts() - before, 1) << "line " << i;
    }
}

} // namespace
