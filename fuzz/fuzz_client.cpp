// The whole program's main window as the client of a hostile server. A fuzz
// input is the byte stream such a server sends: it goes through the client's
// own framing and queue (ClientConnection::received), and the queue is run by
// Timer1 events delivered through the application object, so that an error
// in a handler takes the road it takes in the program: the main window hands
// the first to the application's error report once the tick is over (counted
// here), writes those that follow while it is up into the chat, and the next
// message goes on. A stream the client refuses (a message over 64 KiB, or
// more messages than it queues) closes the connection and the window.
//
// The program joins a listener of the harness on the loopback address, so
// that what the client sends back goes out on a real connection; the
// harness reads it and checks that every message is framed.
//
// Input: one byte of delivery (how many bytes a read carries, and whether
// the server may refuse the client with "Game is full"), then the stream.
//
// The program is built once and reused; it is built again after "Game is
// full" ended it, and every few hundred inputs, when the harness closes the
// connection first (which must close the window). CLIMORA_FUZZ_FRESH=1
// builds it for every input, so that a found input reproduces on its own.
#include "FuzzScratch.h"
#include "app/Application.h"
#include "app/Program.h"
#include "client/ClientConnection.h"
#include "net/TSock.h"
#include "social/ChatDisplay.h"
#include "support/FakePrompter.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimerEvent>

#include <cstdint>
#include <cstdio>

namespace {

constexpr int reuseLimit = 300;

Application* application = nullptr;
FakePrompter* prompter = nullptr;
QTcpServer* listener = nullptr;
QTcpSocket* peer = nullptr; // the server's end of the client's connection
QByteArray fromClient;      // bytes of an unfinished message from the client
// Never destroyed at exit: the windows must go before the application
// object, which is never destroyed either.
Program* program = nullptr;
int inputsOnProgram = 0;
int programsMade = 0;
qint64 buildMs = 0;
bool windowClosed = false;
bool fresh = false;
QMap<QString, int> errorKinds; // the errors reported, by errorKind()

// Notes the main window's close, which ends the program.
class CloseWatch : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close)
            windowClosed = true;
        return false;
    }
};

void spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    while (clock.elapsed() < ms);
}

// Reads what the client sent: every message must be framed as the catalogue
// says, whatever the server sent it.
void drainClientBytes() {
    if (!peer)
        return;
    fromClient += peer->readAll();
    qsizetype end;
    while ((end = fromClient.indexOf(char(0xFF))) >= 0) {
        const QByteArray message = fromClient.left(end);
        fromClient.remove(0, end + 1);
        FUZZ_CHECK(message.startsWith("CMD_"));
    }
    FUZZ_CHECK(fromClient.size() < 65536);
}

void dropProgram() {
    if (!program)
        return;
    delete program;
    program = nullptr;
    if (peer) {
        peer->abort();
        peer->deleteLater();
        peer = nullptr;
    }
    fromClient.clear();
    spin(0);
}

