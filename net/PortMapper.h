#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QThread;
class PortMapperWorker;

// Asks the local network's router to forward a TCP port (external = internal)
// to this machine, so that people on the internet can join a game hosted
// here: UPnP IGD first, else NAT-PMP, with a lease of a few hours so that a
// crash does not leave the port open for ever.
//
// The router libraries block, so they run in a module (climora-router.so,
// loaded with the first open()) on one worker thread that does nothing else.
// Answers come back to this object's thread as queued signals; nothing here
// ever waits on the worker except the destructor, for at most exitWaitMs.
// An answer that has not come within answerLimitMs counts as NoRouter; if
// the router still forwards the port afterwards, that forwarding is taken
// back at once.
class PortMapper : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        // The router forwards the port; publicAddress tells where, if known.
        Opened,
        // No router answered, or it answered garbage, or too late.
        NoRouter,
        // The router's own outside address is private or shared (carrier-grade
        // NAT): nobody on the internet can reach this host directly.
        NoPublicAddress,
        // A router answered but would not forward the port (taken by another
        // computer, not allowed); detail has its words.
        Refused,
    };
    Q_ENUM(Outcome)
    enum class Method { None, Upnp, NatPmp };
    Q_ENUM(Method)

    struct Result {
        Outcome outcome = Outcome::NoRouter;
        Method method = Method::None;
        quint16 port = 0;
        // A checked public IPv4 address in dotted form, or empty.
        QString publicAddress;
        // Printable text of at most 100 characters, or empty.
        QString detail;
    };

    static constexpr quint16 gamePort = 7772;
    static constexpr quint32 leaseSeconds = 4 * 60 * 60;
    static constexpr int answerLimitMs = 4500;
    static constexpr int exitWaitMs = 2000;

    // modulePaths: where the router module is looked for, in order.
    explicit PortMapper(QObject* parent = nullptr);
    explicit PortMapper(QStringList modulePaths, QObject* parent = nullptr);
    // Takes the forwarding back, waiting at most exitWaitMs for the router.
    ~PortMapper() override;

    // Asks for `port` to be forwarded; finished() follows, always, within
    // answerLimitMs. While an answer is awaited another open() of the same
    // port does nothing; open() of a port already forwarded repeats its
    // result; another port replaces the forwarding.
    void open(quint16 port = gamePort);
    // Takes the forwarding back (hosting ends). closed() follows once the
    // router has been asked. An open() still waiting is abandoned, and what
    // it may still forward is taken back too.
    void close();

    bool isOpen() const { return m_state == State::Open; }
    bool isWaiting() const { return m_state == State::Opening; }
    Result lastResult() const { return m_result; }

    // The one system line a player reads about the result, plain text.
    static QString describe(const Result& result);
    // Beside the program, then the installed library folder relative to it.
    static QStringList defaultPaths();

signals:
    void finished(const PortMapper::Result& result);
    // The router has been asked to remove the forwarding; confirmed when it
    // said it did.
    void closed(bool confirmed);

private:
    enum class State { Idle, Opening, Open };

    void startWorker();
    void onAnswer(quint64 serial, int outcome, int method, const QString& address,
                  const QString& detail);
    void onWatchdog();
    void postClose(quint64 serial, bool announce);

    QStringList m_modulePaths;
    QThread* m_thread = nullptr;
    PortMapperWorker* m_worker = nullptr;
    QTimer m_watchdog;
    State m_state = State::Idle;
    quint64 m_serial = 0;
    quint16 m_port = 0;
    Result m_result;
};

Q_DECLARE_METATYPE(PortMapper::Result)
