// Playing with others from the desktop, through the whole program: the
// File menu item, the switch to hosting or joining by a new start with the
// command line's arguments, the question while a game is under way, the
// words and choices after a join that fails, the joiner told that the host
// went, and what a copy hosting by name says about where to join.
#include "AppFixture.h"

#include "app/HostingNotice.h"
#include "app/OthersController.h"
#include "client/BoardView.h"
#include "client/ConnectionWatch.h"
#include "client/GameView.h"
#include "client/TableModel.h"
#include "client/Tgamestart.h"
#include "client/TurnButton.h"
#include "download/Tdownload.h"
#include "net/TSock.h"
#include "server/TServer.h"
#include "social/ChatDisplay.h"
#include "social/ChatView.h"
#include "social/IniFile.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

namespace {
// The chat's text, its wrapped lines joined again.
QString chatText(Program& p) {
    p.chat().chat()->SelectAll1Click();
    return p.chat().chat()->view()->selectedText().replace("\r\n", " ").simplified();
}

int closedPort() {
    TSock gone;
    gone.setPortName("0");
    gone.setListen(true);
    return gone.localPort();
}

class PlayWithOthersFlow : public AppFixture {
protected:
    PlayWithOthers& openWindow(Program& p) {
        p.chat().action("PlayWithOthers1")->trigger();
        PlayWithOthers* window = p.chat().others()->window();
        EXPECT_NE(window, nullptr);
        return *window;
    }
    void host(PlayWithOthers& window, const QString& name) {
        window.setPlayerName(name);
        window.findChild<QPushButton*>("button_host")->click();
    }
    void join(PlayWithOthers& window, const QString& name, const QString& address) {
        window.setPlayerName(name);
        window.findChild<QComboBox*>("edit_address")->setEditText(address);
        window.findChild<QPushButton*>("button_join")->click();
    }
    QString ini(const QString& key) {
        return IniFile(folder.filePath("orvanelobby.ini")).readString("Climora", key, "<none>");
    }

    // A second copy in this process, joining the first one's game.
    struct Joiner {
        FakePrompter prompter;
        std::unique_ptr<Program> program;
    };
    std::unique_ptr<Joiner> joinGame(int port, const QString& name) {
        auto joiner = std::make_unique<Joiner>();
        Program::Options options;
        options.gamePort = QString::number(port);
        options.iniPath = folder.filePath(name + ".ini");
        options.tallyPath = folder.filePath(name + ".tld");
        options.networkServices = false;
        joiner->program = std::make_unique<Program>(
            joiner->prompter, QStringList{name, "127.0.0.1", "join"}, options);
        joiner->program->chat().show();
        return joiner;
    }
};
} // namespace

TEST_F(PlayWithOthersFlow, TheFileMenuOffersPlayWithOthersAndEndsWithExit) {
    Program& p = start({});
    QMenu* file = p.chat().menuBar()->findChild<QMenu*>("File1");
    ASSERT_NE(file, nullptr);
    QStringList items;
    for (QAction* item : file->actions())
        items << (item->isSeparator() ? QString("-") : item->text());
    EXPECT_EQ(items,
              QStringList({"Start Game", "Play with Others...", "Copy Join Address", "-", "Exit"}));
    EXPECT_FALSE(p.chat().action("CopyJoinAddress1")->isEnabled()) << "a solo game takes nobody";
}

// Hosting and joining end this run and start the program again with the
// command line that does the same; the name and the host are remembered.
TEST_F(PlayWithOthersFlow, HostAndJoinStartTheProgramAgainWithTheirCommandLines) {
    Program& solo = start({});
    ASSERT_TRUE(waitUntil([&] { return solo.chat().state().loggedIn; }));
    host(openWindow(solo), "  Ann ");
    EXPECT_TRUE(solo.restartRequested());
    EXPECT_EQ(solo.restartArguments(), QStringList({"Ann", "0.0.0.0", "true"}));
    EXPECT_FALSE(solo.chat().isVisible()) << "the main window closes normally";
    EXPECT_TRUE(prompter.questions.isEmpty()) << "no game was under way";
    EXPECT_EQ(ini("PlayerName"), "Ann");

    Program& again = start({});
    PlayWithOthers& window = openWindow(again);
    EXPECT_EQ(window.playerName(), "Ann") << "the name is remembered";
    join(window, "Bo", "10.0.0.5:7772");
    EXPECT_EQ(again.restartArguments(), QStringList({"Bo", "10.0.0.5", "join"}));
    EXPECT_EQ(ini("RecentHost1"), "10.0.0.5");

    Program& third = start({});
    PlayWithOthers& next = openWindow(third);
    join(next, "Bo", "host.example");
    EXPECT_EQ(ini("RecentHost1"), "host.example");
    EXPECT_EQ(ini("RecentHost2"), "10.0.0.5");
}

