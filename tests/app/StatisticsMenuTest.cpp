#include "AppFixture.h"

#include "client/BoardView.h"
#include "client/DiceStats.h"
#include "client/FaceChart.h"
#include "client/GameView.h"
#include "client/StatisticsWindow.h"
#include "client/StatsStore.h"
#include "client/TableModel.h"
#include "client/Tgamestart.h"
#include "client/TurnButton.h"

#include <QComboBox>
#include <QFile>
#include <QTest>

#include <numeric>

namespace {
// The runs before this one: 40 rolls, 3 of them busts, 2 by Klot.
const QByteArray earlierRuns = "Climora dice statistics 1\n"
                               "games 2\n"
                               "table 40 3 5000 4 30 24 26 25 27 28\n"
                               "name 20 2 2600 2 15 12 13 12 14 14 Klot\n"
                               "end\n";

std::uint64_t sum(const std::array<std::uint64_t, 6>& faces) {
    return std::accumulate(faces.begin(), faces.end(), std::uint64_t(0));
}
} // namespace

// After a roll of a solo game, View > "Statistics" shows that roll's faces
// for this game, and the faces of the earlier runs with it for all games.
TEST_F(AppFixture, TheViewMenuOpensTheStatisticsOfThisGameAndOfEarlierRuns) {
    {
        QFile runs(folder.filePath(StatsStore::fileName));
        ASSERT_TRUE(runs.open(QIODevice::WriteOnly));
        runs.write(earlierRuns);
    }
    Program& p = start({});
    Tchat& chat = p.chat();
    ASSERT_TRUE(
        waitUntil([&] { return chat.state().loggedIn && chat.game()->model().ownSeat() == 1; }));
    spin(20);
    BoardView& board = chat.game()->board();
    QTest::mouseClick(board.startButton(), Qt::LeftButton, {}, {80, 80});
    auto* go = p.windows().gamestart->findChild<QWidget*>("button_start");
    ASSERT_NE(go, nullptr);
    QTest::mouseClick(go, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return board.rollButton()->isVisibleTo(&chat); }, 10000));
    QTest::mouseClick(board.rollButton(), Qt::LeftButton, {}, {80, 80});
    const DiceStats& stats = *chat.diceStats();
    ASSERT_TRUE(waitUntil([&] { return stats.game().table().rolls == 1; }));

    StatisticsWindow* window = p.windows().statistics;
    chat.action("Statistics1")->trigger();
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(sum(window->chart()->counts()), 4u);
    EXPECT_TRUE(window->figuresText().contains("Rolls: 1\n"))
        << window->figuresText().toStdString();

    window->scopeBox()->setCurrentIndex(1);
    EXPECT_EQ(sum(window->chart()->counts()), 4u * 41);
    EXPECT_TRUE(window->figuresText().contains("Games: 3")) << window->figuresText().toStdString();
    ASSERT_TRUE(waitUntil([&] { return window->whoBox()->findText("Klot") > 0; }));
    window->whoBox()->setCurrentIndex(window->whoBox()->findText("Klot"));
    EXPECT_GE(sum(window->chart()->counts()), 4u * 20);
    window->whoBox()->setCurrentIndex(0);
    const QString shots = qEnvironmentVariable("CLIMORA_SHOTS");
    if (!shots.isEmpty()) {
        spin(50); // the labels' new sizes laid out
        window->grab().save(shots + "/statistics.png");
    }
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join("; ").toStdString();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}
