#include "client/GameLog.h"
#include "client/BoardGeometry.h"
#include "client/GameLogWindow.h"
#include "client/GameMessages.h"
#include "client/SaveFileChooser.h"
#include "client/TableModel.h"
#include "protocol/Commands.h"
#include "support/FakeClientServices.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QListView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

class AnsweringChooser : public SaveFileChooser {
public:
    QString saveFileName(QWidget*, const QString&, const QString&) override { return answer; }
    QString answer;
};

class GameLogTest : public ::testing::Test {
protected:
    GameLogTest() : game(services, services, services, services, model), log(model) {
        log.follow(game);
    }

    void login(int seat, const QString& name) {
        model.setOwnSeat(seat);
        model.seatArrived(seat, name);
    }
    QByteArray args(const QByteArray& message) const { return cmd::split(message).args; }
    static PlaceItem used(int die) { return {PlaceItem::Kind::DieUsed, {}, die}; }
    static PlaceItem marker(int column, int position) {
        return {PlaceItem::Kind::Marker, {column, position, TableModel::marker, 0}, 0};
    }

    FakeClientServices services;
    TableModel model;
    GameMessages game;
    GameLog log;
};

TEST_F(GameLogTest, AShortGameReadsAsOneLinePerEvent) {
    login(1, "Ann");
    model.seatArrived(3, "Bob<b>");
    game.startthegame(args(cmd::startgame_("Ann", "0")));
    game.getnextplayer(args(cmd::nextplayer_(1)));
    game.rolldice(args(cmd::rolldice_(1, true, {1, 4, 2, 5})));
    game.placechip(args(cmd::placechipResult_(1, {marker(5, 0), used(0), used(2)})));
    const int top = board::columnTop(11);
    game.endturn(args(cmd::endturnResult_(1, "p", {{{11, top, 1, 0}, top}, {{5, 0, 1, 0}, 0}})));
    game.getnextplayer(args(cmd::nextplayer_(3)));
    game.rolldice(args(cmd::rolldice_(3, false, {0, 0, 0, 0})));
    game.endturn(args(cmd::endturnResult_(3, "f", {})));
    model.setWatching(3, true);
    model.setWatching(3, false);
    model.seatLeft(3);
    game.winner(args(cmd::winner_("Ann")));
    game.winner(args(cmd::winner_("Ann"))); // a second winner for the same game counts nothing

    EXPECT_EQ(log.lines(), QStringList({
                               "Ann joined",
                               "Bob<b> joined",
                               "Ann started a game",
                               "Your turn",
                               "You rolled 2 5 3 6",
                               "You placed 2+3 on column 5",
                               "You ended the turn and kept the progress",
                               "You completed column 11",
                               "Bob<b>'s turn",
                               "Bob<b> rolled 1 1 1 1",
                               "Nothing fits Bob<b>'s roll",
                               "Bob<b>'s turn is over: the progress is lost",
                               "Bob<b> just watches",
                               "Bob<b> plays again",
                               "Bob<b> left",
                               "You have won the game",
                           }));
}

// The server lists every die used since the roll; a second placement names
// only its own pair, with the faces as rolled.
TEST_F(GameLogTest, ASecondPlacementOfARollNamesOnlyItsOwnPair) {
    login(1, "Ann");
    model.seatArrived(3, "Bob");
    game.startthegame(args(cmd::startgame_("Ann", "0")));
    game.getnextplayer(args(cmd::nextplayer_(3)));
    game.rolldice(args(cmd::rolldice_(3, true, {0, 1, 2, 3})));
    game.placechip(args(cmd::placechipResult_(3, {marker(3, 0), used(0), used(1)})));
    game.placechip(
        args(cmd::placechipResult_(3, {marker(7, 0), used(0), used(1), used(2), used(3)})));
    const QStringList lines = log.lines();
    EXPECT_EQ(lines.mid(lines.size() - 4),
              QStringList({"Bob's turn", "Bob rolled 1 2 3 4", "Bob placed 1+2 on column 3",
                           "Bob placed 3+4 on column 7"}));
}

