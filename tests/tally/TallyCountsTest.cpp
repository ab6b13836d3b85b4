#include "tally/TallyCounts.h"
#include "tally/TallyStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>

namespace {

QStringList rowOf(const TallyCounts& counts, int row) {
    QStringList cells;
    for (int col = 0; col < TallyCounts::Columns; ++col)
        cells << counts.table().cell(col, row);
    return cells;
}

std::string shown(const QStringList& cells) {
    return cells.join('|').toStdString();
}

} // namespace

// Who won decides which of the four counters of a followed player moves,
// all time and this session alike; players not followed, and followed
// players not at the table, are left alone.
TEST(TallyCounts, GameMovesTheCountersOfWhoWonForFollowedPlayersAtTheTable) {
    struct Case {
        const char* what;
        QString winner;
        const char* ownTotals; // games|wins
        const char* ann;       // Ann's row after the game
    };
    const Case cases[] = {
        {"the local player won", TallyCounts::Mine, "1|1", "Ann|1|0|1|0|1|0|1|0"},
        {"Ann won", "Ann", "1|0", "Ann|1|1|0|0|1|1|0|0"},
        {"a player not followed won", "Klot", "1|0", "Ann|1|0|0|1|1|0|0|1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TallyCounts counts;
        ASSERT_TRUE(counts.follow("Ann"));
        ASSERT_TRUE(counts.follow("Bo"));
        counts.addGame(c.winner, {"ann", "Klot"});
        EXPECT_EQ(shown(rowOf(counts, 0).mid(1, 2)), c.ownTotals);
        // Names match without regard to case, but the row keeps its own.
        EXPECT_EQ(shown(rowOf(counts, 1)), c.ann);
        EXPECT_EQ(shown(rowOf(counts, 2)), "Bo|0|0|0|0|0|0|0|0");
        EXPECT_EQ(counts.table().rowCount(), 3);
    }
}

TEST(TallyCounts, FollowingAddsOneZeroedRowPerNameWhateverItsCase) {
    TallyCounts counts;
    EXPECT_TRUE(counts.follow("Ann"));
    EXPECT_FALSE(counts.follow("ANN"));
    EXPECT_TRUE(counts.follow("Bo"));
    EXPECT_EQ(counts.followed(), QStringList({"Ann", "Bo"}));
    EXPECT_EQ(counts.rowOf("bo"), 2);
    EXPECT_EQ(counts.rowOf("Cy"), -1);
    EXPECT_EQ(shown(rowOf(counts, 2)), "Bo|0|0|0|0|0|0|0|0");

    // Removing a row moves the later ones up; the own row cannot go.
    EXPECT_FALSE(counts.removeRow(0));
    EXPECT_TRUE(counts.removeRow(1));
    EXPECT_EQ(counts.followed(), QStringList({"Bo"}));
    EXPECT_FALSE(counts.removeRow(2));
}

// Counters come from a file the player may have edited: what is not a
// number counts from 0, and the largest number does not wrap to a negative.
TEST(TallyCounts, CountersThatAreNoNumberOrAtTheTopStayUsable) {
    TallyCounts counts;
    counts.follow("Ann");
    counts.table().setCell(1, 1, "");
    counts.table().setCell(2, 1, "lots");
    counts.table().setCell(5, 1, QString::number(INT_MAX));
    counts.addGame("Ann", {"Ann"});
    EXPECT_EQ(shown(rowOf(counts, 1)), "Ann|1|1|0|0|2147483647|1|0|0");
    EXPECT_EQ(counts.addit(9, 0), 0);
    EXPECT_EQ(counts.addit(1, 2), 0);
}

TEST(TallyCounts, SessionClearsOnlyTheSinceStartCountersAndResetForgetsEveryone) {
    TallyCounts counts;
    counts.follow("Ann");
    counts.addGame(TallyCounts::Mine, {"Ann"});
    counts.clearSession();
    EXPECT_EQ(shown(rowOf(counts, 1)), "Ann|1|0|1|0|0|0|0|0");
    EXPECT_EQ(shown(rowOf(counts, 0).mid(1, 2)), "1|1");
    counts.reset();
    EXPECT_EQ(counts.table().rowCount(), 1);
    EXPECT_TRUE(counts.followed().isEmpty());
    EXPECT_EQ(counts.table().cell(1, 0).toInt(), 0);
}

// What is written is read back cell for cell, odd names and empty cells
// included; a file of another shape is refused with the player's message and
// leaves the table as it was.
TEST(TallyStore, RoundTripKeepsTheTableAndAForeignShapeIsRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Climoratally.tld");
    TallyCounts counts;
    counts.follow(QString::fromUtf8("Zoë <b>"));
    counts.follow("Bo");
    counts.addGame("Bo", {"Bo", QString::fromUtf8("ZOË <B>")});
    counts.table().setCell(4, 2, "");
    TallyStore file(path, TallyCounts::Columns);
    ASSERT_TRUE(file.write(counts.table()));

    TallyCounts reread;
    QString error;
    TallyStore again(path, TallyCounts::Columns);
    ASSERT_TRUE(again.read(reread.table(), error)) << error.toStdString();
    EXPECT_EQ(reread.table().toText(), counts.table().toText());

    TallyCounts other;
    TallyStore narrower(path, TallyCounts::Columns + 1);
    EXPECT_FALSE(narrower.read(other.table(), error));
    EXPECT_EQ(error,
              "The tally file " + path + " could not be read: it holds 9 columns instead of 10.");
    EXPECT_EQ(other.table().toText(), TallyCounts().table().toText());
}
