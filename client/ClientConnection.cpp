#include "client/ClientConnection.h"

#include "client/ClientState.h"
#include "client/ErrorReporter.h"
#include "client/GameSoundPlayer.h"
#include "client/HostSender.h"
#include "client/MainWindowActions.h"
#include "client/SeatNames.h"
#include "client/SettingsStore.h"
#include "client/SystemLineWriter.h"
#include "client/TableModel.h"
#include "net/TSock.h"
#include "protocol/Commands.h"
#include "protocol/Cp1252.h"
#include "protocol/Messages.h"
#include "ui/Prompter.h"

#include <QTimer>
#include <QTimerEvent>

namespace {
const QString notAnInteger = QStringLiteral("' is not a valid integer value");
} // namespace

const QString ClientConnection::tooLongText =
    QStringLiteral("The host sent a message longer than 64 KiB. The connection is closed.");
const QString ClientConnection::tooManyText = QStringLiteral(
    "The host sent more messages than the game can keep up with. The connection is closed.");

QString ClientConnection::boundedErrorText(const QString& text) {
    const QString more(QChar(0x2026));
    // "'field' is not a valid integer value": the field is cut, the rest kept.
    if (text.startsWith(QLatin1Char('\'')) && text.endsWith(notAnInteger)) {
        const QString field = text.mid(1, text.size() - 1 - notAnInteger.size());
        if (field.size() > maxQuoted)
            return "'" + field.left(maxQuoted) + more + notAnInteger;
        return text;
    }
    // Other texts quote less than this, unless they quote the server.
    constexpr qsizetype longest = 2 * maxQuoted;
    return text.size() > longest ? text.left(longest) + more : text;
}

ClientConnection::ClientConnection(const Needs& needs, TSock& sock, TableModel& model,
                                   QObject* parent)
    : QObject(parent), m_needs(needs), m_sock(&sock), m_model(model) {
    sock.OnRead = [this](TSock*, int) { sockRead(); };
    sock.OnInfo = [this](TSock*, TSocketInfo, const QString& text) { sockInfo(text); };
    // Once the model (kept by the board panel) is gone the main window is
    // being torn down: the socket's close report must not reach it any more.
    connect(&model, &QObject::destroyed, this, [this] { detach(); });
}

ClientConnection::~ClientConnection() {
    detach();
}

void ClientConnection::dropQueue() {
    m_timer1.stop();
    m_receivedlist.clear();
    m_queuedBytes = 0;
}

void ClientConnection::detach() {
    m_closed = true;
    dropQueue();
    if (m_sock) {
        m_sock->OnRead = nullptr;
        m_sock->OnInfo = nullptr;
        m_sock = nullptr;
    }
}

void ClientConnection::sockRead() {
    if (m_sock)
        received(m_sock->Receive());
}

void ClientConnection::received(const QByteArray& bytes) {
    if (m_closed)
        return;
    // An empty message (two terminators in a row) is queued too and ignored
    // when its tick comes.
    for (QByteArray& message : m_cutter.feed(bytes)) {
        if (message.size() > maxMessage)
            return refuseServer(tooLongText);
        m_queuedBytes += message.size();
        m_receivedlist.append(std::move(message));
    }
    if (m_cutter.pendingSize() > maxMessage)
        return refuseServer(tooLongText);
    if (m_receivedlist.size() > maxQueued || m_queuedBytes > maxQueuedBytes)
        return refuseServer(tooManyText);
    if (!m_receivedlist.isEmpty() && !m_timer1.isActive())
        m_timer1.start(timerInterval, this);
}

void ClientConnection::refuseServer(const QString& text) {
    m_closed = true;
    dropQueue();
    m_cutter.clear();
    // Its close report finds the connection closed already and does nothing.
    if (m_sock)
        m_sock->Close();
    // Not inside the read event: the box runs an event loop of its own.
    QTimer::singleShot(0, this, [this, text] {
        m_needs.prompter.message(text);
        m_needs.window.closeMainWindow();
    });
}

void ClientConnection::sockInfo(const QString& text) {
    if (text != "Socket Closed" || m_closed)
        return;
    if (m_fullShown)
        return; // the server drops a refused client: the box closes the window
    m_closed = true;
    dropQueue();
    m_needs.window.closeMainWindow();
}

void ClientConnection::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timer1.timerId())
        Timer1Timer();
    else
        QObject::timerEvent(event);
}

void ClientConnection::Timer1Timer() {
    if (m_receivedlist.isEmpty()) {
        m_timer1.stop();
        return;
    }
    const QByteArray message = m_receivedlist.takeFirst();
    m_queuedBytes -= message.size();
    if (m_receivedlist.isEmpty())
        m_timer1.stop();
    try {
        m_dispatcher.dispatch(message);
    } catch (const std::exception& e) {
        m_needs.errors.reportError(boundedErrorText(QString::fromUtf8(e.what())));
    }
}

void ClientConnection::sendloginfo(const QByteArray& args) {
    const int seat = msg::readSeatOnly(args).seat;
    m_model.setOwnSeat(seat);
    ClientState& state = m_needs.state;
    state.loggedIn = true;
    m_needs.host.send(cmd::logininfo_(seat, cmd::version, cp1252::fromUnicode(state.playerName)));
}

void ClientConnection::newplayerinfo(const QByteArray& args) {
    const msg::SeatName arrival = msg::readSeatName(args);
    const int seat = arrival.seat;
    TableModel::requireSeat(seat);
    const QString name = cp1252::toUnicode(arrival.name);
    const bool own = m_model.isOwn(seat);

    // The server may have changed the typed name to keep names apart; the
    // client goes by the name the server gave it.
    m_model.seatArrived(seat, name);
    if (own) {
        m_needs.lines.systemLine("You are Connected.");
        m_needs.settings.loadSettings();
    } else {
        m_needs.lines.systemLine(name + " is Connected.");
    }
    if (!seats::isPlaying(seat)) {
        m_needs.lines.systemLine(own ? QString("You are spying.") : name + " is spying.");
    }
    m_needs.sounds.playsounds("entered");
}

void ClientConnection::playerdisconnected(const QByteArray& args) {
    const msg::SeatName departure = msg::readSeatName(args);
    const int seat = departure.seat;
    TableModel::requireSeat(seat);
    const QString name = cp1252::toUnicode(departure.name);

    if (seats::isPlaying(seat)) {
        // A computer player leaving (the seat shows its name) writes no line.
        const QString caption = m_model.seatLeft(seat);
        if (caption != QLatin1String(seats::waiting) && caption != seats::computerName(seat))
            m_needs.lines.systemLine(caption + " disconnected.");
        return;
    }
    // A spectator seat nobody holds here writes no line.
    if (m_model.seat(seat).present) {
        m_model.seatLeft(seat);
        m_needs.lines.systemLine(name + " has left.");
    }
}

void ClientConnection::havewrongversion(const QByteArray& args) {
    m_needs.lines.systemLine(cp1252::toUnicode(msg::readHavewrongversion(args)) +
                             " has a different version of the game then you.");
}

void ClientConnection::wrongversion(const QByteArray&) {
    m_needs.lines.systemLine("You have a differnt version of the game then the host.");
}

void ClientConnection::full(const QByteArray&) {
    m_fullShown = true;
    m_needs.prompter.message("Game is full");
    m_fullShown = false;
    m_closed = true;
    dropQueue();
    m_needs.window.closeMainWindow();
}
