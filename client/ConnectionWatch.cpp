#include "client/ConnectionWatch.h"

#include "client/ClientState.h"

#include <QApplication>
#include <QRegularExpression>

namespace {
// While a modal box is up (the socket layer's own report, say), a failure
// waits this long before it looks again.
constexpr int modalRecheckMs = 100;
} // namespace

ConnectionWatch::ConnectionWatch(TSock& sock, const ClientState& state, QObject* parent)
    : QObject(parent), m_sock(sock), m_state(state),
      m_alive(std::make_shared<ConnectionWatch*>(this)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ConnectionWatch::timedOut);
    TSock::InfoEvent next = sock.OnInfo;
    std::shared_ptr<ConnectionWatch*> alive = m_alive;
    sock.OnInfo = [alive, next](TSock* sender, TSocketInfo kind, const QString& text) {
        if (*alive && !(*alive)->observe(kind, text))
            return;
        if (next)
            next(sender, kind, text);
    };
}

ConnectionWatch::~ConnectionWatch() {
    *m_alive = nullptr;
}

void ConnectionWatch::joining(const QString& host) {
    m_host = host;
    m_phase = Phase::Watching;
    m_brokeWithError = false;
    m_reason.clear();
    m_timer.start(m_timeoutMs);
}

void ConnectionWatch::lookupFailed() {
    if (m_phase == Phase::Watching)
        fail(notFoundReason());
}

void ConnectionWatch::retry() {
    if (m_host.isEmpty())
        return;
    closeQuietly();
    joining(m_host);
    m_sock.setHostName(m_host);
    try {
        m_sock.Open();
    } catch (const ESockException&) {
        lookupFailed();
    } catch (const std::exception& e) {
        fail(QString::fromUtf8(e.what()));
    }
}

bool ConnectionWatch::observe(TSocketInfo kind, const QString& text) {
    const bool closed = kind == TSocketInfo::Close && text == QLatin1String("Socket Closed");
    if (m_quiet || m_phase == Phase::Failed)
        return !closed; // an abandoned attempt ends nothing
    if (m_phase == Phase::Idle)
        return true;
    if (kind == TSocketInfo::Error) {
        if (!m_state.loggedIn && !m_sock.isConnected()) {
            fail(reasonForError(text));
            return true;
        }
        m_brokeWithError = true;
        return true;
    }
    if (!closed)
        return true;
    if (m_closeExpected && m_closeExpected()) {
        m_phase = Phase::Idle;
        m_timer.stop();
        return true;
    }
    if (!m_state.loggedIn) {
        fail(m_brokeWithError ? reasonForError(text) : closedBeforeLoginReason());
        return false;
    }
    // The connection of a game under way ended: told now, before the close
    // report ends the program.
    m_phase = Phase::Idle;
    m_timer.stop();
    emit connectionEnded(m_host, !m_brokeWithError);
    return true;
}

void ConnectionWatch::timedOut() {
    if (m_phase != Phase::Watching || m_state.loggedIn)
        return;
    // A connection that comes after the player was told there is none
    // would be a game nobody waits for.
    closeQuietly();
    fail(noAnswerReason());
}

void ConnectionWatch::fail(const QString& reason) {
    // A socket whose connect failed is kept as the socket layer left it,
    // until a retry replaces it.
    m_phase = Phase::Failed;
    m_timer.stop();
    m_reason = reason;
    if (m_delivering)
        return;
    m_delivering = true;
    QTimer::singleShot(0, this, &ConnectionWatch::deliverFailure);
}

void ConnectionWatch::closeQuietly() {
    if (!m_sock.hasSocket())
        return;
    m_quiet = true;
    m_sock.Close();
    m_quiet = false;
}

void ConnectionWatch::deliverFailure() {
    if (m_phase != Phase::Failed) {
        m_delivering = false;
        return;
    }
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(modalRecheckMs, this, &ConnectionWatch::deliverFailure);
        return;
    }
    m_delivering = false;
    emit joinFailed(m_host, m_reason);
}

QString ConnectionWatch::reasonForError(const QString& report) {
    static const QRegularExpression namePattern(QStringLiteral("\\(([A-Z_]+)\\)"));
    const QString name = namePattern.match(report).captured(1);
    if (name == QLatin1String("WSAECONNREFUSED"))
        return "nobody there takes games: the connection was refused. The host may not be "
               "hosting yet, or a firewall turns port 7772 away.";
    if (name == QLatin1String("WSAETIMEDOUT"))
        return noAnswerReason();
    if (name == QLatin1String("WSAEHOSTUNREACH") || name == QLatin1String("WSAEHOSTDOWN"))
        return "the host cannot be reached from here. It may be off line.";
    if (name == QLatin1String("WSAENETUNREACH") || name == QLatin1String("WSAENETDOWN"))
        return "this machine has no way to that address. Check its network connection.";
    if (name == QLatin1String("WSAECONNRESET") || name == QLatin1String("WSAECONNABORTED"))
        return "the connection broke off before the game began.";
    return "the connection failed (" + report.left(80) + ").";
}

QString ConnectionWatch::noAnswerReason() {
    return "there was no answer. The address may be wrong, the host may be off line, or a "
           "firewall or router may hold back connections to port 7772.";
}

QString ConnectionWatch::notFoundReason() {
    return "no host of that name could be found. Check the spelling, or use the host's IP "
           "address.";
}

QString ConnectionWatch::closedBeforeLoginReason() {
    return "the host closed the connection before the game began.";
}
