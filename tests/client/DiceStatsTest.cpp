// The dice statistics: counted from the game's messages, bounded, and shown
// in their window.
#include "client/DiceStats.h"
#include "client/BoardGeometry.h"
#include "client/GameMessages.h"
#include "client/StatisticsWindow.h"
#include "client/StatsStore.h"
#include "client/TableModel.h"
#include "game/BustOdds.h"
#include "protocol/Commands.h"
#include "support/FakeClientServices.h"
#include "support/FakePrompter.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DiceStatsTest : public ::testing::Test {
protected:
    DiceStatsTest() : game(services, services, services, services, model), stats(model) {
        stats.follow(game);
    }

    void login(int seat, const QString& name) {
        model.setOwnSeat(seat);
        model.seatArrived(seat, name);
    }
    static QByteArray args(const QByteArray& message) { return cmd::split(message).args; }
    void place(int seat, int column, int position) {
        const PlaceItem marker{
            PlaceItem::Kind::Marker, {column, position, TableModel::marker, 0}, 0};
        const PlaceItem used{PlaceItem::Kind::DieUsed, {}, 0};
        game.placechip(args(cmd::placechipResult_(seat, {marker, used})));
    }
    static EndItem completed(int column, int seat) {
        const int top = board::columnTop(column);
        return {{column, top, seat, 0}, top};
    }
    static int bustingFor(std::vector<int> markers, std::vector<int> closed) {
        BustOdds::Position position;
        position.markers = std::move(markers);
        position.closed = std::move(closed);
        return BustOdds(position).bustingRolls();
    }

    FakeClientServices services;
    TableModel model;
    GameMessages game;
    DiceStats stats;
};

} // namespace

// A short game as the server sends it: the faces, rolls and busts of each
// player and of the table, the odds summed at each roll's position, and the
// columns kept; the finished game is handed on once, with a second winner
// message counting nothing.
TEST_F(DiceStatsTest, AScriptedGameIsCountedPerPlayerAndForTheTable) {
    login(1, "Ann");
    model.seatArrived(3, "Bob");
    QSignalSpy finished(&stats, &DiceStats::gameFinished);
    game.rolldice(args(cmd::rolldice_(1, true, {5, 5, 5, 5}))); // before any game: not counted
    game.startthegame(args(cmd::startgame_("Ann", "0")));

    game.getnextplayer(args(cmd::nextplayer_(1)));
    game.rolldice(args(cmd::rolldice_(1, true, {1, 4, 2, 5})));
    place(1, 6, 0);
    place(1, 7, 0);
    game.rolldice(args(cmd::rolldice_(1, true, {0, 0, 5, 2})));
    place(1, 8, 0);
    game.rolldice(args(cmd::rolldice_(1, true, {3, 3, 3, 3})));
    game.rolldice(args(cmd::rolldice_(1, false, {0, 0, 0, 0})));
    // A lost turn clears the markers' cells.
    game.endturn(args(
        cmd::endturnResult_(1, "f", {{{6, 0, 0, 0}, 0}, {{7, 0, 0, 0}, 0}, {{8, 0, 0, 0}, 0}})));

    game.getnextplayer(args(cmd::nextplayer_(3)));
    game.rolldice(args(cmd::rolldice_(3, true, {4, 4, 1, 1})));
    game.endturn(args(cmd::endturnResult_(3, "p", {completed(11, 3), completed(3, 3)})));
    game.winner(args(cmd::winner_("Bob")));
    game.winner(args(cmd::winner_("Bob")));

    const DiceRecord& record = stats.game();
    const DiceCounts* ann = record.find("Ann");
    const DiceCounts* bob = record.find("Bob");
    ASSERT_NE(ann, nullptr);
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(record.names().size(), 2u);
    EXPECT_EQ(ann->rolls, 4u);
    EXPECT_EQ(ann->busts, 1u);
    EXPECT_EQ(ann->faces, (std::array<std::uint64_t, 6>{6, 1, 2, 4, 1, 2}));
    // Two rolls with a free marker (nothing can bust), two with markers on
    // 6, 7 and 8 (104 of 1296 outcomes bust).
    EXPECT_EQ(ann->bustingOutcomes, 2u * bustingFor({6, 7, 8}, {}));
    EXPECT_EQ(ann->columns, 0u);
    EXPECT_EQ(bob->rolls, 1u);
    EXPECT_EQ(bob->columns, 2u);
    EXPECT_EQ(bob->bustingOutcomes, 0u);
    EXPECT_EQ(record.table().rolls, 5u);
    EXPECT_EQ(record.table().faces, (std::array<std::uint64_t, 6>{6, 3, 2, 4, 3, 2}));
    EXPECT_EQ(record.table().columns, 2u);
    EXPECT_TRUE(record.problem().isEmpty()) << record.problem().toStdString();

    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.first().first().value<DiceRecord>(), record);
    EXPECT_FALSE(stats.counting());
    // Rolls after the winner belong to no game.
    game.rolldice(args(cmd::rolldice_(1, true, {0, 1, 2, 3})));
    EXPECT_EQ(stats.game().table().rolls, 5u);
}

