#include "AppFixture.h"

#include "social/ChatDisplay.h"

#include "app/FirstPaintProbe.h"
#include "app/SingleInstance.h"
#include "client/GameView.h"
#include "download/Tdownload.h"
#include "net/TSock.h"
#include "server/TServer.h"
#include "social/ChatDisplay.h"
#include "social/Tabout.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <cstring>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {
bool shown(Program& p, const char* name) {
    auto* widget = p.chat().findChild<QWidget*>(name);
    return widget && widget->isVisibleTo(p.chat().boardPanel());
}
} // namespace

// Without arguments the program hosts a solo game as "You", shows the lobby
// download offer and opens no lobby link.
TEST_F(AppFixture, NoArgumentsHostsASoloGame) {
    Program& p = start({});
    ASSERT_TRUE(waitUntil([&] { return p.chat().state().loggedIn; }));
    EXPECT_TRUE(p.windows().server->Sock1().isListening());
    EXPECT_EQ(p.chat().state().playerName, "You");
    EXPECT_EQ(p.chat().clientSocket()->hostName(), "127.0.0.1");
    EXPECT_TRUE(p.chat().state().host);
    EXPECT_TRUE(p.windows().download->isVisible());
    EXPECT_FALSE(p.chat().lobbyLink()->hasSocket());
    EXPECT_TRUE(shown(p, "button_start"));
    EXPECT_TRUE(p.chat().action("StartGame1")->isEnabled());
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

// The main window is drawn before anything else of the start happens: the
// download offer, the server and the connection come after its first paint,
// and the hidden windows' background waits until one of them is shown.
TEST_F(AppFixture, TheCommandLineIsReadAfterTheFirstPaint) {
    Program& p = start({});
    EXPECT_FALSE(p.windowsMade()) << "the hidden windows come after the first paint";
    bool madeAtPaint = true;
    // Made last, so it hears of the paint before the window does.
    new FirstPaintProbe(&p.chat(), [&](qint64) { madeAtPaint = p.windowsMade(); });
    ASSERT_TRUE(waitUntil([&] { return p.chat().state().loggedIn; }));
    EXPECT_FALSE(madeAtPaint);
    EXPECT_TRUE(p.windowsMade());
    EXPECT_TRUE(p.windows().download->isVisible());
    EXPECT_TRUE(p.windows().server->Sock1().isListening());

    EXPECT_FALSE(p.windows().about->background().isDecoded());
    p.windows().about->show();
    EXPECT_TRUE(waitUntil([&] { return p.windows().about->background().isDecoded(); }));
    EXPECT_FALSE(p.windows().about->background().isNull());
}

// A main window that is shown but not drawn (updates held back) still reads
// its command line, a moment later.
TEST_F(AppFixture, AWindowThatIsNotDrawnStillStartsItsGame) {
    Program::Options options;
    options.gamePort = "0";
    options.iniPath = folder.filePath("orvanelobby.ini");
    options.tallyPath = folder.filePath("Climoratally.tld");
    program = std::make_unique<Program>(prompter, QStringList{}, options);
    program->chat().setUpdatesEnabled(false);
    program->chat().show();
    ASSERT_TRUE(waitUntil([&] { return program->chat().state().loggedIn; }));
    EXPECT_TRUE(program->windows().server->Sock1().isListening());
    program->chat().setUpdatesEnabled(true);
}

// The role is compared byte for byte: only "true" hosts, and the client of a
// host talks to 127.0.0.1 whatever address was given.
TEST_F(AppFixture, RoleTrueHostsAndOpensTheLobbyLink) {
    Program& p = start({"Ann", "10.0.0.5", "true"});
    ASSERT_TRUE(waitUntil([&] { return p.chat().state().loggedIn; }));
    EXPECT_TRUE(p.windows().server->Sock1().isListening());
    EXPECT_EQ(p.chat().clientSocket()->hostName(), "127.0.0.1");
    EXPECT_EQ(p.chat().state().playerName, "Ann");
    EXPECT_TRUE(p.chat().lobbyLink()->hasSocket());
    EXPECT_FALSE(p.windows().download->isVisible());
    EXPECT_TRUE(shown(p, "button_start"));
}

TEST_F(AppFixture, AnyOtherRoleJoinsEvenTrueWithACapital) {
    Program& p = start({"Ann", "127.0.0.9", "True", "ignored"});
    spin(50);
    EXPECT_FALSE(p.windows().server->Sock1().isListening());
    EXPECT_FALSE(p.chat().state().host);
    EXPECT_EQ(p.chat().clientSocket()->hostName(), "127.0.0.9");
    EXPECT_TRUE(p.chat().clientSocket()->hasSocket());
    EXPECT_FALSE(shown(p, "button_start"));
    EXPECT_FALSE(p.chat().action("StartGame1")->isEnabled());
}

TEST_F(AppFixture, OneOrTwoArgumentsOnlyShowTheLoadingLine) {
    for (const QStringList& args : {QStringList{"Ann"}, QStringList{"Ann", "127.0.0.1"}}) {
        Program& p = start(args);
        spin(50);
        EXPECT_FALSE(p.windows().server->Sock1().isListening());
        EXPECT_FALSE(p.chat().clientSocket()->hasSocket());
        EXPECT_FALSE(p.chat().lobbyLink()->hasSocket());
        program.reset();
    }
}

// A taken port is reported in a message box and the rest of the start is
// skipped: no connection, no start button.
TEST_F(AppFixture, HostingOnATakenPortReportsTheErrorAndGoesOn) {
    TSock blocker;
    blocker.setPortName("0");
    blocker.setListen(true);
    Program& p = start({}, QString::number(blocker.localPort()));
    ASSERT_TRUE(waitUntil([&] { return !errors.isEmpty(); }));
    EXPECT_EQ(errors.first(), "Listen - Error Binding Socket");
    EXPECT_FALSE(p.chat().clientSocket()->hasSocket());
    EXPECT_FALSE(shown(p, "button_start"));
    EXPECT_TRUE(p.chat().isVisible());
}

TEST_F(AppFixture, AnUnknownHostNameIsReported) {
    start({"Ann", "no-such-host.invalid", "join"});
    ASSERT_TRUE(waitUntil([&] { return !errors.isEmpty(); }, 10000));
    EXPECT_EQ(errors.first(), "Host Lookup - Could Not Find Host Entry");
}

// The application object catches what a handler lets escape, and the event
// loop goes on with the next event.
TEST_F(AppFixture, AnErrorEscapingATimerIsReportedAndTheProgramGoesOn) {
    bool later = false;
    QTimer::singleShot(0, [] { throw std::runtime_error("boom"); });
    QTimer::singleShot(5, [&] { later = true; });
    ASSERT_TRUE(waitUntil([&] { return later; }));
    EXPECT_EQ(errors, QStringList{"boom"});
}

TEST(SingleInstanceGuard, ASecondCopyIsRefusedAndTheFirstIsAskedForward) {
    QTemporaryDir folder;
    SingleInstance first(folder.path());
    ASSERT_TRUE(first.acquire());
    int knocks = 0;
    QObject::connect(&first, &SingleInstance::knocked, [&] { ++knocks; });
    {
        SingleInstance second(folder.path());
        EXPECT_FALSE(second.acquire());
    }
    EXPECT_TRUE(waitUntil([&] { return knocks == 1; }));
}

TEST(SingleInstanceGuard, EveryKnockIsHeardAndTheGuardIsPrivateAndGoneAfterwards) {
    QTemporaryDir folder;
    int knocks = 0;
    {
        SingleInstance first(folder.path());
        ASSERT_TRUE(first.acquire());
        EXPECT_TRUE(first.isGuarding());
        QObject::connect(&first, &SingleInstance::knocked, [&] { ++knocks; });
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(first.guardPath()).constData(), &info), 0);
        EXPECT_TRUE(S_ISSOCK(info.st_mode));
        EXPECT_EQ(info.st_mode & 077, 0u) << "others could knock";
        for (int i = 0; i < 3; ++i) {
            SingleInstance again(folder.path());
            EXPECT_FALSE(again.acquire());
        }
        EXPECT_TRUE(waitUntil([&] { return knocks == 3; }));
        // A refused copy must not have taken the guard with it.
        EXPECT_TRUE(QFileInfo::exists(first.guardPath()));
    }
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("enavro")));
    SingleInstance next(folder.path());
    EXPECT_TRUE(next.acquire());
    EXPECT_TRUE(next.isGuarding());
}

