#include "social/Settings.h"
#include "social/SettingsLocation.h"
#include "social/SettingsTarget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>
#include <unistd.h>

static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
static void PrintTo(const QRect& r, std::ostream* out) {
    *out << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

namespace {

const QStringList builtinPhrases{"Way To Go!", "Good One!", "Nice Try!", "Excellent!", "Brilliant!",
                                 "Wow, WTG!",  "Thanks!",   "Phrase 8",  "Phrase 9"};

// The main window as the settings see it, starting from values that differ
// from every file default so that each applied key shows.
class FakeTarget : public SettingsTarget {
public:
    int textSize() const override { return size; }
    void setTextSize(int points) override { size = points; }
    QString textColourText() const override { return colour; }
    bool setTextColourText(const QString& text) override {
        colourCalls << text;
        static const QRegularExpression readable("^(cl[a-z0-9]+|\\$[0-9a-f]+|-?[0-9]+)$",
                                                 QRegularExpression::CaseInsensitiveOption);
        if (!readable.match(text).hasMatch())
            return false;
        colour = text;
        return true;
    }
    int useAll() const override { return useAllBox; }
    void setUseAll(int value) override { useAllBox = value; }
    int botSpeed() const override { return bot; }
    void setBotSpeed(int tag) override { bot = tag; }
    int turnSound() const override { return turn; }
    void setTurnSound(int tag) override { turn = tag; }
    QString phrase(int n) const override { return phrases.value(n - 1); }
    void setPhrase(int n, const QString& text) override { phrases[n - 1] = text; }
    bool playSounds() const override { return sounds; }
    void setPlaySounds(bool on) override { sounds = on; }
    bool playerPhraseSounds() const override { return phraseSounds; }
    void setPlayerPhraseSounds(bool on) override { phraseSounds = on; }
    bool turnAlertFlash() const override { return flash; }
    void setTurnAlertFlash(bool on) override { flash = on; }
    bool turnAlertNotify() const override { return notify; }
    void setTurnAlertNotify(bool on) override { notify = on; }
    BotLevel computerLevel() const override { return level; }
    void setComputerLevel(BotLevel chosen) override { level = chosen; }
    QRect windowBounds() const override { return bounds; }
    void setWindowBounds(const QRect& rect) override {
        bounds = rect;
        ++boundsSet;
    }
    QRect workArea() const override { return area; }

    int size = 10;
    QString colour = "clRed";
    QStringList colourCalls;
    int useAllBox = 1;
    int bot = 750;
    int turn = 1;
    QStringList phrases = builtinPhrases;
    bool sounds = false;
    bool phraseSounds = false;
    bool flash = false;
    bool notify = false;
    BotLevel level = BotLevel::Strong;
    QRect bounds{100, 100, 640, 480};
    int boundsSet = 0;
    QRect area{0, 0, 1920, 1050};
};

class SettingsFile : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath("orvanelobby.ini"); }
    void write(const QByteArray& text) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray contents() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The "key=value" lines of the section, blanks around "=" dropped.
    QStringList sectionLines() const {
        QStringList lines;
        bool inside = false;
        for (QString line : QString::fromUtf8(contents()).split('\n')) {
            line = line.trimmed();
            if (line.startsWith('['))
                inside = line.compare("[Climora]", Qt::CaseInsensitive) == 0;
            else if (inside && line.contains('='))
                lines << line.section('=', 0, 0).trimmed() + "=" + line.section('=', 1).trimmed();
        }
        return lines;
    }
    // Loads a section made of the given lines into a fresh target.
    FakeTarget loaded(const QByteArray& lines) {
        write("[Climora]\n" + lines + "\n");
        FakeTarget target;
        Settings(target, path()).loadinifile();
        return target;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(SettingsFile, MissingFileGivesTheFirstLoginDefaults) {
    FakeTarget target;
    Settings settings(target, path());
    settings.loadinifile();
    EXPECT_EQ(target.size, 8);
    EXPECT_EQ(target.colour.toLower(), "clblack");
    EXPECT_EQ(target.bot, 400);
    EXPECT_EQ(target.turn, 0);
    EXPECT_EQ(target.useAllBox, 0);
    EXPECT_TRUE(target.sounds);
    EXPECT_TRUE(target.phraseSounds);
    EXPECT_TRUE(target.flash);
    EXPECT_TRUE(target.notify);
    EXPECT_EQ(target.phrases, builtinPhrases);
    EXPECT_EQ(target.bounds, QRect(3, 3, 772, 535));
    EXPECT_EQ(settings.recordedBounds(), QRect(3, 3, 772, 535));
    EXPECT_FALSE(QFile::exists(path())) << "reading must not create the file";
}

TEST_F(SettingsFile, BotSpeedAndTurnSoundMatchTheirTextExactly) {
    const std::pair<const char*, int> speeds[] = {{"1000", 1000}, {"400", 400},  {"750", 750},
                                                  {"fast", 750},  {"Fast", 750}, {"$190", 750},
                                                  {"0400", 750}};
    for (const auto& [text, tag] : speeds)
        EXPECT_EQ(loaded(QByteArray("Botspeed=") + text).bot, tag) << text;

    const std::pair<const char*, int> turns[] = {
        {"1", 1}, {"0", 0}, {"01", 0}, {"New", 0}, {"2", 0}};
    for (const auto& [text, tag] : turns)
        EXPECT_EQ(loaded(QByteArray("Turnsound=") + text).turn, tag) << text;
}

TEST_F(SettingsFile, ComputerLevelIsStrongOnlyWhenTheFileSaysSo) {
    struct Case {
        QByteArray line;
        BotLevel level;
    } cases[] = {
        {"Computerlevel=strong", BotLevel::Strong},   {"Computerlevel=STRONG", BotLevel::Strong},
        {"Computerlevel=classic", BotLevel::Classic}, {"Computerlevel=expert", BotLevel::Classic},
        {"Computerlevel=", BotLevel::Classic},        {"", BotLevel::Classic},
    };
    for (const Case& c : cases)
        EXPECT_EQ(loaded(c.line).level, c.level) << c.line.constData();
}

TEST_F(SettingsFile, SoundOptionsAreOffOnlyForLowerCaseFalse) {
    const std::pair<const char*, bool> values[] = {
        {"false", false}, {"FALSE", true}, {"False", true}, {"true", true}, {"0", true}};
    for (const auto& [text, on] : values) {
        const FakeTarget all =
            loaded(QByteArray("Playsounds=") + text + "\nPlayerphrasesounds=" + text +
                   "\nTurnalert=" + text + "\nTurnnotify=" + text);
        EXPECT_EQ(all.sounds, on) << text;
        EXPECT_EQ(all.phraseSounds, on) << text;
        EXPECT_EQ(all.flash, on) << text;
        EXPECT_EQ(all.notify, on) << text;
    }
    const FakeTarget mixed =
        loaded("Playsounds=true\nPlayerphrasesounds=false\nTurnalert=false\nTurnnotify=true");
    EXPECT_TRUE(mixed.sounds);
    EXPECT_FALSE(mixed.phraseSounds);
    EXPECT_FALSE(mixed.flash);
    EXPECT_TRUE(mixed.notify);
}

TEST_F(SettingsFile, TextSizeIsAppliedAsReadAndUnusableSizesGiveEight) {
    const std::pair<const char*, int> sizes[] = {{"11", 11}, {"14", 14}, {"$C", 12},   {"abc", 8},
                                                 {"0", 8},   {"-3", 8},  {"100000", 8}};
    for (const auto& [text, points] : sizes)
        EXPECT_EQ(loaded(QByteArray("Textsize=") + text).size, points) << text;
}

TEST_F(SettingsFile, UnreadableColourGivesBlack) {
    const FakeTarget bad = loaded("Textcolor=not a colour");
    EXPECT_EQ(bad.colourCalls, QStringList({"not a colour", "clBlack"}));
    EXPECT_EQ(bad.colour, "clBlack");

    const FakeTarget blue = loaded("Textcolor=clBlue");
    EXPECT_EQ(blue.colourCalls, QStringList({"clBlue"}));
}

TEST_F(SettingsFile, BoundsAndUseAllAreReadAndTheBoundsRecorded) {
    write("[Climora]\nTop=10\nLeft=20\nWidth=800\nHeight=600\nUseall=1\n");
    FakeTarget target;
    target.useAllBox = 0;
    Settings settings(target, path());
    settings.loadinifile();
    EXPECT_EQ(target.bounds, QRect(20, 10, 800, 600));
    EXPECT_EQ(settings.recordedBounds(), QRect(20, 10, 800, 600));
    EXPECT_EQ(target.useAllBox, 1);

    EXPECT_EQ(loaded("Left=50").bounds, QRect(50, 3, 772, 535));
}

TEST_F(SettingsFile, EmptySavedPhraseKeepsTheButtonsPhrase) {
    FakeTarget target = loaded("Phrase1=Hello\nPhrase2=\nPhrase9=/me waves");
    EXPECT_EQ(target.phrases[0], "Hello");
    EXPECT_EQ(target.phrases[1], "Good One!");
    EXPECT_EQ(target.phrases[8], "/me waves");

    // Cleared in the editor: saved empty, so the next login brings back the
    // built-in phrase.
    QStringList edited = builtinPhrases;
    edited[3] = "";
    Settings(target, path()).savePhrases(edited);
    FakeTarget next;
    Settings(next, path()).loadinifile();
    EXPECT_EQ(next.phrases[3], "Excellent!");
}

TEST_F(SettingsFile, SaveWritesEveryKeyButThePhrasesInOrder) {
    FakeTarget target;
    target.size = 12;
    target.bounds = QRect(40, 30, 900, 650);
    target.colour = "$00112233";
    target.bot = 1000;
    target.turn = 1;
    target.sounds = true;
    target.phraseSounds = false;
    target.flash = true;
    target.notify = false;
    Settings(target, path()).saveinifile();
    EXPECT_EQ(sectionLines(),
              QStringList({"Textsize=12", "Top=30", "Left=40", "Width=900", "Height=650",
                           "Useall=1", "Textcolor=$00112233", "Botspeed=1000", "Turnsound=1",
                           "Playerphrasesounds=false", "Playsounds=true", "Turnalert=true",
                           "Turnnotify=false", "Computerlevel=strong"}));

    FakeTarget back;
    Settings(back, path()).loadinifile();
    EXPECT_EQ(back.size, 12);
    EXPECT_EQ(back.bounds, target.bounds);
    EXPECT_EQ(back.colour, "$00112233");
    EXPECT_EQ(back.bot, 1000);
    EXPECT_EQ(back.turn, 1);
    EXPECT_FALSE(back.phraseSounds);
    EXPECT_TRUE(back.flash);
    EXPECT_FALSE(back.notify);
    EXPECT_EQ(back.level, BotLevel::Strong);
}

TEST_F(SettingsFile, SavePhrasesWritesNineOneLineTexts) {
    FakeTarget target;
    Settings(target, path()).savePhrases({"a", "", "b\nTextsize=99"});
    EXPECT_EQ(sectionLines(),
              QStringList({"Phrase1=a", "Phrase2=", "Phrase3=b Textsize=99", "Phrase4=", "Phrase5=",
                           "Phrase6=", "Phrase7=", "Phrase8=", "Phrase9="}));
}

TEST_F(SettingsFile, OtherSectionsKeysAndCommentsSurviveByteForByte) {
    const QByteArray before = "; lobby settings\n"
                              "[Lobby]\n"
                              "Name=Someone\n"
                              "Textsize=99\n"
                              "\n"
                              "[Climora]\n"
                              "; kept\n"
                              "Textsize=10\n"
                              "Top=5\nLeft=6\nWidth=800\nHeight=600\n"
                              "Extra=keep me\n"
                              "Useall=0\nTextcolor=clRed\nBotspeed=750\nTurnsound=0\n"
                              "Phrase1=Old\nPhrase2=\nPhrase3=\nPhrase4=\nPhrase5=\n"
                              "Phrase6=\nPhrase7=\nPhrase8=\nPhrase9=\n"
                              "Playerphrasesounds=true\nPlaysounds=true\n"
                              "[Other]\n"
                              "Top=1\n";
    write(before);
    FakeTarget target;
    Settings settings(target, path());
    settings.loadinifile();
    target.size = 14;
    target.bounds = QRect(7, 8, 900, 700);
    target.bot = 1000;
    target.sounds = false;
    settings.saveinifile();
    settings.savePhrases({"New"});
    QByteArray after = before;
    after.replace("Textsize=10", "Textsize=14")
        .replace("Top=5\nLeft=6\nWidth=800\nHeight=600", "Top=8\nLeft=7\nWidth=900\nHeight=700")
        .replace("Botspeed=750", "Botspeed=1000")
        .replace("Phrase1=Old", "Phrase1=New")
        .replace("Playsounds=true", "Playsounds=false")
        // Keys the file lacked are added at the end of the section.
        .replace("Playsounds=false\n",
                 "Playsounds=false\nTurnalert=true\nTurnnotify=true\nComputerlevel=classic\n");
    EXPECT_EQ(contents().toStdString(), after.toStdString());
}

TEST_F(SettingsFile, FileThatCannotBeUsedIsIgnoredSilently) {
    ASSERT_TRUE(QDir().mkpath(path())); // a folder where the file should be
    FakeTarget target;
    Settings settings(target, path());
    settings.loadinifile();
    settings.saveinifile();
    settings.savePhrases(builtinPhrases);
    EXPECT_EQ(target.size, 8);

    Settings nowhere(target, m_dir.filePath("missing/folder/orvanelobby.ini"));
    nowhere.saveinifile();
    nowhere.loadinifile();
    EXPECT_EQ(target.bot, 400);
}

TEST_F(SettingsFile, ClosingWithoutMovingWritesNothing) {
    const QByteArray text = "[Climora]\nTop=10\nLeft=20\nWidth=800\nHeight=600\nTextsize=12\n";
    write(text);
    FakeTarget target;
    Settings settings(target, path());
    settings.loadinifile();
    target.size = 14; // a preference change alone is saved by its own handler
    settings.closeWindow();
    EXPECT_EQ(contents(), text);

    // Without a file the defaults are the bounds recorded at load.
    Settings fresh(target, m_dir.filePath("none.ini"));
    fresh.loadinifile();
    fresh.closeWindow();
    EXPECT_FALSE(QFile::exists(m_dir.filePath("none.ini")));
}

TEST_F(SettingsFile, ClosingAfterAMoveSavesOnceAndRecordsTheBounds) {
    FakeTarget target;
    Settings settings(target, path());
    EXPECT_EQ(settings.recordedBounds(), QRect(0, 0, 0, 0));
    settings.loadinifile();
    target.bounds = QRect(50, 60, 780, 540);
    settings.closeWindow();
    EXPECT_EQ(settings.recordedBounds(), target.bounds);
    EXPECT_TRUE(sectionLines().contains("Left=50"));
    EXPECT_TRUE(sectionLines().contains("Top=60"));

    const QByteArray saved = contents();
    settings.closeWindow();
    EXPECT_EQ(contents(), saved);
}

TEST_F(SettingsFile, WindowLargerThanTheWorkAreaIsSaved15PixelsSmallerOnce) {
    struct Case {
        QSize window;
        QSize saved;
    };
    const Case cases[] = {{{1200, 800}, {1185, 785}},
                          {{1000, 700}, {1000, 700}},
                          {{1001, 500}, {986, 500}},
                          {{900, 701}, {900, 686}}};
    for (const Case& c : cases) {
        FakeTarget target;
        target.area = QRect(0, 30, 1000, 700);
        target.bounds = QRect(QPoint(0, 0), c.window);
        Settings settings(target, path());
        settings.closeWindow();
        const QRect expected(QPoint(0, 0), c.saved);
        EXPECT_EQ(target.bounds, expected) << c.window.width() << "x" << c.window.height();
        EXPECT_EQ(settings.recordedBounds(), expected);
        EXPECT_TRUE(sectionLines().contains(QString("Width=%1").arg(c.saved.width())));
        EXPECT_TRUE(sectionLines().contains(QString("Height=%1").arg(c.saved.height())));
    }
}

namespace {
SettingsLocation::Context contextIn(const QTemporaryDir& dir, bool exeWritable) {
    SettingsLocation::Context context;
    context.exeDir = dir.filePath("bin");
    context.home = dir.filePath("home");
    context.configHome = dir.filePath("config");
    context.dataHome = dir.filePath("data");
    context.writable = [exeWritable](const QString&) { return exeWritable; };
    return context;
}
} // namespace

TEST(SettingsLocation, WritableProgramFolderHoldsBothFiles) {
    QTemporaryDir dir;
    const auto context = contextIn(dir, true);
    EXPECT_EQ(SettingsLocation::iniPath(context), dir.filePath("bin/orvanelobby.ini"));
    EXPECT_EQ(SettingsLocation::tallyPath(context), dir.filePath("bin/Climoratally.tld"));

    // The test program's own folder is writable.
    EXPECT_EQ(SettingsLocation::iniPath(),
              QDir(QCoreApplication::applicationDirPath()).filePath("orvanelobby.ini"));
}

TEST(SettingsLocation, ReadOnlyProgramFolderFallsBackToTheUsersFolders) {
    QTemporaryDir dir;
    auto context = contextIn(dir, false);
    EXPECT_EQ(SettingsLocation::iniPath(context), dir.filePath("config/climora/orvanelobby.ini"));
    EXPECT_EQ(SettingsLocation::tallyPath(context), dir.filePath("data/climora/Climoratally.tld"));
    EXPECT_TRUE(QFileInfo(dir.filePath("config/climora")).isDir());
    EXPECT_TRUE(QFileInfo(dir.filePath("data/climora")).isDir());

    // Unset or relative XDG folders give the usual folders under home.
    context.configHome.clear();
    context.dataHome = "relative/data";
    EXPECT_EQ(SettingsLocation::iniPath(context),
              dir.filePath("home/.config/climora/orvanelobby.ini"));
    EXPECT_EQ(SettingsLocation::tallyPath(context),
              dir.filePath("home/.local/share/climora/Climoratally.tld"));
    EXPECT_TRUE(QFileInfo(dir.filePath("home/.local/share/climora")).isDir());
}

TEST(SettingsLocation, WritabilityIsProbedByCreatingAFile) {
    QTemporaryDir dir;
    EXPECT_TRUE(SettingsLocation::isWritableFolder(dir.path()));
    EXPECT_TRUE(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty())
        << "the probe must not stay behind";
    EXPECT_FALSE(SettingsLocation::isWritableFolder(dir.filePath("missing")));
    EXPECT_FALSE(SettingsLocation::isWritableFolder(QString()));

    const QString locked = dir.filePath("locked");
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (geteuid() != 0) { // permission bits do not stop the super user
        EXPECT_FALSE(SettingsLocation::isWritableFolder(locked));
    }
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
