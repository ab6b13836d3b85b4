#include "social/IniFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <unistd.h>

namespace {

class IniFileOnDisk : public ::testing::Test {
protected:
    QString path(const QString& name = "orvanelobby.ini") const { return m_dir.filePath(name); }
    void put(const QByteArray& content, const QString& name = "orvanelobby.ini") const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray get(const QString& name = "orvanelobby.ini") const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QTemporaryDir m_dir;
};

const QByteArray lobbyFile = "; written by hand\r\n"
                             "[Lobby]\r\n"
                             "Name=Mara\r\n"
                             "Textsize=99\r\n"
                             "\r\n"
                             "[climora]\r\n"
                             "TEXTSIZE = 8\r\n"
                             "Top=3\r\n"
                             "\r\n"
                             "[Other]\r\n"
                             "x=1\r\n";

} // namespace

TEST_F(IniFileOnDisk, NamesMatchWithoutCaseAndMissingKeysGiveTheDefault) {
    put(lobbyFile);
    const IniFile ini(path());
    EXPECT_EQ(ini.readInteger("Climora", "Textsize", 10), 8);
    EXPECT_EQ(ini.readString("CLIMORA", "top", "?"), "3");
    EXPECT_EQ(ini.readString("Climora", "Name", "none"), "none"); // another section's key
    EXPECT_EQ(ini.readString("Nowhere", "Top", "none"), "none");
    EXPECT_EQ(ini.readInteger("Lobby", "Textsize", 1), 99);
    EXPECT_EQ(IniFile(path("absent.ini")).readString("Climora", "Top", "dflt"), "dflt");
    EXPECT_FALSE(QFile::exists(path("absent.ini")));
}

TEST(IniFileText, FirstSectionAndKeyCountAndCommentsAreSkipped) {
    const QByteArray text = "\xEF\xBB\xBF[A]\n"
                            "k = first  \n"
                            ";k=comment\n"
                            "k=second\n"
                            "[a]\n"
                            "j=later section\n"
                            "[B\n"
                            "k=unclosed header\n"
                            "[C] trailing words\n"
                            "v=\xE9t\xE9\n"
                            "u=\xC3\xA9t\xC3\xA9\n";
    EXPECT_EQ(IniFile::lookup(text, "a", "K"), QString("first"));
    EXPECT_EQ(IniFile::lookup(text, "A", "j"), std::nullopt);
    EXPECT_EQ(IniFile::lookup(text, "B", "k"), QString("unclosed header"));
    EXPECT_EQ(IniFile::lookup(text, "c", "v"), QString::fromUtf8("\xC3\xA9t\xC3\xA9"));
    EXPECT_EQ(IniFile::lookup(text, "c", "u"), QString::fromUtf8("\xC3\xA9t\xC3\xA9"));
}

TEST(IniFileText, IntegersAreDecimalOrDollarOrZeroXHexadecimal) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"12", 12},
        {" 42 ", 42},
        {"-7", -7},
        {"+3", 3},
        {"$1F", 31},
        {"0x1f", 31},
        {"0X1F", 31},
        {"$FFFFFFFF", -1},
        {"-$10", -16},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", -5},
        {"$100000000", -5},
        {"abc", -5},
        {"12abc", -5},
        {"", -5},
        {"0x", -5},
        {"$", -5},
        {"1e3", -5},
        {"0xG1", -5},
        {"3.5", -5},
        {"- 4", -5},
        {"99999999999999999999", -5},
        {"\xD9\xA3", -5}, // a digit of another script
    };
    for (const auto& c : cases)
        EXPECT_EQ(IniFile::parseInteger(QString::fromUtf8(c.text)).value_or(-5), c.value) << c.text;
}

// A write changes the one line and keeps every other byte as it was.
TEST_F(IniFileOnDisk, WritesTouchOnlyTheirLine) {
    put(lobbyFile);
    IniFile ini(path());
    ASSERT_TRUE(ini.writeInteger("Climora", "textsize", 11));
    QByteArray expected = lobbyFile;
    expected.replace("TEXTSIZE = 8", "TEXTSIZE = 11");
    EXPECT_EQ(get(), expected);

    ASSERT_TRUE(ini.writeString("Climora", "Phrase1", "Nice roll"));
    expected.replace("Top=3\r\n", "Top=3\r\nPhrase1=Nice roll\r\n");
    EXPECT_EQ(get(), expected);

    ASSERT_TRUE(ini.writeString("Sounds", "On", "true"));
    expected += "\r\n[Sounds]\r\nOn=true\r\n";
    EXPECT_EQ(get(), expected);
    EXPECT_EQ(ini.readString("sounds", "ON", ""), "true");
    EXPECT_EQ(ini.readInteger("Lobby", "Textsize", 0), 99);
}

