#include "ChatDisplayFixture.h"
#include "ChatTestSupport.h"
#include "support/FakeClientServices.h"

#include "social/ChatDisplay.h"
#include "social/ChatView.h"
#include "social/ColourText.h"
#include "social/EChatLine.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Items = QList<ChatView::Item>;

class ChatDisplayTest : public ChatDisplayFixture {
protected:
    void system(const QString& text) { chat.addlinetochat("0+" + text, ColourText::blue); }
    // Counts the pixels of the viewport close to a pure colour.
    int pixelsOf(QColor colour) {
        const QImage image = view().viewport()->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (std::abs(c.red() - colour.red()) < 60 &&
                    std::abs(c.green() - colour.green()) < 60 &&
                    std::abs(c.blue() - colour.blue()) < 60)
                    ++count;
            }
        return count;
    }
};

TEST_F(ChatDisplayTest, ChatLineShowsBoldLeadInAndOneRunPerWordInTheSpeakersStyle) {
    say("2+Ann chats: hi|clRed");
    EXPECT_EQ(view().items(), (Items{run(7, "Ann chats: ", true), run(7, " "), run(7, "hi ")}));
    const ChatStyle& style = chat.style(7);
    EXPECT_EQ(style.colour, ColourText::red);
    EXPECT_TRUE(style.bold);
    EXPECT_FALSE(style.underline);
}

TEST_F(ChatDisplayTest, SystemLineStartsWithTheBlankOfItsEmptyLeadIn) {
    system("You are Connected.");
    EXPECT_EQ(view().items(),
              (Items{run(5, " ", true), run(5, "You "), run(5, "are "), run(5, "Connected. ")}));
    EXPECT_EQ(chat.style(5).colour, ColourText::blue);
    EXPECT_TRUE(chat.style(5).bold);
    EXPECT_FALSE(chat.style(5).underline) << "the style's initial underline never shows";
}

TEST_F(ChatDisplayTest, PayloadIsCutAtTheFirstBarAndAnUnreadableColourGivesRed) {
    say("3+Bo chats: a|b|clBlue");
    EXPECT_EQ(view().items(), (Items{run(8, "Bo chats: ", true), run(8, " "), run(8, "a ")}));
    EXPECT_EQ(chat.style(8).colour, ColourText::red);
    say("3+Bo chats: no colour at all");
    EXPECT_EQ(view().lineCount(), 2);
    EXPECT_EQ(chat.style(8).colour, ColourText::red);
    say("3+Bo chats: x|$00123456");
    EXPECT_EQ(chat.style(8).colour, 0x123456u);
}

TEST_F(ChatDisplayTest, SmileyCodesBecomePicturesAndBadCodesShowTheFirstPicture) {
    say("2+Ann chats: a:)#12b|clBlack");
    EXPECT_EQ(view().lineItems(0), (Items{run(7, "Ann chats: ", true), run(7, " "), run(7, "a "),
                                          picture(2), run(7, "b ")}));

    struct Case {
        const char* body;
        Items after; // what follows the lead-in
    };
    const Case cases[] = {
        {"2+Ann chats: :)#09", {run(7, " "), run(7, " "), picture(0)}},
        {"2+Ann chats: :)#28", {run(7, " "), run(7, " "), picture(0)}},
        {"2+Ann chats: :)#xy!", {run(7, " "), run(7, " "), picture(0), run(7, "! ")}},
        {"2+Ann chats: end:)#", {run(7, " "), run(7, "end "), picture(0)}},
        {"2+Ann chats: end:)#2", {run(7, " "), run(7, "end "), picture(0)}},
        {"2+Ann chats: :)#27:)#10",
         {run(7, " "), run(7, " "), picture(17), run(7, " "), picture(0)}},
    };
    for (const Case& c : cases) {
        view().clear();
        chat.addlinetochat(c.body, 0);
        Items expected{run(7, "Ann chats: ", true)};
        expected += c.after;
        EXPECT_EQ(view().items(), expected) << c.body;
    }
}

TEST_F(ChatDisplayTest, ActionWithoutColonLosesItsSmileyToTheLeadIn) {
    say("1+Ann waves:)#12|clBlack");
    EXPECT_EQ(view().items(), (Items{run(6, "Ann waves: ", true), run(6, ")#12 ")}));
}

