#include "social/Tphrases.h"

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <ostream>

static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {
const QStringList nine{"Way To Go!", "Good One!", "Nice Try!", "Excellent!", "Brilliant!",
                       "Wow, WTG!",  "Thanks!",   "Eight",     "Nine"};

class PhraseEditor : public ::testing::Test {
protected:
    PhraseEditor() : m_editor(&m_main), m_done(&m_editor, &Tphrases::phrasesDone) {
        m_main.setGeometry(200, 150, 772, 535);
        m_main.show();
    }
    QMainWindow m_main;
    Tphrases m_editor;
    QSignalSpy m_done;
};
} // namespace

TEST_F(PhraseEditor, HasItsCaptionSizeRowsAndFinishedLayout) {
    EXPECT_EQ(m_editor.windowTitle(), "Climora - Phrase Buttons ");
    m_editor.open(nine);
    EXPECT_EQ(m_editor.size(), QSize(368, 265));
    EXPECT_FALSE(m_editor.isModal());

    const QRect client = m_editor.rect();
    int lastBottom = -1;
    for (int n = 1; n <= 9; ++n) {
        auto* label = m_editor.findChild<QLabel*>(QString("label%1").arg(n));
        auto* box = m_editor.findChild<QLineEdit*>(QString("phrase%1").arg(n));
        ASSERT_TRUE(label && box) << n;
        EXPECT_EQ(label->text(), QString("Phrase Button %1:").arg(n));
        EXPECT_EQ(box->maxLength(), 50);
        // Rows top to bottom, wholly inside the window, none overlapping.
        EXPECT_TRUE(client.contains(box->geometry())) << n;
        EXPECT_GT(box->geometry().top(), lastBottom) << n;
        EXPECT_LT(label->geometry().right(), box->geometry().left()) << n;
        EXPECT_GE(box->height(), box->minimumSizeHint().height()) << n;
        lastBottom = box->geometry().bottom();
    }
    auto* note = m_editor.findChild<QLabel*>("label_note");
    ASSERT_TRUE(note);
    EXPECT_EQ(note->text(), "Buttons can only be used once every 2 seconds");
    EXPECT_GT(note->geometry().top(), lastBottom);
    EXPECT_GE(note->width(), note->sizeHint().width()) << "the note must not be cut";
    EXPECT_EQ(m_editor.doneButton()->text(), "Done");
    EXPECT_GT(m_editor.doneButton()->geometry().top(), lastBottom);
    EXPECT_TRUE(client.contains(m_editor.doneButton()->geometry()));

    const QImage picture = m_editor.grab().toImage();
    EXPECT_EQ(picture.pixelColor(1, 1), QColor(0xBF, 0xB3, 0x8A));
}

TEST_F(PhraseEditor, OpeningFillsTheBoxesAndCentresOnTheMainWindow) {
    m_editor.open(nine);
    EXPECT_TRUE(m_editor.isVisible());
    EXPECT_EQ(m_editor.phrases(), nine);
    const QPoint offset = m_editor.geometry().center() - m_main.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 40);

    // A short list leaves the other boxes empty; an overlong phrase is cut to 50.
    m_editor.open({QString(60, 'x')});
    EXPECT_EQ(m_editor.phraseBox(1)->text(), QString(50, 'x'));
    EXPECT_EQ(m_editor.phraseBox(9)->text(), "");
}

TEST_F(PhraseEditor, DoneHandsOverTheNineTextsAndCloses) {
    m_editor.open(nine);
    m_editor.phraseBox(3)->clear();
    QTest::keyClicks(m_editor.phraseBox(5), " Again");
    QTest::mouseClick(m_editor.doneButton(), Qt::LeftButton);
    ASSERT_EQ(m_done.count(), 1);
    QStringList expected = nine;
    expected[2] = "";
    expected[4] = "Brilliant! Again";
    EXPECT_EQ(m_done.at(0).at(0).toStringList(), expected);
    EXPECT_FALSE(m_editor.isVisible());

    // Enter in a box confirms as well.
    m_editor.open(nine);
    QTest::keyClick(m_editor.phraseBox(2), Qt::Key_Return);
    EXPECT_EQ(m_done.count(), 2);
    EXPECT_FALSE(m_editor.isVisible());
}

TEST_F(PhraseEditor, ClosingAnyOtherWayHandsOverNothing) {
    m_editor.open(nine);
    m_editor.phraseBox(1)->setText("changed");
    m_editor.close();
    EXPECT_FALSE(m_editor.isVisible());

    m_editor.open(nine);
    EXPECT_EQ(m_editor.phraseBox(1)->text(), "Way To Go!") << "reopening shows the current phrases";
    QTest::keyClick(&m_editor, Qt::Key_Escape);
    EXPECT_FALSE(m_editor.isVisible());
    EXPECT_EQ(m_done.count(), 0);
}