TEST(SingleInstanceGuard, AGuardLeftByADeadCopyIsTakenOver) {
    QTemporaryDir folder;
    {
        QFile stale(folder.filePath("enavro"));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    SingleInstance overFile(folder.path());
    EXPECT_TRUE(overFile.acquire());
    EXPECT_TRUE(overFile.isGuarding());

    // A socket file whose listener died without removing it.
    QTemporaryDir other;
    const QByteArray path = QFile::encodeName(other.filePath("enavro"));
    const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(dead);
    SingleInstance overSocket(other.path());
    EXPECT_TRUE(overSocket.acquire());
    EXPECT_TRUE(overSocket.isGuarding());
}

TEST(SingleInstanceGuard, AFolderTooDeepForASocketRunsUnguarded) {
    QTemporaryDir folder;
    const QString deep = folder.filePath(QString(120, 'd'));
    SingleInstance guard(deep);
    EXPECT_TRUE(guard.acquire());
    EXPECT_FALSE(guard.isGuarding());
}

// The Options menu's choice groups: choosing an item ticks it alone in its
// group and sets what the group controls.
TEST_F(AppFixture, EachChoiceTicksOneItemOfItsGroupAndTakesEffect) {
    Program& p = start({"Ann"});
    Tchat& chat = p.chat();
    struct Choice {
        const char* item;
        std::function<bool()> tookEffect;
    };
    const std::vector<std::vector<Choice>> groups = {
        {{"Slow1", [&] { return chat.botSpeedMs() == 1000; }},
         {"Fast1", [&] { return chat.botSpeedMs() == 400; }},
         {"Normal1", [&] { return chat.botSpeedMs() == 750; }}},
        {{"N81", [&] { return chat.chat()->textSize() == 8; }},
         {"N141", [&] { return chat.chat()->textSize() == 14; }},
         {"N121", [&] { return chat.chat()->textSize() == 12; }},
         {"N101", [&] { return chat.chat()->textSize() == 10; }}},
        {{"New1", [&] { return chat.turnSoundNew(); }},
         {"Classic1", [&] { return !chat.turnSoundNew(); }}},
    };
    for (const auto& group : groups) {
        for (const Choice& choice : group) {
            chat.action(choice.item)->trigger();
            EXPECT_TRUE(choice.tookEffect()) << choice.item;
            for (const Choice& other : group)
                EXPECT_EQ(chat.action(other.item)->isChecked(), &other == &choice)
                    << choice.item << " chosen, " << other.item;
        }
    }
    // The switches toggle on each choice.
    chat.action("PlaySounds1")->trigger();
    EXPECT_FALSE(chat.action("PlaySounds1")->isChecked());
    chat.action("PlaySounds1")->trigger();
    EXPECT_TRUE(chat.action("PlaySounds1")->isChecked());
    EXPECT_EQ(chat.action("ScrollChatOff1")->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(chat.action("Content1")->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(chat.windowTitle(), "Climora");
}

TEST_F(AppFixture, ResetScreenLocationRestoresTheDefaultBounds) {
    Program& p = start({"Ann"});
    p.chat().move(200, 150);
    p.chat().resize(900, 700);
    p.chat().action("ResetScreenLocation1")->trigger();
    // The menu bar lies inside the window here, so the board's minimum
    // client area may make the window a little higher than 535.
    const QRect bounds = p.chat().windowBounds();
    EXPECT_EQ(bounds.topLeft(), QPoint(3, 3));
    EXPECT_EQ(bounds.width(), 772);
    EXPECT_GE(bounds.height(), 535);
    EXPECT_GE(p.chat().centralWidget()->height(), 530);
}