TEST_F(ChatDisplayTest, WordsWithWebAddressesAreLinksAndOpenTheirAddress) {
    say("1+Ann chats: see www.a.org and http://b.org/x WWW.C.ORG HTTP://D.ORG ok|clBlack");
    const Items items = view().items();
    QStringList links;
    for (const ChatView::Item& item : items)
        if (item.style == ChatView::linkStyle)
            links << item.text;
    EXPECT_EQ(links, (QStringList{"www.a.org ", "http://b.org/x "}));
    EXPECT_EQ(view().linkCount(), 2);
    chat.mainchatJump(0);
    chat.mainchatJump(1);
    EXPECT_EQ(opened, (QStringList{"http://www.a.org", "http://b.org/x"}));
    EXPECT_TRUE(services.prompts.messages.isEmpty());
}

TEST_F(ChatDisplayTest, SecureAddressesAreLinksAndOpenAsTheyAre) {
    say("1+Ann chats: https://www.a.org https://b.org|clBlack");
    ASSERT_EQ(view().linkCount(), 2);
    chat.mainchatJump(0);
    chat.mainchatJump(1);
    EXPECT_EQ(opened, (QStringList{"https://www.a.org", "https://b.org"}));
}

TEST_F(ChatDisplayTest, LeadInIsNeverSearchedForLinksOrSmileys) {
    say("1+www.bob.com:)#12: hi|clBlack");
    EXPECT_EQ(view().items().first(), run(6, "www.bob.com: ", true));
    EXPECT_EQ(view().linkCount(), 0);
}

TEST_F(ChatDisplayTest, LinkAfterClearOrSystemLinesOpensItsOwnAddress) {
    say("1+Ann chats: www.old.org|clBlack");
    chat.ClearMainChat1Click();
    EXPECT_EQ(view().lineCount(), 0);
    EXPECT_EQ(chat.linkCounter(), -1);
    for (int i = 0; i < 5; ++i)
        system("Bo is Connected.");
    say("1+Ann chats: www.new.org|clBlack");
    EXPECT_EQ(chat.linkCounter(), 0);
    chat.mainchatJump(0);
    EXPECT_EQ(opened, QStringList{"http://www.new.org"});
}

TEST_F(ChatDisplayTest, EveryLinkOpensItsOwnAddressAfterTheTableWraps) {
    for (int i = 0; i < 105; ++i)
        say(QByteArray("1+Ann chats: www.site") + QByteArray::number(i) + ".org|clBlack");
    EXPECT_EQ(chat.linkCounter(), 4) << "entries 0 to 100, then 1 to 4 again";
    EXPECT_EQ(chat.linkTable().size(), 101);
    EXPECT_EQ(chat.linkTable()[4], "www.site104.org ");
    chat.mainchatJump(103);
    chat.mainchatJump(1);
    EXPECT_EQ(opened, (QStringList{"http://www.site103.org", "http://www.site1.org"}));
    chat.mainchatJump(500);
    chat.mainchatJump(-1);
    EXPECT_EQ(services.prompts.messages,
              (QStringList{"Cannot open Webpage", "Cannot open Webpage"}));
    EXPECT_EQ(opened.size(), 2);
}