TEST_F(PlayWithOthersFlow, AGarbageAddressStartsNothing) {
    Program& p = start({});
    join(openWindow(p), "Bo", "10.0.0.5; reboot");
    EXPECT_FALSE(p.restartRequested());
    EXPECT_TRUE(p.chat().isVisible());
    EXPECT_EQ(ini("RecentHost1"), "<none>");
}

TEST_F(PlayWithOthersFlow, LeavingAGameUnderWayIsAskedFirst) {
    Program& p = start({});
    Tchat& chat = p.chat();
    ASSERT_TRUE(
        waitUntil([&] { return chat.state().loggedIn && chat.game()->model().ownSeat() == 1; }));
    QWidget* startButton = chat.game()->board().startButton();
    QTest::mousePress(startButton, Qt::LeftButton, {}, QPoint(80, 80));
    QTest::mouseRelease(startButton, Qt::LeftButton, {}, QPoint(80, 80));
    QTest::mouseClick(p.windows().gamestart->findChild<QWidget*>("button_start"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return p.windows().server->gameRunning(); }));

    prompter.answer = false;
    host(openWindow(p), "Ann");
    EXPECT_EQ(prompter.questions.size(), 1);
    EXPECT_FALSE(p.restartRequested()) << "the player stays";
    EXPECT_TRUE(p.windows().server->gameRunning());

    prompter.answer = true;
    host(openWindow(p), "Ann");
    EXPECT_TRUE(p.restartRequested());
}

// Today's worst case: nobody listens, and the loading line stayed for ever.
TEST_F(PlayWithOthersFlow, AJoinToAClosedPortOffersThreeChoicesWithinTenSeconds) {
    const int port = closedPort();
    QElapsedTimer clock;
    clock.start();
    Program& p = start({"Bo", "127.0.0.1", "join"}, QString::number(port));
    ASSERT_TRUE(waitUntil([&] { return !prompter.choices.isEmpty(); }, 10000));
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_TRUE(prompter.choices.first().contains("127.0.0.1"));
    EXPECT_TRUE(prompter.choices.first().contains("refused"));
    EXPECT_EQ(prompter.choiceButtons.first(),
              QStringList({"Try Again", "Play with Others...", "Quit"}));
    EXPECT_TRUE(chatText(p).contains("Could not join 127.0.0.1"));
    EXPECT_TRUE(p.chat().isVisible()) << "closed without choosing: the window stays";

    // "Try Again" tries once more; when that fails too, "Play with Others..."
    // opens the window.
    prompter.choicesToMake = {0, 1};
    p.chat().connectionWatch()->retry();
    ASSERT_TRUE(waitUntil([&] { return prompter.choices.size() == 3; }, 10000));
    spin(50);
    EXPECT_EQ(prompter.choices.size(), 3);
    ASSERT_NE(p.chat().others()->window(), nullptr);
    EXPECT_TRUE(p.chat().others()->window()->isVisible());
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();

    // "Quit" ends the program.
    prompter.choice = 2;
    p.chat().connectionWatch()->retry();
    ASSERT_TRUE(waitUntil([&] { return !p.chat().isVisible(); }, 10000));
    EXPECT_FALSE(p.restartRequested());
}

TEST_F(PlayWithOthersFlow, AnUnknownHostIsReportedByTheSocketLayerFirstThenWithChoices) {
    start({"Bo", "no-such-host.invalid", "join"});
    ASSERT_TRUE(waitUntil([&] { return !prompter.choices.isEmpty(); }, 10000));
    EXPECT_EQ(errors, QStringList{"Host Lookup - Could Not Find Host Entry"});
    EXPECT_TRUE(prompter.choices.first().contains("no-such-host.invalid"));
    EXPECT_TRUE(prompter.choices.first().contains("could be found"));
}

// Two copies in one process: the host's window closing is told to the
// joiner before the joiner's window closes; and a joiner in a game is asked
// before it leaves it.
TEST_F(PlayWithOthersFlow, TheJoinerIsToldThatTheHostClosedTheGame) {
    Program& hosting = start({"Ann", "127.0.0.1", "true"});
    ASSERT_TRUE(waitUntil([&] { return hosting.chat().state().loggedIn; }));
    const int port = hosting.windows().server->Sock1().localPort();
    auto joiner = joinGame(port, "Bo");
    Tchat& bo = joiner->program->chat();
    ASSERT_TRUE(
        waitUntil([&] { return bo.state().loggedIn && bo.game()->model().ownSeat() == 2; }));

    // Leaving a game one joined is asked first, and so is hosting over a
    // game that others are in.
    joiner->prompter.answer = false;
    host(openWindow(*joiner->program), "Bo");
    EXPECT_EQ(joiner->prompter.questions.size(), 1);
    EXPECT_FALSE(joiner->program->restartRequested());
    prompter.answer = false;
    host(openWindow(hosting), "Ann");
    EXPECT_EQ(prompter.questions.size(), 1);
    EXPECT_FALSE(hosting.restartRequested());

    program.reset(); // the host quits
    ASSERT_TRUE(waitUntil([&] { return !bo.isVisible(); }));
    EXPECT_EQ(joiner->prompter.messages, QStringList{"The host at 127.0.0.1 closed the game."});
    EXPECT_TRUE(joiner->prompter.choices.isEmpty());
}

