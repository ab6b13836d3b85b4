// The download window against a local web server: the progress texts, the
// body on disk, and that no failure (404, refused, short, stalled, stopped)
// ever starts the installer or ends the game.
#include "download/Tdownload.h"
#include "support/EventLoop.h"
#include "support/FakePrompter.h"
#include "support/MiniHttpServer.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray installerBytes(int size) {
    QByteArray bytes;
    bytes.reserve(size);
    for (int i = 0; i < size; ++i)
        bytes.append(char((i * 131) ^ (i >> 9)));
    return bytes;
}

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        dialog.setDownloadFolder(folder.path());
        dialog.setInstallerUrl(server.url("/files/setup.exe"));
        dialog.setLauncher([this](const QString& program, const QStringList& arguments) {
            launched << program + " " + arguments.join(' ');
            return launchResult;
        });
        QObject::connect(&dialog, &Tdownload::statusChanged,
                         [this](const QString& label, const QString& text) {
                             (label == "infolabel" ? info : phase) << text;
                         });
    }

    template <typename T> T* control(const char* name) {
        T* widget = dialog.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text(const char* name) { return control<QLabel>(name)->text(); }
    bool idle() {
        return control<QPushButton>("getbutton")->isEnabled() &&
               !control<QPushButton>("abortbutton")->isEnabled();
    }
    bool runToEnd(int timeoutMs = 5000) {
        return waitUntil([&] { return !dialog.isDownloading(); }, timeoutMs);
    }
    QByteArray localBytes() {
        QFile f(folder.filePath("setup.exe"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Nothing was started and the game goes on.
    void expectNothingStarted() {
        EXPECT_TRUE(launched.isEmpty());
        EXPECT_EQ(endings, 0);
        EXPECT_EQ(dialog.abortMark(), 2);
    }

    MiniHttpServer server;
    QTemporaryDir folder;
    FakePrompter prompter;
    int endings = 0;
    Tdownload dialog{prompter, [this] { ++endings; }};
    QStringList launched;
    bool launchResult = true;
    QStringList info;
    QStringList phase;
};

} // namespace

// ---- the window -----------------------------------------------------------

TEST_F(Download, WindowHasItsControlsCaptionsAndStartState) {
    EXPECT_EQ(dialog.windowTitle(), "Download The Orvane Lobby");
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(dialog.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    const std::pair<const char*, const char*> buttons[] = {
        {"getbutton", "Download And Install The Orvane Lobby Now"},
        {"abortbutton", "Stop Download"},
        {"Button1", "Play Solo Game"},
        {"Button2", "Play with Others"},
    };
    for (const auto& [name, caption] : buttons)
        EXPECT_EQ(control<QPushButton>(name)->text(), caption);
    EXPECT_TRUE(control<QPushButton>("Button1")->isDefault());
    EXPECT_TRUE(idle());
    EXPECT_TRUE(text("Label1").startsWith("Download The Orvane Lobby Now to play this  and"));
    EXPECT_TRUE(text("Label3").contains("FIREWALL"));
    EXPECT_TRUE(control<QLabel>("infolabel2")->isHidden());
    for (const char* name : {"Label5", "Label7", "infolabel", "infolabel3"})
        control<QLabel>(name);

    // The picture is decoded on the first showing, not when the window is made.
    auto* picture = control<QLabel>("Image1");
    EXPECT_TRUE(picture->pixmap().isNull());
    dialog.show();
    EXPECT_EQ(picture->pixmap().size(), QSize(300, 90));
    control<QPushButton>("Button1")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(endings, 0) << "playing solo ends nothing";
}

TEST(DownloadSettings, InstallerAddressComesFromTheEnvironmentOrTheDefault) {
    qunsetenv("CLIMORA_LOBBY_URL");
    // Over HTTPS, so that nobody on the way can swap the installer.
    EXPECT_EQ(Tdownload::configuredInstallerUrl(),
              "https://www.orvane.com/downloads/orvanelobbysetup.exe");
    qputenv("CLIMORA_LOBBY_URL", "http://127.0.0.1:1/x/lobby.exe");
    FakePrompter prompter;
    Tdownload dialog(prompter, [] {});
    EXPECT_EQ(dialog.installerUrl(), "http://127.0.0.1:1/x/lobby.exe");
    qunsetenv("CLIMORA_LOBBY_URL");
    EXPECT_EQ(dialog.downloadFolder(), QCoreApplication::applicationDirPath())
        << "the program's folder is used while it is writable";
}

// ---- a whole download -----------------------------------------------------

TEST_F(Download, WholeDownloadShowsItsProgressSavesTheBytesAndStartsTheInstaller) {
    server.reply.body = installerBytes(3 * 1024 * 1024 + 17);
    control<QPushButton>("getbutton")->click();
    EXPECT_FALSE(control<QPushButton>("getbutton")->isEnabled());
    EXPECT_TRUE(control<QPushButton>("abortbutton")->isEnabled());
    ASSERT_TRUE(runToEnd());

    const QString size = QString::number(server.reply.body.size());
    // "Loading", one dot per header line, then the running byte counts.
    ASSERT_GE(info.size(), 5);
    EXPECT_EQ(info.mid(0, 4), (QStringList{"Loading", "Loading.", "Loading..", "Loading..."}));
    EXPECT_TRUE(info.at(4).endsWith(" bytes"));
    EXPECT_EQ(info.at(info.size() - 2), size + " bytes");
    EXPECT_EQ(info.last(), "Received " + size + " bytes");
    EXPECT_GT(info.size(), 7) << "a large body comes in several pieces";
    EXPECT_EQ(phase, (QStringList{"Downloading: setup.exe", "Installing"}));
    EXPECT_EQ(text("infolabel2"), "setup.exe");

    EXPECT_EQ(localBytes(), server.reply.body);
    EXPECT_TRUE(QFileInfo(folder.filePath("setup.exe")).isExecutable());
    EXPECT_EQ(launched, QStringList{folder.filePath("setup.exe") + " /SP- /silent /noicons"});
    EXPECT_EQ(endings, 1);
    EXPECT_TRUE(idle());
    EXPECT_EQ(dialog.abortMark(), 1);

    ASSERT_EQ(server.requests.size(), 1);
    const QByteArray request = server.requests.first();
    EXPECT_TRUE(request.startsWith("GET /files/setup.exe HTTP/1.0\r\n"));
    EXPECT_TRUE(request.contains("\r\nUser-Agent: Mozilla/3.0 (compatible)"));
    EXPECT_TRUE(
        request.contains("\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*"));
}

TEST_F(Download, ADownloadedInstallerReallyStartsWithItsArguments) {
    // The default launcher, with a harmless shell script as the installer.
    const QString marker = folder.filePath("ran.txt");
    server.reply.body = "#!/bin/sh\necho \"$@\" > '" + marker.toUtf8() + "'\n";
    dialog.setLauncher([](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    });
    control<QPushButton>("getbutton")->click();
    ASSERT_TRUE(runToEnd());
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(marker).size() > 0; }));
    QFile f(marker);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "/SP- /silent /noicons\n");
    EXPECT_EQ(endings, 1);
}