TEST_F(ChatDisplayTest, ClickingALinkOpensItAndClickingPlainTextDoesNothing) {
    system("Welcome to the game");
    say("1+Ann chats: go www.x.org|clBlack");
    const QRect link = view().linkRect(0);
    ASSERT_TRUE(link.isValid());
    QTest::mouseMove(view().viewport(), link.center());
    EXPECT_EQ(view().viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, link.center());
    EXPECT_EQ(opened, QStringList{"http://www.x.org"});

    // A word of the system line above it.
    const QPoint plain(12, link.center().y() - link.height());
    QTest::mouseMove(view().viewport(), plain);
    EXPECT_NE(view().viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, plain);
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(ChatDisplayTest, ColourChangeShowsOnEarlierLinesAtTheNextLayout) {
    say("2+Ann chats: WWWWWWWW|clRed");
    QApplication::processEvents();
    EXPECT_GT(pixelsOf(Qt::red), 20);
    EXPECT_EQ(pixelsOf(Qt::blue), 0);

    ChatStyle style = chat.style(7);
    style.colour = ColourText::blue;
    chat.setStyle(7, style);
    EXPECT_GT(pixelsOf(Qt::red), 20) << "not before the next layout";

    say("2+Ann chats: again|clBlue");
    EXPECT_EQ(pixelsOf(Qt::red), 0);
    EXPECT_GT(pixelsOf(Qt::blue), 40);
}

TEST_F(ChatDisplayTest, NewLinesScrollToTheEndUnlessScrollChatOffIsTicked) {
    QAction options("Scroll Chat Off");
    options.setCheckable(true);
    chat.bindOptionsMenu(&options, nullptr, {});
    for (int i = 0; i < 40; ++i)
        system(QString("line %1").arg(i));
    QScrollBar* bar = view().verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    chat.scrollOffItem()->trigger();
    EXPECT_TRUE(chat.scrollOff());
    EXPECT_TRUE(options.isChecked()) << "both items show the same state";
    system("one more");
    EXPECT_EQ(bar->value(), 0);

    options.trigger();
    EXPECT_FALSE(chat.scrollOff());
    EXPECT_FALSE(chat.scrollOffItem()->isChecked());
    system("and another");
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(ChatDisplayTest, MarkupTypedByPlayersIsShownAsItsCharacters) {
    say("1+Ann chats: <b>x</b> &amp; <img src=a>|clBlack");
    EXPECT_EQ(view().items(), (Items{run(6, "Ann chats: ", true), run(6, " "), run(6, "<b>x</b> "),
                                     run(6, "&amp; "), run(6, "<img "), run(6, "src=a> ")}));
    view().selectAll();
    EXPECT_EQ(view().selectedText(), "Ann chats:  <b>x</b> &amp; <img src=a> ");
}

TEST_F(ChatDisplayTest, CopyPutsPlainTextWithCrLfAndNoPictures) {
    QApplication::clipboard()->setText("before");
    chat.Copy1Click();
    EXPECT_EQ(QApplication::clipboard()->text(), "before") << "nothing selected, nothing copied";
    chat.SelectAll1Click();
    EXPECT_FALSE(view().hasSelection()) << "an empty view selects nothing";

    system("Hi");
    say("2+Ann chats: a:)#12b|clRed");
    chat.SelectAll1Click();
    EXPECT_TRUE(view().hasSelection());
    chat.Copy1Click();
    EXPECT_EQ(QApplication::clipboard()->text(), " Hi \r\nAnn chats:  a b ");
}

TEST_F(ChatDisplayTest, BadSourceRaisesBeforeAnythingIsShown) {
    const char* lines[] = {"x+hi", "+hi", "no plus", "10+Ann: hi", "-1+Ann: hi", "99999999999+a"};
    for (const char* line : lines) {
        EXPECT_THROW(chat.addlinetochat(line, 0), EChatLine) << line;
        EXPECT_EQ(view().lineCount(), 0) << line;
    }
    EXPECT_THROW(say("abc"), EChatLine);
    EXPECT_EQ(view().lineCount(), 0);
    chat.addlinetochat("9+Zed: hi", 0);
    EXPECT_EQ(view().items().first().style, 14);
}

TEST_F(ChatDisplayTest, TextSizeItemsSetAllStylesTickOneAndSave) {
    QAction n8("8"), n10("10"), n12("12"), n14("14");
    QList<QAction*> items{&n8, &n10, &n12, &n14};
    for (QAction* item : items) {
        item->setCheckable(true);
        item->setData(item->text().toInt());
    }
    chat.bindOptionsMenu(nullptr, nullptr, items);
    EXPECT_TRUE(n10.isChecked());
    system("hello");
    const int before = view().contentHeight();

    n14.trigger();
    EXPECT_EQ(services.settingsSaves, 1);
    for (int s = 0; s < ChatView::styleCount; ++s)
        EXPECT_EQ(chat.style(s).size, 14) << s;
    EXPECT_TRUE(n14.isChecked());
    EXPECT_FALSE(n10.isChecked());
    EXPECT_EQ(view().contentHeight(), before) << "shown at the next layout only";
    system("bigger");
    EXPECT_GT(view().contentHeight(), 2 * before);

    chat.setTextSize(12);
    EXPECT_EQ(chat.textSize(), 12);
    EXPECT_TRUE(n12.isChecked());
    EXPECT_FALSE(n14.isChecked());
    chat.setTextSize(11);
    EXPECT_EQ(chat.textSize(), 11);
    for (QAction* item : items)
        EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(services.settingsSaves, 1) << "loading settings saves nothing";
}

TEST_F(ChatDisplayTest, ContextMenuHoldsTheFourItems) {
    QStringList captions;
    for (QAction* item : chat.contextMenu()->actions())
        captions << item->text();
    EXPECT_EQ(captions, (QStringList{"Select All", "Copy", "Clear Main Chat", "Scroll Chat Off"}));
    EXPECT_EQ(chat.contextMenu()->actions()[1]->shortcut(), QKeySequence("Ctrl+C"));
    EXPECT_EQ(chat.scrollOffItem()->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(view().verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(view().objectName(), "mainchat");
}

} // namespace