// The odds of a roll read the position off the board as the model shows
// it: other seats' completed columns are closed, a marker standing on a
// column's top closes that column for the roll, and markers taken count.
TEST_F(DiceStatsTest, TheOddsOfARollComeFromTheBoardAsShown) {
    login(1, "Ann");
    model.seatArrived(3, "Bob");
    game.startthegame(args(cmd::startgame_("Ann", "0")));
    game.getnextplayer(args(cmd::nextplayer_(3)));
    game.rolldice(args(cmd::rolldice_(3, true, {3, 3, 0, 0})));
    game.endturn(args(cmd::endturnResult_(3, "p", {completed(7, 3)})));

    game.getnextplayer(args(cmd::nextplayer_(1)));
    game.rolldice(args(cmd::rolldice_(1, true, {0, 0, 0, 0})));
    place(1, 2, 0);
    place(1, 2, 1);
    place(1, 2, 2); // the top of column 2
    place(1, 12, 0);
    game.rolldice(args(cmd::rolldice_(1, true, {5, 5, 5, 5})));

    const int expected = bustingFor({2, 12}, {2, 7});
    EXPECT_GT(expected, 0);
    EXPECT_EQ(stats.game().find("Ann")->bustingOutcomes, std::uint64_t(expected));
    EXPECT_EQ(stats.game().table().bustingOutcomes, std::uint64_t(expected));
}

// A client joining a running game counts from its arrival; rolls that do
// not name each of the four dice once, and seats showing no player, add
// nothing to anybody's faces.
TEST_F(DiceStatsTest, ALatecomerCountsFromArrivalAndOddRollsAreLeftOut) {
    login(3, "Cy");
    game.gamestats(args(cmd::gamestats_(3, 1, "0", {}, {{5, 0, 1, 0}})));
    EXPECT_TRUE(stats.counting());
    game.rolldice(args(cmd::rolldice_(1, true, {0, 1, 2, 3})));
    EXPECT_EQ(stats.game().table().rolls, 1u);
    EXPECT_TRUE(stats.game().names().empty());

    game.rolldice("1+t+0+2+0+3+1+4+2+5"); // die 0 twice, die 3 missing
    game.rolldice("1+t+0+1+1+2+2+3");     // three dice
    EXPECT_EQ(stats.game().table().rolls, 1u);
    EXPECT_TRUE(stats.game().problem().isEmpty());
}

// Names are cut to a player's name length, beyond 64 names a newcomer's
// rolls count for the table alone, and counts stop at 2^53: a merge that
// would pass it changes nothing.
TEST(DiceRecord, NamesAndCountsStayWithinTheirBounds) {
    DiceRecord record;
    const QString longName = QString(30, 'x');
    record.addRoll(longName, {0, 1, 2, 3}, false, 0);
    ASSERT_EQ(record.names().size(), 1u);
    EXPECT_EQ(record.names().front().name, QString(24, 'x'));
    EXPECT_NE(record.find(longName), nullptr);
    for (int n = 1; n < DiceRecord::maxNames + 5; ++n)
        record.addRoll(QString("p%1").arg(n), {4, 4, 4, 4}, true, 1296);
    EXPECT_EQ(record.names().size(), size_t(DiceRecord::maxNames));
    EXPECT_EQ(record.find("p70"), nullptr);
    EXPECT_EQ(record.table().rolls, std::uint64_t(DiceRecord::maxNames + 5));
    EXPECT_TRUE(record.problem().isEmpty());
    DiceRecord both = record;
    ASSERT_TRUE(both.merge(record));
    EXPECT_EQ(both.table().busts, 2 * record.table().busts);
    EXPECT_EQ(both.find("p3")->faces[4], 8u);

    DiceRecord full;
    full.table().rolls = DiceCounts::maxCount / 4;
    full.table().faces = {DiceCounts::maxCount, 0, 0, 0, 0, 0};
    full.setGames(3);
    ASSERT_TRUE(full.problem().isEmpty());
    const DiceRecord before = full;
    EXPECT_FALSE(full.merge(record));
    EXPECT_EQ(full, before);
}

// The open window follows the game roll by roll; under "All games" the game
// under way counts beside the kept ones, and once finished and kept it
// counts once, not twice. A name with markup stays plain text.
TEST_F(DiceStatsTest, TheWindowFollowsTheGameAndCountsAFinishedGameOnce) {
    QTemporaryDir folder;
    FakePrompter prompter;
    StatsStore store(prompter, folder.filePath(StatsStore::fileName));
    QObject::connect(&stats, &DiceStats::gameFinished, &store, &StatsStore::addGame);
    StatisticsWindow window(stats, store);
    window.show();

    login(1, "<b>Ann</b>");
    game.startthegame(args(cmd::startgame_("Ann", "0")));
    game.getnextplayer(args(cmd::nextplayer_(1)));
    game.rolldice(args(cmd::rolldice_(1, true, {0, 1, 2, 3})));
    EXPECT_TRUE(window.figuresText().contains("Rolls: 1\n"));
    game.rolldice(args(cmd::rolldice_(1, true, {5, 5, 5, 5})));
    EXPECT_TRUE(window.figuresText().contains("6: 4 (50.0%)"))
        << window.figuresText().toStdString();

    window.scopeBox()->setCurrentIndex(1);
    EXPECT_TRUE(window.figuresText().contains("Rolls: 2\n"));
    game.winner(args(cmd::winner_("<b>Ann</b>")));
    EXPECT_EQ(store.totals().games(), 1u);
    EXPECT_TRUE(window.figuresText().contains("Rolls: 2\n")) << window.figuresText().toStdString();
    EXPECT_TRUE(window.figuresText().contains("Games: 1"));

    ASSERT_EQ(window.whoBox()->count(), 2);
    window.whoBox()->setCurrentIndex(1);
    EXPECT_EQ(window.whoBox()->currentText(), "<b>Ann</b>");
    for (QLabel* label : window.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    EXPECT_TRUE(prompter.messages.isEmpty());
}
