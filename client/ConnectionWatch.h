#pragma once

#include "net/TSock.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

struct ClientState;

// Watches the client socket of a copy that joins another host, so that a
// connection that cannot be made or that ends is put into words instead of
// leaving the loading line for ever or the window vanishing without a word.
//
// It sits in front of the socket's OnInfo and OnDisconnect handlers and
// passes every report on, except the close reports of attempts it abandons
// itself (a join that failed before the login, a retry): those would end the
// program through the client's close handling.
//
//  - A join fails when the connection is refused or cannot be made, when the
//    host name cannot be found, when the connection closes before the host
//    asked for the login, or when the login request has not come within the
//    time-out. joinFailed is then emitted from the event loop once no modal
//    box is up (the socket layer's own report of a lookup failure comes
//    first), with the reason in a player's words.
//  - After the login, a close that is not expected (the client's own close
//    handling for "Game is full" is) emits connectionEnded right away, before
//    the close report goes on and the program ends.
//
// The host's own client never joins, so it is never watched.
class ConnectionWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultTimeoutMs = 8000;

    ConnectionWatch(TSock& sock, const ClientState& state, QObject* parent = nullptr);
    ~ConnectionWatch() override;

    // How long a join may take until the host's login request; tests shorten it.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }
    // Asked when the connection closes: true when the client already knows
    // why (the host said the game is full), so the close goes on untold.
    void setCloseExpected(std::function<bool()> expected) { m_closeExpected = std::move(expected); }

    // The socket is about to be opened to the host: the watch starts.
    void joining(const QString& host);
    // Opening the socket raised because the host name was not found.
    void lookupFailed();
    // Closes the failed attempt quietly and opens the socket to the same host again.
    void retry();

    bool isWatching() const { return m_phase != Phase::Idle; }
    QString host() const { return m_host; }

    // The reason for a connect error reported as "Error #code (NAME)".
    static QString reasonForError(const QString& report);
    static QString noAnswerReason();
    static QString notFoundReason();
    static QString closedBeforeLoginReason();

signals:
    void joinFailed(const QString& host, const QString& reason);
    // The connection to the host ended after the login: orderly is true when
    // the host closed it, false when it broke.
    void connectionEnded(const QString& host, bool orderly);

private:
    // Watching: from joining() on, through the login, until the connection
    // ends. Failed: the attempt was abandoned and its failure is being told.
    enum class Phase { Idle, Watching, Failed };

    // Returns whether the report goes on to the client's handler.
    bool observe(TSocketInfo kind, const QString& text);
    void timedOut();
    void fail(const QString& reason);
    void closeQuietly();
    void deliverFailure();

    TSock& m_sock;
    const ClientState& m_state;
    std::function<bool()> m_closeExpected;
    QTimer m_timer;
    int m_timeoutMs = defaultTimeoutMs;
    Phase m_phase = Phase::Idle;
    QString m_host;
    QString m_reason;
    bool m_quiet = false;
    bool m_brokeWithError = false;
    bool m_delivering = false;
    // Cleared when the watch goes, so the socket's handler then only passes
    // reports on.
    std::shared_ptr<ConnectionWatch*> m_alive;
};
