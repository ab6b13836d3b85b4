#include "client/StatisticsWindow.h"
#include "client/DiceStats.h"
#include "client/GameMessages.h"
#include "client/StatsStore.h"
#include "client/TableModel.h"
#include "protocol/Commands.h"
#include "support/FakeClientServices.h"
#include "support/FakePrompter.h"

#include <QComboBox>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QByteArray args(const QByteArray& message) {
    return cmd::split(message).args;
}
} // namespace

// The open window follows the game roll by roll; under "All games" the game
// under way counts beside the kept ones, and once finished and kept it
// counts once, not twice. A name with markup stays plain text.
TEST(StatisticsWindow, FollowsTheGameAndCountsAFinishedGameOnce) {
    QTemporaryDir folder;
    FakeClientServices services;
    FakePrompter prompter;
    TableModel model;
    GameMessages game(services, services, services, services, model);
    DiceStats stats(model);
    stats.follow(game);
    StatsStore store(prompter, folder.filePath(StatsStore::fileName));
    QObject::connect(&stats, &DiceStats::gameFinished, &store, &StatsStore::addGame);
    StatisticsWindow window(stats, store);
    window.show();

    model.setOwnSeat(1);
    model.seatArrived(1, "<b>Ann</b>");
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