TEST(IniFileText, LineEndingsAndMissingLastNewlineAreKept) {
    EXPECT_EQ(IniFile::withValue("[S]\na=1\n\n[T]\nb=2", "s", "c", "3"),
              "[S]\na=1\nc=3\n\n[T]\nb=2");
    EXPECT_EQ(IniFile::withValue("[S]\na=1\n\n[T]\nb=2", "T", "c", "3"),
              "[S]\na=1\n\n[T]\nb=2\nc=3");
    EXPECT_EQ(IniFile::withValue("[S]\r\na=1", "T", "c", "3"), "[S]\r\na=1\r\n\r\n[T]\r\nc=3\r\n");
    EXPECT_EQ(IniFile::withValue("[S]", "S", "c", "3"), "[S]\nc=3");
    EXPECT_EQ(IniFile::withValue("", "S", "c", "3"), "[S]\nc=3\n");
    EXPECT_EQ(IniFile::withValue("[S]\r\na=1\r\n", "S", "A", "x\r\ny"), "[S]\r\na=x  y\r\n");
    EXPECT_EQ(IniFile::withValue("[S]\na\t=\t1 \n", "S", "a", ""), "[S]\na\t=\t\n");
}

// A value with blanks at its start (a phrase typed as " gg") reads back
// without them; saving it again and again must not grow its line.
TEST(IniFileText, RewritingAValueWithLeadingBlanksChangesNothing) {
    QByteArray text = "[S]\nkeep = 1\n";
    for (int save = 0; save < 3; ++save) {
        text = IniFile::withValue(text, "S", "phrase", " \t gg ");
        EXPECT_EQ(text, "[S]\nkeep = 1\nphrase=gg \n") << save;
        EXPECT_EQ(IniFile::lookup(text, "S", "phrase"), QString("gg"));
    }
    EXPECT_EQ(IniFile::withValue(text, "S", "keep", "  2"), "[S]\nkeep = 2\nphrase=gg \n");
    EXPECT_EQ(IniFile::withValue("", "S", "k", "\r\nT"), "[S]\nk=T\n");
}

TEST_F(IniFileOnDisk, AFailedWriteLeavesTheFileAsItWas) {
    IniFile nowhere(m_dir.filePath("missing/folder/x.ini"));
    EXPECT_FALSE(nowhere.writeString("S", "k", "v"));
    EXPECT_FALSE(QDir(m_dir.filePath("missing")).exists());

    put(lobbyFile);
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QFile::setPermissions(path(), QFile::ReadOwner);
    const bool enforced = access(QFile::encodeName(m_dir.path()).constData(), W_OK) != 0;
    IniFile ini(path());
    const bool written = ini.writeString("Climora", "Top", "7");
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);
    if (!enforced)
        GTEST_SKIP() << "permissions do not stop this user from writing";
    EXPECT_FALSE(written);
    EXPECT_EQ(get(), lobbyFile);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"orvanelobby.ini"});
}

// Whatever bytes the file holds, a write is read back and nothing breaks.
TEST(IniFileText, ArbitraryContentSurvivesWritesAndReads) {
    std::mt19937 rng(8);
    const char alphabet[] = "[]=;#\r\n \tabkKS\xEF\xBB\xBF\x00\xFF";
    for (int round = 0; round < 2000; ++round) {
        QByteArray content;
        const int length = int(rng() % 200);
        for (int i = 0; i < length; ++i)
            content += round % 3 ? alphabet[rng() % (sizeof alphabet - 1)] : char(rng());
        const QString section = round % 2 ? "S" : "s";
        const QString value = QString::number(rng() % 1000);
        const QByteArray changed = IniFile::withValue(content, section, "k", value);
        ASSERT_EQ(IniFile::lookup(changed, "S", "K"), value) << content.toHex().constData();
        ASSERT_EQ(IniFile::withValue(changed, "S", "k", value), changed);
        // Other keys read as before.
        ASSERT_EQ(IniFile::lookup(changed, "b", "a"), IniFile::lookup(content, "b", "a"));
    }
}

TEST(IniFileText, LargeFilesTakeLinearTime) {
    QByteArray big;
    for (int i = 0; i < 300000; ++i)
        big += "[S" + QByteArray::number(i % 7) + "]\nkey" + QByteArray::number(i) + "=v\n";
    big += QByteArray(2'000'000, '[');
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(IniFile::lookup(big, "S3", "missing"), std::nullopt);
    EXPECT_EQ(IniFile::lookup(IniFile::withValue(big, "S3", "new", "1"), "s3", "NEW"),
              QString("1"));
    EXPECT_LT(clock.elapsed(), 10000);
}
