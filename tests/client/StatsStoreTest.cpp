#include "client/StatsStore.h"
#include "support/FakePrompter.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Two players' games, names chosen to need their encoding.
DiceRecord sampleGame() {
    DiceRecord game;
    game.setGames(1);
    game.addRoll("Ann Lee", {0, 1, 2, 3}, false, 0);
    game.addRoll("Ann Lee", {5, 5, 5, 5}, true, 104);
    game.addRoll("<b>Bø%+</b>", {4, 4, 1, 0}, false, 728);
    game.addColumns("<b>Bø%+</b>", 2);
    return game;
}

class StatsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        tallyPath = folder.filePath("Climoratally.tld");
        path = StatsStore::besideTally(tallyPath);
        writeAll(tallyPath, tally);
    }

    QTemporaryDir folder;
    QString tallyPath;
    QString path;
    const QByteArray tally = QByteArray("packed tally\0\x01\x02", 15);
    FakePrompter prompter;
};

// The line of a well-formed file that the corrupt cases change.
const QByteArray goodFile = "Climora dice statistics 1\n"
                            "games 2\n"
                            "table 3 1 832 2 1 1 1 1 4 4\n"
                            "name 2 1 104 0 1 1 1 1 0 4 Ann\n"
                            "end\n";

} // namespace

TEST_F(StatsStoreTest, TheFileSitsBesideTheTallyAndKeepsItsExactForm) {
    EXPECT_EQ(QFileInfo(path).dir(), QFileInfo(tallyPath).dir());
    DiceRecord read;
    QString error;
    ASSERT_TRUE(StatsStore::parse(goodFile, read, error)) << error.toStdString();
    EXPECT_EQ(read.games(), 2u);
    EXPECT_EQ(read.find("Ann")->bustingOutcomes, 104u);
    EXPECT_EQ(StatsStore::format(read), goodFile);
}

// Games added are merged into the totals and written whole; a store made
// later (the next run) reads back exactly what was kept, names included.
TEST_F(StatsStoreTest, GamesAddUpAndComeBackInTheNextRun) {
    {
        StatsStore store(prompter, path);
        QSignalSpy changed(&store, &StatsStore::changed);
        EXPECT_EQ(store.totals(), DiceRecord());
        store.addGame(sampleGame());
        store.addGame(sampleGame());
        EXPECT_EQ(changed.count(), 2);
    }
    StatsStore next(prompter, path);
    const DiceRecord& totals = next.totals();
    DiceRecord twice = sampleGame();
    ASSERT_TRUE(twice.merge(sampleGame()));
    EXPECT_EQ(totals, twice);
    EXPECT_EQ(totals.games(), 2u);
    EXPECT_EQ(totals.find("<b>Bø%+</b>")->columns, 4u);
    EXPECT_TRUE(prompter.messages.isEmpty());
    EXPECT_FALSE(QFile::exists(path + ".bad"));
    EXPECT_EQ(readAll(tallyPath), tally);
}

// Whatever is wrong with the file, the player is told once, the file is set
// aside as it was, the statistics start afresh, the next game writes a good
// file, and the tally file is left alone.
TEST_F(StatsStoreTest, ACorruptFileIsToldOnceSetAsideAndStartedAfresh) {
    const auto changed = [](const char* from, const char* to) {
        QByteArray text = goodFile;
        return text.replace(from, to);
    };
    QByteArray noise;
    for (int i = 0; i < 3000; ++i)
        noise += char((i * 131 + 7) % 256);
    QByteArray manyNames = "Climora dice statistics 1\ngames 1\ntable 65 0 0 0 260 0 0 0 0 0\n";
    for (int n = 0; n < 65; ++n)
        manyNames += "name 1 0 0 0 4 0 0 0 0 0 p" + QByteArray::number(n) + "\n";
    manyNames += "end\n";

    const struct {
        const char* what;
        QByteArray bytes;
        const char* reason;
    } cases[] = {
        {"arbitrary bytes", noise, "not a dice statistics file"},
        {"empty", "", "not a dice statistics file"},
        {"another version", changed("statistics 1", "statistics 2"), "form"},
        {"truncated", goodFile.left(goodFile.size() - 9), "line 4"},
        {"without its end", goodFile.left(goodFile.size() - 4), "ends early"},
        {"text after the end", goodFile + "games 3\n", "after its end"},
        {"huge count", changed("games 2", "games 9007199254740993"), "too large"},
        {"count past 64 bits", changed("games 2", "games 99999999999999999999999"), "too large"},
        {"negative number", changed("name 2 1", "name -2 1"), "negative"},
        {"busts beyond rolls", changed("table 3 1", "table 3 4"), "do not agree"},
        {"faces not four per roll", changed("1 1 1 1 4 4", "1 1 1 1 4 5"), "do not agree"},
        {"odds beyond the rolls", changed("104 0", "2593 0"), "do not agree"},
        {"players beyond the table", changed("end\n", "name 2 0 0 0 0 0 0 0 4 4 Bo\nend\n"),
         "exceed"},
        {"a name twice", changed("end\n", "name 0 0 0 0 0 0 0 0 0 0 Ann\nend\n"), "before"},
        {"an empty name", changed(" Ann\n", " \n"), "cannot be one"},
        {"a name too long", changed(" Ann\n", " " + QByteArray(25, 'a') + "\n"), "cannot be one"},
        {"bad UTF-8 in a name", changed(" Ann\n", " %FF%FE\n"), "cannot be one"},
        {"more than 64 names", manyNames, "more than 64"},
        {"too large a file", goodFile + QByteArray(StatsStore::maxFileSize, ' '), "larger"},
        {"a spare field", changed("games 2", "games 2 2"), "line 2"},
        {"a letter for a digit", changed("table 3", "table 3x"), "not a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path + ".bad");
        writeAll(path, c.bytes);
        FakePrompter told;
        StatsStore store(told, path);
        EXPECT_EQ(store.totals(), DiceRecord());
        ASSERT_EQ(told.messages.size(), 1);
        EXPECT_TRUE(told.messages.first().contains(c.reason))
            << told.messages.first().toStdString();
        EXPECT_TRUE(told.messages.first().contains("start afresh"));
        EXPECT_EQ(readAll(path + ".bad"), c.bytes);
        EXPECT_FALSE(QFile::exists(path));

        store.addGame(sampleGame());
        EXPECT_EQ(told.messages.size(), 1);
        DiceRecord again;
        QString error;
        EXPECT_TRUE(StatsStore::parse(readAll(path), again, error)) << error.toStdString();
        EXPECT_EQ(again, sampleGame());
        EXPECT_EQ(readAll(tallyPath), tally);
    }
}

// A folder that cannot be written to: one message, however many games end,
// and this run's games still count.
TEST_F(StatsStoreTest, AnUnwritableFolderIsToldOnceAndTheGamesStillCount) {
    const QString notAFolder = folder.filePath("plain-file");
    writeAll(notAFolder, "x");
    StatsStore store(prompter, notAFolder + "/" + StatsStore::fileName);
    store.addGame(sampleGame());
    store.addGame(sampleGame());
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages.first().contains("could not be saved"));
    EXPECT_EQ(store.totals().games(), 2u);
    EXPECT_EQ(readAll(tallyPath), tally);
}
