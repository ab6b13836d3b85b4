#include "client/ClientConnection.h"

#include "client/ClientServices.h"
#include "client/EViewError.h"
#include "client/Picture.h"
#include "client/SeatsView.h"
#include "net/TSock.h"
#include "protocol/Commands.h"
#include "protocol/Cp1252.h"
#include "protocol/FieldReader.h"
#include "ui/Prompter.h"

#include <QLabel>
#include <QTimer>
#include <QTimerEvent>

namespace {
// Seats the server hands out: 1 to 4 play, 5 to 9 watch.
constexpr int highestSeat = 9;

int readSeat(FieldReader& reader) {
    const QByteArray field = reader.next();
    const int seat = FieldReader::toInt(field);
    if (seat < 1 || seat > highestSeat)
        throw EViewError("There is no seat " + QString::number(seat));
    return seat;
}

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

ClientConnection::ClientConnection(ClientServices& services, TSock& sock, SeatsView& seats,
                                   QObject* parent)
    : QObject(parent), m_services(services), m_sock(&sock), m_seats(seats) {
    sock.OnRead = [this](TSock*, int) { sockRead(); };
    sock.OnInfo = [this](TSock*, TSocketInfo, const QString& text) { sockInfo(text); };
    // Once the board panel is gone the main window is being torn down: the
    // socket's close report must not reach it any more.
    connect(&seats, &QObject::destroyed, this, [this] { detach(); });
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
        m_services.prompter().message(text);
        m_services.closeMainWindow();
    });
}

void ClientConnection::sockInfo(const QString& text) {
    if (text != "Socket Closed" || m_closed)
        return;
    if (m_fullShown)
        return; // the server drops a refused client: the box closes the window
    m_closed = true;
    dropQueue();
    m_services.closeMainWindow();
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
        m_services.reportError(boundedErrorText(QString::fromUtf8(e.what())));
    }
}

void ClientConnection::sendloginfo(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = readSeat(reader);
    ClientState& state = m_services.state();
    state.ownSeat = seat;
    state.loggedIn = true;
    m_services.send(cmd::logininfo_(seat, cmd::version, cp1252::fromUnicode(state.playerName)));
}

void ClientConnection::newplayerinfo(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = readSeat(reader);
    const QString name = cp1252::toUnicode(reader.rest());
    const bool own = seat == m_services.state().ownSeat;

    if (own) {
        // The server may have changed the typed name to keep names apart;
        // the client goes by the name the server gave it.
        m_services.state().ownName = name;
        m_services.systemLine("You are Connected.");
        m_services.loadSettings();
    } else {
        m_services.systemLine(name + " is Connected.");
    }
    if (QLabel* label = m_seats.nameLabel(seat)) {
        label->setText(name);
        label->show();
        m_seats.scoreLabel(seat)->show();
    } else {
        m_services.addSpy(QString::number(seat) + ": " + name);
        m_services.systemLine(own ? QString("You are spying.") : name + " is spying.");
    }
    m_services.playsounds("entered");
}

void ClientConnection::playerdisconnected(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = readSeat(reader);
    const QString name = cp1252::toUnicode(reader.rest());

    if (QLabel* label = m_seats.nameLabel(seat)) {
        // A computer player leaving (the label shows its name) writes no line.
        const QString caption = label->text();
        if (caption != SeatsView::waiting && caption != SeatsView::computerName(seat))
            m_services.systemLine(caption + " disconnected.");
        // Seat 2 is the computer's whenever no person holds it.
        label->setText(seat == 2 ? SeatsView::computerName(2) : QString(SeatsView::waiting));
        m_seats.eyes(seat)->hide();
        return;
    }
    if (m_services.removeSpy(QString::number(seat) + ": " + name))
        m_services.systemLine(name + " has left.");
}

void ClientConnection::havewrongversion(const QByteArray& args) {
    m_services.systemLine(cp1252::toUnicode(args) +
                          " has a different version of the game then you.");
}

void ClientConnection::wrongversion(const QByteArray&) {
    m_services.systemLine("You have a differnt version of the game then the host.");
}

void ClientConnection::full(const QByteArray&) {
    m_fullShown = true;
    m_services.prompter().message("Game is full");
    m_fullShown = false;
    m_closed = true;
    dropQueue();
    m_services.closeMainWindow();
}
