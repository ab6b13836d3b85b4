#pragma once

#include "protocol/Router.h"
#include "protocol/StreamCutter.h"

#include <QBasicTimer>
#include <QByteArrayList>
#include <QObject>
#include <QPointer>

class ErrorReporter;
class GameSoundPlayer;
class HostSender;
class MainWindowActions;
class Prompter;
class SettingsStore;
class SystemLineWriter;
class TableModel;
class TSock;
struct ClientState;

// The client's side of the connection with the game server. The read event
// only cuts the received bytes into messages and queues them; Timer1 hands
// them to the dispatch table one per tick, oldest first, and runs only while
// messages wait, so an idle client costs no wake-ups. It answers the login
// request and keeps the table model's record of who is present: the four
// playing seats and the spectators (also listed in the spy list).
//
// A handler that raises stops only its own message: the message has left
// the queue already, the error goes to the main window's error report
// (ErrorReporter::reportError), never into a box inside the tick, and the
// next tick goes on. Error texts quote at most maxQuoted characters of what
// the server sent.
//
// The server is not trusted to be sane: a message longer than maxMessage
// (whether or not its end has come), or more than maxQueued messages or
// maxQueuedBytes bytes waiting, closes the connection with a message that
// says why, and the program ends as it does when the host goes away.
class ClientConnection : public QObject {
    Q_OBJECT
public:
    // What the connection reads, writes and asks of the main window.
    struct Needs {
        ClientState& state;
        HostSender& host;
        SystemLineWriter& lines;
        GameSoundPlayer& sounds;
        SettingsStore& settings;
        ErrorReporter& errors;
        MainWindowActions& window;
        Prompter& prompter;
    };

    ClientConnection(const Needs& needs, TSock& sock, TableModel& model, QObject* parent = nullptr);
    ~ClientConnection() override;

    // Filled by the main window: every command the client acts on.
    Router<>& dispatcher() { return m_dispatcher; }

    // sock's OnRead: takes everything received and queues its messages.
    void sockRead();
    // Cuts bytes from the server into messages and queues them; sockRead
    // feeds it, tests may too.
    void received(const QByteArray& bytes);
    // sock's OnInfo: "Socket Closed" closes the main window at once; messages
    // still queued are dropped.
    void sockInfo(const QString& text);
    // One tick of Timer1: handles the oldest queued message.
    void Timer1Timer();

    // The receive queue, oldest first, without terminators.
    const QByteArrayList& receivedlist() const { return m_receivedlist; }
    bool timerActive() const { return m_timer1.isActive(); }
    static constexpr int timerInterval = 1; // milliseconds
    static constexpr qsizetype maxMessage = 64 * 1024;
    // About four seconds of messages at one per tick; a real game sends a
    // few dozen at a time.
    static constexpr int maxQueued = 4096;
    static constexpr qsizetype maxQueuedBytes = 8 * 1024 * 1024;
    static constexpr int maxQuoted = 100;
    static const QString tooLongText;
    static const QString tooManyText;

    // An error text with what it quotes of the server's bytes cut to
    // maxQuoted characters.
    static QString boundedErrorText(const QString& text);

    // Handlers of the dispatch table, each given the message's argument text.
    void sendloginfo(const QByteArray& args);
    void newplayerinfo(const QByteArray& args); // CMD_newplayerinfo and CMD_existingplayers
    void playerdisconnected(const QByteArray& args);
    void havewrongversion(const QByteArray& args);
    void wrongversion(const QByteArray& args);
    void full(const QByteArray& args);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    // Stops everything and unhooks from the socket, which may outlive this
    // object and report its close while it is destroyed.
    void detach();
    // Closes the connection because of the server's misconduct; the text is
    // shown once the read is over, and then the program ends.
    void refuseServer(const QString& text);
    void dropQueue();

    Needs m_needs;
    QPointer<TSock> m_sock;
    TableModel& m_model;
    Router<> m_dispatcher;
    StreamCutter m_cutter;
    QByteArrayList m_receivedlist;
    qsizetype m_queuedBytes = 0;
    QBasicTimer m_timer1;
    bool m_closed = false;
    // While "Game is full" is shown, the close report that follows it waits
    // for the box to be dismissed.
    bool m_fullShown = false;
};