TEST_F(Download, InstallerThatCannotStartShowsAnErrorAndTheGameGoesOn) {
    server.reply.body = "not a program";
    launchResult = false;
    control<QPushButton>("getbutton")->click();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(launched.size(), 1);
    EXPECT_EQ(prompter.messages, QStringList{"An Error has Occurred."});
    EXPECT_EQ(endings, 0);
}

TEST_F(Download, AnOlderFileIsReplaced) {
    QFile old(folder.filePath("setup.exe"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'o'));
    old.close();
    server.reply.body = "new";
    control<QPushButton>("getbutton")->click();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(localBytes(), "new");
}

// ---- failures ---------------------------------------------------------------

TEST_F(Download, NotFoundEndsAbortedWithoutTheStopStep) {
    server.reply.status = 404;
    server.reply.reason = "Not Found";
    server.reply.body = "<html>no such file</html>";
    control<QPushButton>("getbutton")->click();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(info.first(), "Loading");
    EXPECT_EQ(info.last(), "Download Aborted");
    EXPECT_FALSE(info.contains("Download has been aborted."));
    EXPECT_EQ(text("infolabel3"), "Download Aborted");
    EXPECT_TRUE(idle());
    expectNothingStarted();
    EXPECT_TRUE(localBytes().isEmpty()) << "an error page is not saved as the installer";
}

