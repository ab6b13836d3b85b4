#include "tally/Ttallylist.h"
#include "support/FakePrompter.h"
#include "tally/TStringGrid.h"
#include "tally/Tlzrw1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

// Readable failure output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{' << l.join("|").toStdString() << '}';
}

namespace {

const QStringList table = {"Me", "Klot", "Ann", "<Waiting>"};

class Tally : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QStringList files() const {
        QStringList names = QDir(m_dir.path()).entryList(QDir::Files);
        names.sort(Qt::CaseInsensitive);
        return names;
    }
    QString tallyPath() const { return m_dir.filePath("Climoratally.tld"); }
    std::unique_ptr<Ttallylist> open() {
        return std::make_unique<Ttallylist>(m_prompter, tallyPath());
    }
    static QString text(const Ttallylist& w, const char* name) {
        auto* label = w.findChild<QLabel*>(name);
        return label ? label->text() : QString("<no %1>").arg(name);
    }
    static QListWidget& list(const Ttallylist& w, const char* name) {
        return *w.findChild<QListWidget*>(name);
    }
    static QStringList items(const Ttallylist& w, const char* name) {
        QStringList out;
        const QListWidget& l = list(w, name);
        for (int i = 0; i < l.count(); ++i)
            out << l.item(i)->text() + (l.item(i)->checkState() == Qt::Checked ? "+" : "-");
        return out;
    }
    static QStringList row(const Ttallylist& w, int r) {
        QStringList out;
        for (int c = 0; c < 9; ++c)
            out << w.grid().cell(c, r);
        return out;
    }
    // Ticks a name in "Players In Current Game" as the user would.
    static void tick(Ttallylist& w, const QString& name) {
        QListWidget& l = list(w, "checklist");
        for (int i = 0; i < l.count(); ++i)
            if (l.item(i)->text() == name)
                l.item(i)->setCheckState(Qt::Checked);
    }
    static void untickFollowed(Ttallylist& w, int index) {
        list(w, "listbox_tally").item(index)->setCheckState(Qt::Unchecked);
        QCoreApplication::processEvents();
    }
    QByteArray unpackedTally() {
        Tlzrw1 z;
        z.InputFile = tallyPath();
        z.OutputFile = m_dir.filePath("check.txt");
        z.Decompress();
        QFile f(z.OutputFile);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    void writeTallyText(const QByteArray& text) {
        QFile f(m_dir.filePath("plain.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        Tlzrw1 z;
        z.InputFile = f.fileName();
        z.OutputFile = tallyPath();
        z.Compress();
    }

    QTemporaryDir m_dir;
    FakePrompter m_prompter;
};

QStringList split(const char* cells) {
    return QString(cells).split(',');
}

} // namespace

TEST_F(Tally, WindowHasItsControlsAndCaptions) {
    auto w = open();
    EXPECT_EQ(w->windowTitle(), "Climora - Tally List");
    for (const char* name :
         {"label_1", "label_2", "label_3", "label_4", "label_5", "label_6", "label_7", "label_8",
          "label_hisname", "label_hisnametop", "mylabel_1", "mylabel_2", "mylabel_3", "mylabel_4"})
        EXPECT_NE(w->findChild<QLabel*>(name), nullptr) << name;
    EXPECT_TRUE(w->findChild<QLabel*>("mylabel_3")->isHidden());
    EXPECT_TRUE(w->findChild<QLabel*>("mylabel_4")->isHidden());
    EXPECT_FALSE(w->findChild<QLabel*>("mylabel_2")->isHidden());
    EXPECT_TRUE(w->findChild<TStringGrid*>("stringgrid_scores")->isHidden());
    QStringList captions;
    for (QLabel* l : w->findChildren<QLabel*>())
        captions << l->text();
    for (QPushButton* b : w->findChildren<QPushButton*>())
        captions << b->text();
    for (const char* caption :
         {"Players In Current Game", "Players Being Tallied", "Number of Games", "Total", "Session",
          "Your Wins:", "Neither Won:", "Total Games:", "Your Wins", "Reset Tally", "Done"})
        EXPECT_TRUE(captions.contains(caption)) << caption;
    EXPECT_EQ(row(*w, 0), split("0,0,0,0,0,0,0,0,0"));
    EXPECT_EQ(w->grid().rowCount(), 1);

    w->show();
    w->findChild<QPushButton*>("button_done")->click();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(Tally, CurrentPlayersLeaveOutTheOwnSeatAndEmptySeats) {
    auto w = open();
    w->follow("ann");
    w->loadchecklist(2, table);
    EXPECT_EQ(items(*w, "checklist"), QStringList({"Me-", "Ann+"}));
    w->loadchecklist(1, {"Me", "<Waiting>", "<waiting>"});
    EXPECT_EQ(items(*w, "checklist"), QStringList({"<waiting>-"}));
}

// The arithmetic of one recorded game for every kind of winner.
TEST_F(Tally, GamesAreCountedForEachFollowedPlayerAtTheTable) {
    auto w = open();
    w->follow("Bob"); // followed but not at the table
    w->loadchecklist(1, table);
    tick(*w, "Klot");
    tick(*w, "Ann");
    EXPECT_EQ(items(*w, "listbox_tally"), QStringList({"Bob+", "Klot+", "Ann+"}));

    w->addgame("addtomine");
    EXPECT_EQ(row(*w, 0), split("0,1,1,0,0,0,0,0,0"));
    EXPECT_EQ(row(*w, 1), split("Bob,0,0,0,0,0,0,0,0"));
    EXPECT_EQ(row(*w, 2), split("Klot,1,0,1,0,1,0,1,0"));
    EXPECT_EQ(row(*w, 3), split("Ann,1,0,1,0,1,0,1,0"));
    EXPECT_EQ(text(*w, "mylabel_1"), "1");
    EXPECT_EQ(text(*w, "mylabel_2"), "1");

    w->addgame("Klot");
    EXPECT_EQ(row(*w, 0), split("0,2,1,0,0,0,0,0,0"));
    EXPECT_EQ(row(*w, 2), split("Klot,2,1,1,0,2,1,1,0"));
    EXPECT_EQ(row(*w, 3), split("Ann,2,0,1,1,2,0,1,1"));

    // A winner nobody follows counts as neither for everyone; the name is
    // matched exactly, although following matches without letter case.
    w->addgame("klot");
    EXPECT_EQ(row(*w, 2), split("Klot,3,1,1,1,3,1,1,1"));
    EXPECT_EQ(row(*w, 1), split("Bob,0,0,0,0,0,0,0,0"));

    // The game uses the seats of the call.
    w->addgame("Zed", 1, {"Me", "Zed", "<Waiting>", "bob"});
    EXPECT_EQ(row(*w, 1), split("Bob,1,0,0,1,1,0,0,1"));
    EXPECT_EQ(row(*w, 2), split("Klot,3,1,1,1,3,1,1,1"));
    EXPECT_EQ(text(*w, "mylabel_1"), "4");
    EXPECT_EQ(text(*w, "mylabel_2"), "1");
}

TEST_F(Tally, EmptyOrUnreadableCountersCountFromZero) {
    auto w = open();
    w->loadchecklist(1, table);
    tick(*w, "Klot");
    w->grid().setCell(1, 1, "");
    w->grid().setCell(3, 1, "lots");
    w->grid().setCell(4, 1, "");
    w->grid().setCell(2, 0, "x");
    w->addgame("addtomine");
    EXPECT_EQ(row(*w, 1), split("Klot,1,0,1,0,1,0,1,0"));
    EXPECT_EQ(row(*w, 0), split("0,1,1,0,0,0,0,0,0"));
    w->grid().setCell(1, 0, "41");
    EXPECT_EQ(w->addit(1, 0), 42);
    EXPECT_EQ(w->addit(1, 9), 0); // no such row
    w->addtomineincrease(2);
    EXPECT_EQ(text(*w, "mylabel_2"), "2");
}

TEST_F(Tally, SelectedPlayerIsShownAndRefreshedAfterAGame) {
    auto w = open();
    w->loadchecklist(1, table);
    tick(*w, "Klot");
    w->addgame("Klot");
    list(*w, "listbox_tally").setCurrentRow(0);
    EXPECT_EQ(text(*w, "label_hisname"), "Klot Wins:");
    EXPECT_EQ(text(*w, "label_hisnametop"), "Klot's Tally");
    w->addgame("addtomine");
    QStringList shown;
    for (int i = 1; i <= 8; ++i)
        shown << text(*w, QString("label_%1").arg(i).toLatin1());
    EXPECT_EQ(shown, split("2,1,1,0,2,1,1,0"));
}

// The first run of the example: three games with Klot, two won, one lost.
TEST_F(Tally, SavedTableIsTheGridTextInItsContainer) {
    auto w = open();
    w->loadchecklist(1, {"Me", "Klot", "<Waiting>", "<Waiting>"});
    tick(*w, "Klot");
    w->addgame("addtomine");
    w->addgame("Klot");
    w->addgame("addtomine");
    const QByteArray expected = "9\r\n2\r\n"
                                "0\r\nKlot\r\n3\r\n3\r\n2\r\n1\r\n0\r\n2\r\n0\r\n0\r\n"
                                "0\r\n3\r\n0\r\n1\r\n0\r\n2\r\n0\r\n0\r\n";
    EXPECT_EQ(w->grid().toText(), expected);
    EXPECT_TRUE(w->save());
    EXPECT_EQ(unpackedTally(), expected);
}

TEST_F(Tally, ReloadKeepsAllTimeCountsAndClearsTheSession) {
    {
        auto w = open();
        w->loadchecklist(1, table);
        tick(*w, "Klot");
        tick(*w, "Ann");
        w->addgame("Ann");
    } // saved by the destructor
    auto w = open();
    EXPECT_TRUE(m_prompter.messages.isEmpty());
    EXPECT_EQ(items(*w, "listbox_tally"), QStringList({"Klot+", "Ann+"}));
    EXPECT_EQ(row(*w, 1), split("Klot,1,0,0,1,0,0,0,0"));
    EXPECT_EQ(row(*w, 2), split("Ann,1,1,0,0,0,0,0,0"));
    EXPECT_EQ(text(*w, "mylabel_1"), "1");
    EXPECT_EQ(text(*w, "mylabel_2"), "0");
    w->loadchecklist(1, table);
    EXPECT_EQ(items(*w, "checklist"), QStringList({"Klot+", "Ann+"}));
    w->addgame("addtomine");
    EXPECT_EQ(row(*w, 2), split("Ann,2,1,1,0,1,0,1,0"));
}

TEST_F(Tally, StoppingToFollowAMiddlePlayerMovesTheLaterRowsUp) {
    auto w = open();
    w->loadchecklist(1, {"Me", "A", "B", "C"});
    tick(*w, "A");
    tick(*w, "B");
    tick(*w, "C");
    w->addgame("C");

    m_prompter.answer = false;
    untickFollowed(*w, 1);
    EXPECT_EQ(m_prompter.questions,
              QStringList{"This will delete B's Tally, Are you want to delete it?"});
    EXPECT_EQ(items(*w, "listbox_tally"), QStringList({"A+", "B+", "C+"}));
    EXPECT_EQ(w->grid().rowCount(), 4);

    m_prompter.answer = true;
    untickFollowed(*w, 1);
    EXPECT_EQ(items(*w, "listbox_tally"), QStringList({"A+", "C+"}));
    EXPECT_EQ(w->grid().rowCount(), 3);
    EXPECT_EQ(row(*w, 2), split("C,1,1,0,0,1,1,0,0"));
    EXPECT_EQ(items(*w, "checklist"), QStringList({"A+", "B-", "C+"}));
    w->addgame("C");
    EXPECT_EQ(row(*w, 2), split("C,2,2,0,0,2,2,0,0"));
    EXPECT_EQ(row(*w, 1), split("A,2,0,0,2,2,0,0,2"));

    untickFollowed(*w, 0);
    untickFollowed(*w, 0);
    EXPECT_EQ(w->grid().rowCount(), 1);
    EXPECT_TRUE(items(*w, "listbox_tally").isEmpty());
    // Ticking again starts a fresh row.
    tick(*w, "C");
    EXPECT_EQ(row(*w, 1), split("C,0,0,0,0,0,0,0,0"));
}

TEST_F(Tally, ResetEmptiesTheTallyAfterAskingAndIsSavedSo) {
    auto w = open();
    w->loadchecklist(1, table);
    tick(*w, "Klot");
    w->addgame("addtomine");
    list(*w, "listbox_tally").setCurrentRow(0);

    m_prompter.answer = false;
    w->findChild<QPushButton*>("button_reset")->click();
    EXPECT_EQ(m_prompter.questions, QStringList{"Are you sure you want to reset the Tally?"});
    EXPECT_EQ(w->grid().rowCount(), 2);

    m_prompter.answer = true;
    w->resetTally();
    EXPECT_EQ(w->grid().rowCount(), 1);
    EXPECT_EQ(row(*w, 0), split(",,,,,,,,"));
    EXPECT_TRUE(items(*w, "listbox_tally").isEmpty());
    EXPECT_EQ(items(*w, "checklist"), QStringList({"Klot-", "Ann-"}));
    for (const char* name : {"mylabel_1", "mylabel_2", "label_1", "label_3", "label_5", "label_7"})
        EXPECT_EQ(text(*w, name), "0") << name;
    ASSERT_TRUE(w->save());
    EXPECT_EQ(unpackedTally(), "9\r\n1\r\n" + QByteArray(9 * 2, 0).replace('\0', "\r\n").left(18));

    // Blank counters show as 0 after a restart and count from 0.
    w.reset();
    w = open();
    EXPECT_EQ(text(*w, "mylabel_1"), "0");
    w->loadchecklist(1, table);
    w->addgame("Ann");
    EXPECT_EQ(text(*w, "mylabel_1"), "1");
    EXPECT_EQ(text(*w, "mylabel_2"), "0");
}

// A tally file that cannot be read is reported once; the window then works
// on an empty tally.
TEST_F(Tally, DamagedTallyFileIsReportedAndTheGameGoesOn) {
    {
        auto w = open();
        w->loadchecklist(1, table);
        tick(*w, "Klot");
        w->addgame("Klot");
    }
    QFile f(tallyPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray good = f.readAll();
    f.close();

    // A sound container of a table cut short after its counts.
    static const char cutTable[] = "WRZL\x05\0\0\0\x06\0\x80"
                                   "9\r\n5\r";
    const struct {
        QByteArray content;
        QString message;
    } cases[] = {
        {good.left(good.size() - 3), "Lzrw1 : Error reading from input file : " + tallyPath()},
        {"garbage", tallyPath() + " : Lzrw1 decompression : this file has no valid header !"},
        {QByteArray(cutTable, sizeof cutTable - 1),
         "The tally file " + tallyPath() +
             " could not be read: the file ends after 0 of its 45 cells."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
        f.close();
        m_prompter.messages.clear();
        auto w = open();
        EXPECT_EQ(m_prompter.messages, QStringList{c.message});
        EXPECT_EQ(w->grid().rowCount(), 1);
        EXPECT_EQ(row(*w, 0), split("0,0,0,0,0,0,0,0,0"));
        w->loadchecklist(1, table);
        tick(*w, "Ann");
        w->addgame("addtomine");
        EXPECT_EQ(row(*w, 1), split("Ann,1,0,1,0,1,0,1,0"));
    }

    for (const QByteArray& text :
         {QByteArray("9\r\n3\r\n0\r\nKlot\r\n"), QByteArray("4\r\n1\r\n0\r\n1\r\n2\r\n3\r\n"),
          QByteArray("9\r\n-1\r\n"), QByteArray("9\r\n99999999\r\n"), QByteArray()}) {
        SCOPED_TRACE(text.constData());
        writeTallyText(text);
        m_prompter.messages.clear();
        auto w = open();
        ASSERT_EQ(m_prompter.messages.size(), 1);
        EXPECT_TRUE(m_prompter.messages[0].startsWith("The tally file " + tallyPath() +
                                                      " could not be read: "));
        EXPECT_EQ(w->grid().rowCount(), 1);
        EXPECT_EQ(w->grid().colCount(), 9);
    }
}

// The unpacked table lives in a private folder: a file of the user's named
// temp.txt in the current folder is neither overwritten nor deleted.
TEST_F(Tally, IntermediateTextNeverTouchesTheCurrentFolder) {
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    QFile mine("temp.txt");
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("my notes");
    mine.close();
    {
        auto w = open();
        w->loadchecklist(1, table);
        tick(*w, "Klot");
        w->addgame("addtomine");
    }
    auto w = open();
    EXPECT_EQ(row(*w, 1), split("Klot,1,0,1,0,0,0,0,0"));
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), "my notes");
    QDir::setCurrent(before);
    EXPECT_EQ(files(), QStringList({"Climoratally.tld", "temp.txt"}));
}

TEST_F(Tally, SaveWritesOnceUntilTheNextChange) {
    auto w = open();
    w->loadchecklist(1, table);
    w->addgame("addtomine");
    EXPECT_TRUE(w->save());
    ASSERT_TRUE(QFile::remove(tallyPath()));
    EXPECT_TRUE(w->save()); // nothing new: nothing written
    EXPECT_FALSE(QFile::exists(tallyPath()));
    w->addgame("addtomine");
    w.reset(); // the destructor saves the new game
    EXPECT_EQ(unpackedTally(), "9\r\n1\r\n0\r\n2\r\n2\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
}

TEST_F(Tally, FailedSaveKeepsThePreviousTally) {
    {
        auto w = open();
        w->loadchecklist(1, table);
        tick(*w, "Klot");
        w->addgame("Klot");
    }
    const QByteArray before = unpackedTally();
    QFile::remove(m_dir.filePath("check.txt"));

    // A tally path in a folder that does not exist fails before anything.
    Ttallylist nowhere(m_prompter, m_dir.filePath("missing/Climoratally.tld"));
    nowhere.addit(1, 0);
    EXPECT_FALSE(nowhere.save());

    auto w = open();
    w->loadchecklist(1, table);
    w->addgame("addtomine");
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool enforced = access(QFile::encodeName(m_dir.path()).constData(), W_OK) != 0;
    const bool saved = w->save();
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!enforced)
        GTEST_SKIP() << "permissions do not stop this user from writing";
    EXPECT_FALSE(saved);
    EXPECT_EQ(unpackedTally(), before);
    EXPECT_EQ(files(), QStringList({"check.txt", "Climoratally.tld"}));
}
