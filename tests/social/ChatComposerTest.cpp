#include "ChatTestSupport.h"
#include "support/FakeClientServices.h"

#include "client/TableModel.h"
#include "protocol/Commands.h"
#include "social/ChatComposer.h"
#include "social/ChatInput.h"
#include "social/ColourText.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

class ChatComposerTest : public ::testing::Test {
protected:
    ChatComposerTest() : composer(services.m_state, model, services, &board) {
        board.resize(764, 526);
        services.m_state.loggedIn = true;
        model.setOwnSeat(3);
        composer.setClock([this] { return now; });
        board.show();
    }
    ChatInput& input() { return *composer.input(); }
    // Types a line into the input and presses Enter.
    void enter(const QString& text) {
        input().setText(text);
        QTest::keyClick(&input(), Qt::Key_Return);
    }
    QAction* item(QMenu* menu, int tag) {
        for (QAction* action : menu->actions())
            if (action->data().toInt() == tag)
                return action;
        return nullptr;
    }

    QWidget board;
    FakeClientServices services;
    TableModel model;
    ChatComposer composer;
    qint64 now = 100000;
};

TEST_F(ChatComposerTest, PlaceholderIsTheInitialTextAndAnyKeyClearsIt) {
    EXPECT_EQ(input().text(), "<Enter Chat Here>");
    EXPECT_EQ(input().objectName(), "mychat");
    EXPECT_EQ(input().geometry().topLeft(), QPoint(488, 500));
    QTest::keyClick(&input(), Qt::Key_Shift);
    EXPECT_EQ(input().text(), "");
    QTest::keyClicks(&input(), "hi");
    EXPECT_EQ(input().text(), "hi");
}

TEST_F(ChatComposerTest, TypedLineGoesOutWithSeatAndColourText) {
    composer.setTextColour(ColourText::blue);
    enter("hello");
    ASSERT_EQ(services.sent.size(), 1);
    EXPECT_EQ(cmd::frame(services.sent[0]), QByteArray("CMD_chat+3+hello|clBlue\xFF"));
    EXPECT_EQ(input().text(), "") << "Enter inserts nothing and clears the line";

    composer.setTextColour(0x123456);
    enter("a+b: c");
    EXPECT_EQ(services.sent[1], "CMD_chat+3+a+b: c|$00123456");
}

