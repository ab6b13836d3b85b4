// The whole program joining a scripted server on the loopback address: what
// the server says decides the own name, malformed messages do not stack
// error boxes, and names that look like markup stay plain text everywhere.
#include "AppFixture.h"

#include "app/Application.h"
#include "client/ClientConnection.h"
#include "client/GameView.h"
#include "client/TableModel.h"
#include "net/TSock.h"
#include "protocol/Commands.h"
#include "social/ChatDisplay.h"
#include "social/ChatView.h"
#include "social/Tspylist.h"
#include "tally/TStringGrid.h"
#include "tally/Ttallylist.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

class HostileServerTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        listener.setPortName("0");
        listener.OnAccept = [this](TSock* l) {
            if (l->Accept(server))
                server->OnInfo = nullptr;
        };
        listener.setListen(true);
    }
    void TearDown() override {
        if (server)
            server->OnInfo = nullptr;
        AppFixture::TearDown();
    }

    // Starts the program as "Ann" joining the scripted server.
    Program& join() {
        Program& p = start({"Ann", "127.0.0.1", "false"}, QString::number(listener.localPort()));
        EXPECT_TRUE(waitUntil([&] { return server && server->isConnected(); }));
        return p;
    }
    void send(std::initializer_list<QByteArray> messages) {
        QByteArray bytes;
        for (const QByteArray& message : messages)
            bytes += cmd::frame(message);
        server->Send(bytes);
    }
    // Every text the chat shows, a line at a time.
    static QStringList chatLines(Program& p) {
        QStringList lines;
        ChatView& view = *p.chat().chat()->view();
        for (int i = 0; i < view.lineCount(); ++i) {
            QString text;
            for (const ChatView::Item& item : view.lineItems(i))
                text += item.text;
            lines << text;
        }
        return lines;
    }
    static QLabel* label(Program& p, const char* name) { return p.chat().findChild<QLabel*>(name); }

    TSock listener;
    TSock* server = nullptr;
};

// Two players typed "Ann"; the server calls this one "Ann (2)". The client
// wins when the server names "Ann (2)", not "Ann", and its tally says so.
TEST_F(HostileServerTest, TheNameTheServerGaveDecidesTheWinAndTheTally) {
    Program& p = join();
    send({"CMD_sendlogininfo+2", "CMD_existingplayers+1+Ann", "CMD_newplayerinfo+2+Ann (2)",
          "CMD_startgame+Ann+0+", "CMD_winner+Ann+"});
    ASSERT_TRUE(waitUntil([&] {
        return !p.chat().game()->gameRunning() &&
               label(p, "label_winner1")->text().endsWith("Game!");
    }));
    EXPECT_EQ(p.chat().game()->model().ownName(), "Ann (2)");
    EXPECT_EQ(label(p, "label_winner1")->text(), "Ann has Won the Game!");
    TStringGrid& grid = p.windows().tally->grid();
    EXPECT_EQ(grid.cell(1, 0), "1");
    EXPECT_EQ(grid.cell(2, 0), "0");

    send({"CMD_startgame+Ann+0+", "CMD_winner+Ann (2)+", "CMD_winner+Ann (2)+"});
    ASSERT_TRUE(waitUntil([&] { return grid.cell(1, 0) == "2"; }));
    spin(30);
    EXPECT_EQ(label(p, "label_winner1")->text(), "You have Won the Game!");
    EXPECT_EQ(grid.cell(2, 0), "1");
    EXPECT_EQ(grid.cell(1, 0), "2") << "the repeated winner is not counted";
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

// Malformed messages: the first error shows in a box, after the tick that
// raised it; while that box is open the messages go on being handled and
// later errors are written into the chat instead of opening more boxes.
TEST_F(HostileServerTest, MalformedMessagesOpenOneBoxAtATime) {
    Program& p = join();
    ClientConnection& connection = *p.chat().connection();
    int boxes = 0;
    bool handledWhileOpen = false;
    static_cast<Application*>(QCoreApplication::instance())
        ->setErrorReport([&](const QString& text) {
            ++boxes;
            errors << text;
            // A modal box: its own event loop runs until the queue is done.
            waitUntil([&] { return connection.receivedlist().isEmpty(); });
            handledWhileOpen = label(p, "label_score1")->text() == "7";
        });
    QList<QByteArray> script{"CMD_sendlogininfo+3", "CMD_newplayerinfo+3+Ann"};
    for (int i = 0; i < 40; ++i)
        script << "CMD_nextplayer+" + QByteArray(8000, '9') + "+";
    script << "CMD_postscores+1+7+";
    QByteArray bytes;
    for (const QByteArray& message : script)
        bytes += cmd::frame(message);
    server->Send(bytes);
    ASSERT_TRUE(waitUntil([&] { return label(p, "label_score1")->text() == "7"; }));
    spin(30);
    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(handledWhileOpen);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_LT(errors.first().size(), 150) << "the field is quoted in part only";
    EXPECT_EQ(chatLines(p).filter("is not a valid integer value").size(), 39);
}

// Names that would be markup are shown as their characters in every label,
// and no picture they name is read, in any window.
TEST_F(HostileServerTest, MarkupInNamesIsPlainTextInEveryWindow) {
    const QString probe = folder.filePath("probe.png");
    {
        QFile file(probe);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
    }
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, probe.toLocal8Bit().constData(), IN_OPEN | IN_ACCESS), 0);

    const QByteArray img = "<img src=\"" + probe.toLocal8Bit() + "\">";
    Program& p = join();
    send({"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+" + img + "me",
          "CMD_existingplayers+2+<b>" + img + "two</b>", "CMD_existingplayers+3+" + img + "three",
          "CMD_existingplayers+6+" + img + "spy", "CMD_startgame+" + img + "me+0+",
          "CMD_chat+2+" + img + "two chats: hi|clRed", "CMD_nextplayer+3+", "CMD_justwatching+2+1",
          "CMD_winner+" + img + "three+"});
    ASSERT_TRUE(waitUntil([&] {
        return !p.chat().game()->gameRunning() && label(p, "label_winner1")->text().contains("Won");
    }));
    // The tally window: follow a player and show his figures.
    p.chat().action("ViewTally1")->trigger();
    Ttallylist& tally = *p.windows().tally;
    tally.follow(QString::fromLocal8Bit(img) + "three");
    auto* followed = tally.findChild<QListWidget*>("listbox_tally");
    ASSERT_EQ(followed->count(), 1);
    followed->setCurrentRow(0);
    p.chat().action("SpyList1")->trigger();

    QList<QWidget*> windows{&p.chat(), &tally, p.windows().spylist};
    int namesShown = 0;
    for (QWidget* window : windows) {
        window->grab(); // paints everything, as a repaint would
        for (QLabel* shown : window->findChildren<QLabel*>()) {
            if (!shown->text().contains("<img"))
                continue;
            ++namesShown;
            EXPECT_EQ(shown->textFormat(), Qt::PlainText) << shown->objectName().toStdString();
        }
        for (QWidget* widget : window->findChildren<QWidget*>())
            EXPECT_FALSE(widget->toolTip().contains("<img")) << widget->objectName().toStdString();
    }
    // Seats 1 to 3, the winner and its shadow, and the tally's two.
    EXPECT_GE(namesShown, 7);
    EXPECT_TRUE(chatLines(p).contains(" " + QString::fromLocal8Bit(img) + "spy is spying. "));

    char events[4096];
    EXPECT_LE(read(watch, events, sizeof events), 0) << "a named picture was read";
    close(watch);
}

} // namespace