TEST_F(PlayWithOthersFlow, AGameThatIsFullSaysSoAndNothingMore) {
    Program& hosting = start({"Ann", "127.0.0.1", "true"});
    ASSERT_TRUE(waitUntil([&] { return hosting.chat().state().loggedIn; }));
    const int port = hosting.windows().server->Sock1().localPort();
    std::vector<std::unique_ptr<Joiner>> others;
    for (int n = 2; n <= 9; ++n) {
        others.push_back(joinGame(port, QString("P%1").arg(n)));
        Tchat& chat = others.back()->program->chat();
        ASSERT_TRUE(waitUntil([&] { return chat.state().loggedIn; }));
    }
    auto tenth = joinGame(port, "Late");
    ASSERT_TRUE(waitUntil([&] { return !tenth->program->chat().isVisible(); }));
    spin(300);
    EXPECT_TRUE(tenth->prompter.choices.isEmpty())
        << tenth->prompter.choices.join("; ").toStdString();
    for (const QString& text : tenth->prompter.messages)
        EXPECT_EQ(text, "Game is full");
}

TEST_F(PlayWithOthersFlow, HostingByNameTellsWhereToJoinAndCopiesTheBestAddress) {
    Program& p = start({"Ann", "127.0.0.1", "true"});
    ASSERT_TRUE(waitUntil([&] { return p.chat().state().loggedIn; }));
    HostingNotice& notice = *p.chat().hostingNotice();
    ASSERT_TRUE(notice.isHosting());
    const int port = p.windows().server->Sock1().localPort();
    // The chat wraps its narrow lines anywhere, so blanks are not compared.
    const QString text = chatText(p).remove(' ');
    const QStringList local = notice.joinAddresses();
    if (local.isEmpty()) {
        EXPECT_TRUE(text.contains("noaddressonanetwork"));
        EXPECT_FALSE(p.chat().action("CopyJoinAddress1")->isEnabled());
    } else {
        for (const QString& address : local) {
            EXPECT_TRUE(text.contains("Othersonyournetworkcanjointhisgameat:" + address))
                << address.toStdString() << " in " << text.toStdString();
            EXPECT_TRUE(address.endsWith(':' + QString::number(port))) << "not the usual port";
            EXPECT_FALSE(address.startsWith("127.")) << "loopback is no use to others";
        }
        ASSERT_TRUE(p.chat().action("CopyJoinAddress1")->isEnabled());
        p.chat().action("CopyJoinAddress1")->trigger();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), local.first());
    }

    // Once the router forwards the port, its public address is the best one.
    PortMapper::Result opened;
    opened.outcome = PortMapper::Outcome::Opened;
    opened.port = quint16(port);
    opened.publicAddress = "203.0.113.7";
    notice.routerFinished(opened);
    EXPECT_TRUE(chatText(p).remove(' ').contains(PortMapper::describe(opened).remove(' ')));
    const QString best = "203.0.113.7:" + QString::number(port);
    EXPECT_EQ(notice.bestAddress(), best);
    p.chat().action("CopyJoinAddress1")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), best);

    // The window says it too.
    PlayWithOthers& window = openWindow(p);
    auto* hosting = window.findChild<QLabel*>("label_hosting");
    ASSERT_NE(hosting, nullptr);
    EXPECT_TRUE(hosting->isVisible());
    EXPECT_TRUE(hosting->text().contains(best));
}

TEST_F(PlayWithOthersFlow, ASoloGameTellsNothingAboutJoining) {
    Program& p = start({});
    ASSERT_TRUE(waitUntil([&] { return p.chat().state().loggedIn; }));
    EXPECT_FALSE(p.chat().hostingNotice()->isHosting());
    EXPECT_FALSE(chatText(p).contains("can join this game at"));
}

TEST_F(PlayWithOthersFlow, TheDownloadWindowOpensPlayWithOthersWhenNoLobbyIsFound) {
    Program& p = start({});
    ASSERT_TRUE(waitUntil([&] { return p.windows().download->isVisible(); }));
    p.windows().download->setLobbyPath(folder.filePath("no-lobby-here"));
    if (!p.windows().download->lobbyProgram().isEmpty())
        GTEST_SKIP() << "a lobby program is installed on this machine";
    p.windows().download->findChild<QPushButton*>("Button2")->click();
    ASSERT_NE(p.chat().others()->window(), nullptr);
    EXPECT_TRUE(p.chat().others()->window()->isVisible());
    EXPECT_FALSE(p.windows().download->isVisible());
    EXPECT_TRUE(prompter.messages.isEmpty());
}