TEST_F(GameLogTest, AMessageTheModelRefusesLeavesNoLine) {
    login(1, "Ann");
    game.startthegame(args(cmd::startgame_("Ann", "0")));
    const int before = log.lineCount();
    EXPECT_ANY_THROW(game.getnextplayer(args(cmd::nextplayer_(7))));
    EXPECT_ANY_THROW(game.placechip(args(cmd::placechipResult_(1, {marker(13, 0)}))));
    EXPECT_EQ(log.lineCount(), before);
}

TEST_F(GameLogTest, ALatecomerStartsWithTheBoardAsItStood) {
    model.seatArrived(1, "Ann");
    model.seatArrived(3, "Bob");
    model.setScore(1, 2);
    model.setScore(3, 1);
    login(6, "Cid");
    const QList<msg::DieState> dice = {{0, 1, true}, {1, 2, true}, {2, 3, true}, {3, 4, true}};
    // Meant for another newcomer: nothing to log.
    game.gamestats(args(cmd::gamestats_(7, 3, "0", dice, {})));
    game.gamestats(args(cmd::gamestats_(6, 3, "0", dice, {{7, 0, 1, 0}})));

    EXPECT_EQ(log.lines(), QStringList({"Ann is at the table", "Bob is at the table", "Cid joined",
                                        "Joined during a game: Bob's turn; scores: Ann 2, Bob 1"}));
}

TEST_F(GameLogTest, KeepsTheNewestTenThousandLinesInTheLogAndTheWindow) {
    FakePrompter prompts;
    GameLogWindow window(log, prompts);
    for (int n = 0; n <= GameLog::maxLines; ++n)
        log.append(QString("line %1").arg(n));

    EXPECT_EQ(log.lineCount(), GameLog::maxLines);
    EXPECT_EQ(log.lines().first(), "line 1");
    EXPECT_EQ(log.lines().last(), "line 10000");
    const QAbstractItemModel* shown = window.view()->model();
    EXPECT_EQ(shown->rowCount(), GameLog::maxLines);
    EXPECT_EQ(shown->index(0, 0).data().toString(), "line 1");
    EXPECT_EQ(shown->index(GameLog::maxLines - 1, 0).data().toString(), "line 10000");
}

TEST_F(GameLogTest, CopyTakesTheSelectedLinesInTheirOrderOrElseTheWholeLog) {
    FakePrompter prompts;
    GameLogWindow window(log, prompts);
    for (const char* line : {"Ann's turn", "Ann rolled 1 2 3 4", "Ann placed 1+2 on column 3"})
        log.append(line);

    window.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "Ann's turn\nAnn rolled 1 2 3 4\nAnn placed 1+2 on column 3\n");

    QItemSelectionModel* selection = window.view()->selectionModel();
    selection->select(log.index(2), QItemSelectionModel::Select);
    selection->select(log.index(0), QItemSelectionModel::Select);
    window.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Ann's turn\nAnn placed 1+2 on column 3\n");
}

TEST_F(GameLogTest, SaveAsWritesThePlainTextAndAFailedSaveKeepsTheOldFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("log.txt");
    FakePrompter prompts;
    AnsweringChooser chooser;
    GameLogWindow window(log, prompts, nullptr, &chooser);
    log.append("Ann<i> joined");
    log.append("Ann's turn");

    chooser.answer = ""; // cancelled: nothing written
    window.saveAs();
    EXPECT_FALSE(QFile::exists(path));

    chooser.answer = path;
    window.saveAs();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "Ann<i> joined\nAnn's turn\n");
    saved.close();

    // The disk fills up while the longer log is written.
    for (int n = 0; n < 2000; ++n)
        log.append(QString("Ann rolled 1 2 3 %1").arg(n % 6 + 1));
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = window.saveTo(path);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages.first().startsWith("Could not save the game log to "));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "Ann<i> joined\nAnn's turn\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"log.txt"}));
}

} // namespace