TEST_F(Download, StopDuringTheTransferEndsAbortedAndStartsNothing) {
    server.reply.body = installerBytes(400000);
    server.reply.sent = 100000;
    server.reply.stall = true;
    control<QPushButton>("getbutton")->click();
    ASSERT_TRUE(waitUntil([&] { return text("infolabel") == "100000 bytes"; }));
    control<QPushButton>("abortbutton")->click();
    EXPECT_EQ(text("infolabel"), "Download has been aborted.");
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(text("infolabel"), "Download Aborted");
    EXPECT_EQ(text("infolabel3"), "Download Aborted");
    EXPECT_EQ(info.mid(info.size() - 2),
              (QStringList{"Download has been aborted.", "Download Aborted"}));
    EXPECT_TRUE(idle());
    expectNothingStarted();
    spin(100);
    EXPECT_TRUE(launched.isEmpty());
    EXPECT_EQ(localBytes(), server.reply.body.left(100000)) << "the partial file stays";

    // The window can try again at once.
    server.reply = MiniHttpServer::Reply();
    server.reply.body = "again";
    control<QPushButton>("getbutton")->click();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(localBytes(), "again");
    EXPECT_EQ(endings, 1);
}

// Only a file whose length the server gave, and that arrived to its last
// byte, may be run: anything else could be half an installer, or something
// else entirely. Each case ends aborted, starts nothing and tells the user.
TEST_F(Download, DocumentNotProvablyWholeStartsNothingAndSaysWhy) {
    const QByteArray whole = installerBytes(102488);
    struct Case {
        const char* what;
        qint64 announced;
        QByteArray lengthText;
        qint64 sent;
        QString message;
        qint64 saved; // bytes on disk afterwards
    };
    const QString unknown = "The download was incomplete: the server did not tell its size, so it "
                            "could not be checked. Nothing was started.";
    const QString tooLarge =
        "The download was stopped: it is larger than an installer can be. Nothing was started.";
    auto short_ = [](qint64 got, qint64 of) {
        return QString("The download was incomplete: %1 of %2 bytes arrived. Nothing was "
                       "started; please try again.")
            .arg(got)
            .arg(of);
    };
    const Case cases[] = {
        {"cut short", -1, {}, 106, short_(106, 102488), 106},
        {"length larger than the body", 200000, {}, -1, short_(102488, 200000), 102488},
        {"no length, cut short", -2, {}, 106, unknown, 106},
        {"no length, whole", -2, {}, -1, unknown, 102488},
        {"length is no number", -1, "12abc", -1, unknown, -1},
        {"negative length", -1, "-5", -1, unknown, 0},
        {"length beyond any number", -1, "99999999999999999999999", -1, tooLarge, 0},
        {"two lengths that disagree", -1, "102488\r\nContent-Length: 5", -1, unknown, -1},
        {"length beyond an installer", Tdownload::MaxInstallerSize + 1, {}, -1, tooLarge, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.reply = MiniHttpServer::Reply();
        server.reply.body = whole;
        server.reply.announced = c.announced;
        server.reply.lengthText = c.lengthText;
        server.reply.sent = c.sent;
        prompter.messages.clear();
        info.clear();
        control<QPushButton>("getbutton")->click();
        ASSERT_TRUE(runToEnd());
        EXPECT_EQ(text("infolabel"), "Download Aborted");
        EXPECT_EQ(text("infolabel3"), "Download Aborted");
        EXPECT_FALSE(info.contains("Download has been aborted."));
        EXPECT_TRUE(idle());
        expectNothingStarted();
        EXPECT_EQ(prompter.messages, QStringList{c.message});
        if (c.saved >= 0) {
            EXPECT_EQ(localBytes(), whole.left(c.saved));
        }
    }
}

TEST_F(Download, BodyGrowingPastTheLargestInstallerIsStopped) {
    // Without a length the size is only known as the body comes; the
    // transfer stops there rather than filling the disk.
    dialog.http().setMaxDocSize(50000);
    server.reply.body = installerBytes(400000);
    server.reply.announced = -2;
    control<QPushButton>("getbutton")->click();
    ASSERT_TRUE(runToEnd());
    expectNothingStarted();
    EXPECT_EQ(prompter.messages,
              QStringList{"The download was stopped: it is larger than an installer can be. "
                          "Nothing was started."});
    EXPECT_LE(localBytes().size(), 50000);
}

TEST_F(Download, BytesBeyondTheAnnouncedLengthAreNeverSaved) {
    // The document is what the server announced; what a confused server
    // sends after it is not part of the installer.
    const QByteArray whole = installerBytes(1000);
    server.reply.body = whole + QByteArray(500, 'x');
    server.reply.announced = 1000;
    control<QPushButton>("getbutton")->click();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(localBytes(), whole);
    EXPECT_EQ(text("infolabel"), "Received 1000 bytes");
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(Download, ServerThatStopsAnsweringEndsAbortedAfterTheStallTime) {
    // The stall is measured on a rolling average, so a server that goes
    // quiet after its header is the quick case to test.
    dialog.http().setStallTimeout(1);
    server.reply.body = installerBytes(5000);
    server.reply.sent = 0;
    server.reply.stall = true;
    control<QPushButton>("getbutton")->click();
    ASSERT_TRUE(runToEnd(8000));
    EXPECT_EQ(text("infolabel"), "Download Aborted");
    EXPECT_TRUE(idle());
    expectNothingStarted();
}

TEST_F(Download, UnreachableAddressesEndAborted) {
    QString refused;
    {
        TSock probe;
        probe.setPortName("0");
        probe.setListen(true);
        refused = QString::number(probe.localPort());
    }
    const QString addresses[] = {
        "http://127.0.0.1:" + refused + "/setup.exe",
        "http://no-such-host.invalid/setup.exe",
        "file:///etc/setup.exe",
    };
    for (const QString& address : addresses) {
        info.clear();
        dialog.setInstallerUrl(address);
        control<QPushButton>("getbutton")->click();
        ASSERT_TRUE(runToEnd(15000)) << address.toStdString();
        EXPECT_EQ(info, (QStringList{"Loading", "Download Aborted"})) << address.toStdString();
        EXPECT_TRUE(idle());
        expectNothingStarted();
    }
}

TEST_F(Download, AddressWithoutAFileNameOrAnUnwritableFolderEndsAbortedAtOnce) {
    dialog.setInstallerUrl(server.url("/"));
    control<QPushButton>("getbutton")->click();
    EXPECT_EQ(text("infolabel"), "Download Aborted");
    EXPECT_FALSE(dialog.isDownloading());
    dialog.setInstallerUrl(server.url("/setup.exe"));
    dialog.setDownloadFolder(folder.filePath("no/such/folder"));
    control<QPushButton>("getbutton")->click();
    EXPECT_EQ(text("infolabel"), "Download Aborted");
    EXPECT_TRUE(idle());
    expectNothingStarted();
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST_F(Download, ClosingTheWindowMidTransferAbortsSilently) {
    server.reply.body = installerBytes(100000);
    server.reply.sent = 50000;
    server.reply.stall = true;
    auto* other = new Tdownload(prompter, [this] { ++endings; });
    other->setDownloadFolder(folder.path());
    other->setInstallerUrl(server.url("/b/setup.exe"));
    other->setLauncher([this](const QString& p, const QStringList&) {
        launched << p;
        return true;
    });
    other->getbuttonClick();
    ASSERT_TRUE(
        waitUntil([&] { return other->findChild<QLabel*>("infolabel")->text() == "50000 bytes"; }));
    delete other;
    spin(100);
    EXPECT_TRUE(launched.isEmpty());
    EXPECT_EQ(endings, 0);
}

// ---- play with others -------------------------------------------------------

TEST_F(Download, PlayWithOthersStartsAnInstalledLobbyAndEndsTheGame) {
    const QString lobby = folder.filePath("orvanelobby");
    QFile f(lobby);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);

    dialog.setLobbyPath(lobby);
    control<QPushButton>("Button2")->click();
    EXPECT_EQ(launched, QStringList{lobby + " "});
    EXPECT_EQ(endings, 1);

    // Found on the search path when no path is configured.
    launched.clear();
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", folder.path().toUtf8());
    dialog.setLobbyPath(QString());
    control<QPushButton>("Button2")->click();
    qputenv("PATH", path);
    EXPECT_EQ(launched, QStringList{lobby + " "});
}

TEST_F(Download, PlayWithOthersWithoutALobbyOnlyExplains) {
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", folder.path().toUtf8());
    dialog.setLobbyPath(folder.filePath("missing"));
    control<QPushButton>("Button2")->click();
    qputenv("PATH", path);
    EXPECT_EQ(prompter.messages,
              QStringList{"Please close the game and open the Orvane Lobby using the icon on your "
                          "desktop or using the your Window's start-up menu."});
    EXPECT_TRUE(launched.isEmpty());
    EXPECT_EQ(endings, 0);
}

TEST_F(Download, LobbyThatCannotStartLeavesTheGameRunning) {
    const QString lobby = folder.filePath("orvanelobby");
    QFile f(lobby);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    dialog.setLobbyPath(lobby);
    launchResult = false;
    control<QPushButton>("Button2")->click();
    EXPECT_EQ(prompter.messages, QStringList{"An Error has Occurred."});
    EXPECT_EQ(endings, 0);
}
