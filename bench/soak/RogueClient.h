#pragma once

#include "protocol/StreamCutter.h"

#include "protocol/Commands.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

class QSocketNotifier;
class SoakWorld;

// The hostile client of the soak run, on a raw socket so that it can do what
// no TSock user would: stop reading, send half messages, open a connection
// too many. At random moments it sends random bytes, lines longer than the
// server takes, floods of chat and of requests, hundreds of requests kept
// waiting, requests in other seats' names, fields out of range, second
// logins under other players' names, and drops and remakes its connection.
// It logs in under its own name or a computer player's, or sends requests
// before a login that never comes, or logs in only for another seat. When
// it holds a playing seat it plays its turns sloppily, or not at all (the
// host then removes it).
//
// It counts what it sends and checks the server's side of it: a connection
// that sent an over-long line or a flood of requests, or never logged in
// for its own seat, must be cut; chat beyond the rate must be dropped, not
// relayed, and told once per flood; nothing sent before the login, and no
// second login, may take effect; its name must be unique at the table. The
// honest clients report anything its spoofed requests achieved.
class RogueClient : public QObject {
    Q_OBJECT
public:
    RogueClient(SoakWorld& world, int port, QObject* parent = nullptr);
    ~RogueClient() override;

    void start();
    void stop();
    // Called every 100 ms: reconnecting, stalls and the cuts it waits for.
    void tick();

private:
    struct Extra;

    void connectNow();
    void disconnect(bool byServer, const QString& why);
    void onReadable();
    void onWritable();
    void sendRaw(const QByteArray& bytes, const char* kind, int messages = 1);
    void sendMessage(const QByteArray& message, const char* kind);
    void onMessage(const QByteArray& message);
    void misbehave();
    void scheduleMisbehave();
    void expectCut(const QString& why, qint64 withinNs);
    void openExtra();
    void playTurnStep(const QByteArray& trigger);
    void checkNames(const cmd::Split& parts);
    void checkOwnEffects(const cmd::Split& parts);
    void probeBeforeLogin();
    void loginForAnotherSeat();

    SoakWorld& m_world;
    int m_port;
    int m_fd = -1;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_out;
    StreamCutter m_cutter;
    bool m_stopped = false;
    int m_seat = 0;
    bool m_loggedIn = false;
    qint64 m_reconnectAtNs = -1;
    qint64 m_stallUntilNs = 0;
    bool m_bloating = false;   // not reading while long lines come back to it
    qint64 m_unterminated = 0; // bytes sent since the last 0xFF
    QString m_cutWhy;
    qint64 m_cutDeadlineNs = 0;
    bool m_myTurn = false;
    bool m_silentTurn = false;
    int m_turnJunk = 0;
    Extra* m_extra = nullptr;
    // What the checks of chat, login and names need, per connection.
    qint64 m_connectedNs = 0;
    int m_ownRelayed = 0;      // its own chat lines, actions and sounds relayed back
    qint64 m_lastNoticeNs = 0; // the server's last "too fast" line
    int m_notices = 0;
    qint64 m_noticeDueNs = 0; // a chat flood must have been told by then
    bool m_named = false;     // its own arrival has been announced
    QByteArray m_ownName;
    QHash<int, QByteArray> m_names; // the other seats' names
};