TEST_F(ChatComposerTest, SlashLinesAreActionsOnlyForMe) {
    struct Case {
        const char* typed;
        QByteArray sent; // empty: nothing goes out
    } cases[] = {
        {"/me dances", "CMD_action+3+dances|clBlack"},
        {"/me", "CMD_action+3+|clBlack"},
        {"/mew", "CMD_action+3+|clBlack"},
        {"/meow", "CMD_action+3+w|clBlack"},
        {"/quit", ""},
        {"/", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        services.sent.clear();
        enter(c.typed);
        if (c.sent.isEmpty())
            EXPECT_TRUE(services.sent.isEmpty()) << c.typed;
        else
            EXPECT_EQ(services.sent, QByteArrayList{c.sent}) << c.typed;
        EXPECT_EQ(input().text(), "") << c.typed;
    }
}

TEST_F(ChatComposerTest, NothingIsSentOrClearedBeforeLogin) {
    services.m_state.loggedIn = false;
    enter("early");
    EXPECT_TRUE(services.sent.isEmpty());
    EXPECT_EQ(input().text(), "early");
    item(composer.soundsMenu(), 3)->trigger();
    EXPECT_TRUE(services.sent.isEmpty());
    composer.phraseButton(1)->click();
    EXPECT_EQ(services.sent.size(), 1) << "phrase buttons do not look at the login";
}

TEST_F(ChatComposerTest, PhraseButtonsSendTheirHintAndShareATwoSecondGate) {
    EXPECT_EQ(composer.phraseButton(1)->toolTip(), "Way To Go!");
    EXPECT_EQ(composer.phraseButton(9)->toolTip(), "Good Game Everyone!");
    composer.phraseButton(1)->click();
    composer.phraseButton(2)->click();
    EXPECT_EQ(services.sent, QByteArrayList{"CMD_action+3+says: Way To Go!|clBlack"});
    EXPECT_FALSE(composer.phraseGateOpen());

    now += 1999;
    composer.phraseButton(2)->click();
    EXPECT_EQ(services.sent.size(), 1) << "the second click is not queued either";
    now += 1;
    composer.setPhrase(4, "/me bows");
    EXPECT_EQ(composer.phraseButton(4)->toolTip(), "/me bows");
    composer.phraseButton(4)->click();
    EXPECT_EQ(services.sent.last(), "CMD_action+3+bows|clBlack");

    now += 5000;
    enter("typed lines pass the gate");
    composer.phraseButton(5)->click();
    EXPECT_EQ(services.sent.size(), 4);
}

TEST_F(ChatComposerTest, ChatterMenuSendsTheSoundNumberAndCancelNothing) {
    QMenu* menu = composer.soundsMenu();
    ASSERT_EQ(menu->actions().size(), 21);
    EXPECT_EQ(menu->actions()[0]->text(), "<Cancel>");
    EXPECT_EQ(menu->actions()[13]->text(), "Applause");
    EXPECT_EQ(menu->actions()[13]->toolTip(), "Applause");
    EXPECT_EQ(menu->actions()[20]->text(), "Crying");
    EXPECT_EQ(composer.soundsButton()->toolTip(), "Chatter Sounds");

    item(menu, 0)->trigger();
    EXPECT_TRUE(services.sent.isEmpty());
    item(menu, 13)->trigger();
    EXPECT_EQ(cmd::frame(services.sent.value(0)), QByteArray("CMD_playasound+3+wave13+\xFF"));
}

TEST_F(ChatComposerTest, SmileyReplacesThePlaceholderAndAppendsItsCode) {
    QMenu* menu = composer.smiliesMenu();
    ASSERT_EQ(menu->actions().size(), 18);
    EXPECT_EQ(menu->actions().first()->text(), ":)#10");
    EXPECT_EQ(menu->actions().last()->text(), ":)#27");
    // The pictures are read when the menu opens, not with the window.
    EXPECT_TRUE(menu->actions().first()->icon().isNull());
    emit menu->aboutToShow();
    for (QAction* smiley : menu->actions())
        EXPECT_FALSE(smiley->icon().isNull()) << smiley->text().toStdString();

    item(menu, 14)->trigger();
    EXPECT_EQ(input().text(), ":)#14");
    input().setText("hi ");
    input().setSelection(0, 2);
    item(menu, 27)->trigger();
    EXPECT_EQ(input().text(), "hi :)#27");
    EXPECT_FALSE(input().hasSelectedText());
    EXPECT_EQ(input().cursorPosition(), input().text().size());
    EXPECT_TRUE(services.sent.isEmpty()) << "the code goes out with the next Enter";
}

TEST_F(ChatComposerTest, PasteAppendsAtTheEndAndKeepsTheSelectedText) {
    QApplication::clipboard()->setText("XY");
    input().setText("hello world");
    input().setSelection(6, 5);
    composer.Paste1Click();
    EXPECT_EQ(input().text(), "hello worldXY");
    EXPECT_FALSE(input().hasSelectedText());
    EXPECT_EQ(input().cursorPosition(), 13);

    input().setSelection(0, 5);
    QTest::keyClick(&input(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(input().text(), "hello worldXYXY") << "Ctrl+V appends as well";

    QApplication::clipboard()->clear();
    composer.Paste1Click();
    EXPECT_EQ(input().text(), "hello worldXYXY");
    ASSERT_EQ(composer.inputMenu()->actions().size(), 1);
    EXPECT_EQ(composer.inputMenu()->actions()[0]->text(), "Paste");
}

TEST_F(ChatComposerTest, TextColourReadsColourText) {
    EXPECT_EQ(composer.textColourText(), "clBlack");
    EXPECT_TRUE(composer.setTextColourText("CLMAROON"));
    EXPECT_EQ(composer.textColour(), ColourText::maroon);
    EXPECT_FALSE(composer.setTextColourText("light red"));
    EXPECT_EQ(composer.textColourText(), "clMaroon");
    // The input line writes in that colour, focused or not.
    EXPECT_EQ(input().palette().color(QPalette::Active, QPalette::Text), QColor(0x80, 0, 0));
    EXPECT_EQ(input().palette().color(QPalette::Inactive, QPalette::Text), QColor(0x80, 0, 0));
}

} // namespace

namespace {
// A phrase comes from the settings file; its hint shows its characters and
// never loads a picture that markup in it would name.
TEST_F(ChatComposerTest, PhraseHintsShowMarkupAsItsCharacters) {
    composer.setPhrase(3, "<img src=\"/dev/zero\"> & more");
    QToolButton* button = composer.phraseButton(3);
    EXPECT_EQ(composer.phrase(3), "<img src=\"/dev/zero\"> & more")
        << "the phrase is kept as it is";
    QHelpEvent hint(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(button, &hint);
    EXPECT_EQ(QToolTip::text(),
              "<p style='white-space:pre'>&lt;img src=&quot;/dev/zero&quot;&gt; &amp; more</p>");
    QToolTip::hideText();
}
} // namespace