// The host goes away: the client's window must close, whatever the
// program went through.
void closeFromServer() {
    if (!program || windowClosed || !peer)
        return;
    peer->disconnectFromHost();
    QElapsedTimer clock;
    clock.start();
    while (!windowClosed && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    FUZZ_CHECK(windowClosed);
}

void makeProgram() {
    QElapsedTimer took;
    took.start();
    closeFromServer();
    dropProgram();
    // Every program starts from the same files.
    QFile::remove(fuzzScratch().filePath("orvanelobby.ini"));
    QFile::remove(fuzzScratch().filePath("Climoratally.tld"));
    Program::Options options;
    options.iniPath = fuzzScratch().filePath("orvanelobby.ini");
    options.tallyPath = fuzzScratch().filePath("Climoratally.tld");
    options.gamePort = QString::number(listener->serverPort());
    // Joins the harness as player "Fuzz"; sounds stay off.
    program = new Program(*prompter, QStringList{"Fuzz", "127.0.0.1", "false"}, options);
    Tchat& chat = program->chat();
    chat.setPlaySounds(false);
    chat.setPlayerPhraseSounds(false);
    chat.installEventFilter(new CloseWatch(&chat));
    windowClosed = false;
    chat.show();
    QElapsedTimer clock;
    clock.start();
    while (!peer && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        if (listener->hasPendingConnections())
            peer = listener->nextPendingConnection();
    }
    FUZZ_CHECK(peer != nullptr);
    while (!chat.clientSocket()->isConnected() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    FUZZ_CHECK(chat.clientSocket()->isConnected());
    inputsOnProgram = 0;
    ++programsMade;
    buildMs += took.elapsed();
}

// The id of the connection's Timer1, as the event dispatcher knows it.
int timer1Id(ClientConnection* connection) {
    const auto timers = QAbstractEventDispatcher::instance()->registeredTimers(connection);
    for (const auto& timer : timers)
        if (timer.interval == ClientConnection::timerInterval)
            return timer.timerId;
    return -1;
}

// One tick of Timer1, through the application object as the event loop
// would deliver it.
bool tick(ClientConnection* connection) {
    if (!connection->timerActive())
        return false;
    const int id = timer1Id(connection);
    FUZZ_CHECK(id > 0);
    QTimerEvent event(id);
    QCoreApplication::sendEvent(connection, &event);
    return true;
}

// An error text without the hostile bytes it quotes: "'…' is not a valid
// integer value", "There is no seat …".
QString errorKind(const QString& text) {
    if (text.startsWith('\'')) {
        const qsizetype close = text.lastIndexOf("' ");
        if (close > 0)
            return QStringLiteral("'…'") + text.mid(close + 1);
    }
    qsizetype end = 0;
    while (end < text.size() && end < 60 && text[end] != '\'' && !text[end].isDigit() &&
           text[end].isPrint())
        ++end;
    return text.left(end) + (end < text.size() ? QStringLiteral("…") : QString());
}

void reportErrorKinds() {
    std::fprintf(stderr, "fuzz_client: %d programs built in %lld ms\n", programsMade, buildMs);
    std::fprintf(stderr, "fuzz_client: errors reported by the program, by kind:\n");
    for (auto it = errorKinds.cbegin(); it != errorKinds.cend(); ++it)
        std::fprintf(stderr, "%8d  %s\n", it.value(), qPrintable(it.key()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
    fresh = qEnvironmentVariableIntValue("CLIMORA_FUZZ_FRESH") != 0;
    application = new Application(*argc, *argv);
    application->setErrorReport([](const QString& text) { ++errorKinds[errorKind(text)]; });
    std::atexit(reportErrorKinds);
    prompter = new FakePrompter;
    listener = new QTcpServer;
    FUZZ_CHECK(listener->listen(QHostAddress::LocalHost, 0));
    makeProgram();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 8192)
        return 0;
    if (!program || windowClosed || fresh || inputsOnProgram >= reuseLimit)
        makeProgram();
    ++inputsOnProgram;

    const uint8_t delivery = data[0];
    const qsizetype readSize = delivery % 64 == 0 ? qsizetype(size) : delivery % 64;
    QByteArray stream(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    // "Game is full" ends the program, and building it again costs more than
    // a hundred ordinary inputs: only inputs whose delivery byte is 0xFE or
    // 0xFF may carry it.
    if (delivery < 0xFE)
        stream.replace("CMD_full", "CMD_fulL");

    ClientConnection* connection = program->chat().connection();
    // The reads, each followed by one tick, as if the network were slower
    // than Timer1; then the rest of the queue.
    for (qsizetype at = 0; at < stream.size() && !windowClosed; at += readSize) {
        connection->received(stream.mid(at, readSize));
        tick(connection);
    }
    for (int ticks = 0; ticks < 4 * 8192 && !windowClosed && tick(connection); ++ticks) {
    }
    FUZZ_CHECK(windowClosed || connection->receivedlist().isEmpty());
    spin(0);
    drainClientBytes();
    // What the input wrote into the chat goes with it, so that the chat does
    // not grow from input to input (and LeakSanitizer sees balanced inputs).
    if (!windowClosed)
        program->chat().chat()->ClearMainChat1Click();

    if (qEnvironmentVariableIsSet("CLIMORA_FUZZ_TRACE") && windowClosed)
        std::fprintf(stderr, "closed: delivery %d, prompts %s\n", delivery,
                     qPrintable(prompter->messages.join('|')));
    prompter->messages.clear();
    prompter->questions.clear();
    return 0;
}
