#include "tally/TStringGrid.h"
#include "tally/EGridException.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(StringGrid, TextIsCountsThenCellsColumnByColumn) {
    TStringGrid grid;
    grid.setColCount(2);
    grid.setRowCount(3);
    grid.setCell(0, 0, "a");
    grid.setCell(1, 0, "b");
    grid.setCell(0, 2, "Zoë");
    grid.setCell(1, 1, "two\r\nlines");
    grid.setCell(5, 5, "outside");
    EXPECT_EQ(grid.cell(5, 5), "");
    EXPECT_EQ(grid.toText(), "2\r\n3\r\na\r\n\r\nZo\xC3\xAB\r\nb\r\ntwo  lines\r\n\r\n");

    QTemporaryDir dir;
    grid.SaveToFile(dir.filePath("g.txt"));
    TStringGrid back;
    back.LoadFromFile(dir.filePath("g.txt"));
    EXPECT_EQ(back.toText(), grid.toText());
    EXPECT_EQ(back.cell(0, 2), "Zoë");

    back.deleteRow(1);
    EXPECT_EQ(back.rowCount(), 2);
    EXPECT_EQ(back.cell(0, 1), "Zoë");
    back.deleteRow(0);
    back.deleteRow(0);
    EXPECT_EQ(back.rowCount(), 1);
}

TEST(StringGrid, OtherLineEndsAndEightBitTextAreRead) {
    TStringGrid grid;
    grid.fromText("1\n2\nKlot\nRen\xE9");
    EXPECT_EQ(grid.colCount(), 1);
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.cell(0, 1), QString::fromLatin1("Ren\xE9"));
    grid.fromText("1\r\n1\r\n\r\nextra lines are ignored\r\n");
    EXPECT_EQ(grid.cell(0, 0), "");
}

TEST(StringGrid, MalformedTextIsRefusedAndTheGridKept) {
    TStringGrid grid;
    grid.fromText("1\r\n1\r\nkept\r\n");
    const QByteArray bad[] = {"",
                              "x\r\n1\r\n",
                              "1",
                              "1\r\n0\r\n",
                              "2\r\n2\r\na\r\nb\r\nc\r\n",
                              "100000\r\n100000\r\n",
                              "-3\r\n1\r\n"};
    for (const QByteArray& text : bad) {
        EXPECT_THROW(grid.fromText(text), EGridException) << text.constData();
        EXPECT_EQ(grid.toText(), "1\r\n1\r\nkept\r\n");
    }
    QTemporaryDir dir;
    EXPECT_THROW(grid.LoadFromFile(dir.filePath("none.txt")), EGridException);
    EXPECT_THROW(grid.SaveToFile(dir.filePath("no/such/g.txt")), EGridException);
}
