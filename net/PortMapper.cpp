#include "net/PortMapper.h"

#include "net/Ipv4Address.h"
#include "net/ModuleLoader.h"
#include "net/PortMapperWorker.h"
#include "net/RouterClient.h"

#include <QThread>

#include <vector>

namespace {

constexpr char moduleName[] = "climora-router.so";

// A worker thread given up at exit, and its worker, stay listed here to the
// process's end: they are left on purpose, not lost, and a leak check sees
// them still held.
struct AbandonedWorker {
    QThread* thread;
    QObject* worker;
};
std::vector<AbandonedWorker>& abandonedWorkers() {
    // Never destroyed, so that it still holds them after the static objects are gone.
    static auto* workers = new std::vector<AbandonedWorker>;
    return *workers;
}
// The worker's own budget, short of the watchdog so that a router that
// merely does not answer ends in the worker's NoRouter, not the watchdog's.
constexpr int workerBudgetMs = 3500;
// How long taking a forwarding back may wait for the router.
constexpr int closeBudgetMs = 1500;
constexpr int maxDetail = 100;

PortMapper::Outcome outcomeFrom(int value) {
    switch (RouterClient::Outcome(value)) {
    case RouterClient::Outcome::Opened:
        return PortMapper::Outcome::Opened;
    case RouterClient::Outcome::NoPublicAddress:
        return PortMapper::Outcome::NoPublicAddress;
    case RouterClient::Outcome::Refused:
        return PortMapper::Outcome::Refused;
    case RouterClient::Outcome::NoRouter:
        break;
    }
    return PortMapper::Outcome::NoRouter;
}

PortMapper::Method methodFrom(int value) {
    switch (RouterClient::Method(value)) {
    case RouterClient::Method::Upnp:
        return PortMapper::Method::Upnp;
    case RouterClient::Method::NatPmp:
        return PortMapper::Method::NatPmp;
    case RouterClient::Method::None:
        break;
    }
    return PortMapper::Method::None;
}

// The router's words, kept only as printable ASCII and bounded.
QString plainText(const QString& text) {
    QString kept;
    for (const QChar c : text) {
        if (kept.size() >= maxDetail)
            break;
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            kept += c;
    }
    return kept.trimmed();
}

} // namespace

PortMapper::PortMapper(QObject* parent) : PortMapper(defaultPaths(), parent) {}

PortMapper::PortMapper(QStringList modulePaths, QObject* parent)
    : QObject(parent), m_modulePaths(std::move(modulePaths)) {
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(answerLimitMs);
    connect(&m_watchdog, &QTimer::timeout, this, &PortMapper::onWatchdog);
}

PortMapper::~PortMapper() {
    m_watchdog.stop();
    if (m_thread == nullptr)
        return;
    if (m_state != State::Idle)
        postClose(m_serial, false);
    // Quit after the queued close: a queued call, so it runs in order.
    QThread* thread = m_thread;
    QMetaObject::invokeMethod(
        m_worker, [thread] { thread->quit(); }, Qt::QueuedConnection);
    if (m_thread->wait(exitWaitMs)) {
        delete m_worker;
        delete m_thread;
        return;
    }
    // The router holds the worker inside a library call. The program is
    // ending: leave the thread to the process's end rather than wait on.
    disconnect(m_worker, nullptr, this, nullptr);
    m_thread->setParent(nullptr);
    abandonedWorkers().push_back({m_thread, m_worker});
}

QStringList PortMapper::defaultPaths() {
    return ModuleLoader::defaultPaths(moduleName);
}

void PortMapper::startWorker() {
    if (m_thread != nullptr)
        return;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("router"));
    m_worker = new PortMapperWorker(m_modulePaths);
    m_worker->moveToThread(m_thread);
    connect(m_worker, &PortMapperWorker::answered, this, &PortMapper::onAnswer,
            Qt::QueuedConnection);
    connect(
        m_worker, &PortMapperWorker::closed, this,
        [this](bool announce, bool confirmed) {
            if (announce)
                emit closed(confirmed);
        },
        Qt::QueuedConnection);
    m_thread->start();
}

void PortMapper::open(quint16 port) {
    if (m_state != State::Idle && port == m_port) {
        if (m_state == State::Open) {
            const Result repeat = m_result;
            QMetaObject::invokeMethod(
                this, [this, repeat] { emit finished(repeat); }, Qt::QueuedConnection);
        }
        return;
    }
    if (m_state != State::Idle)
        postClose(m_serial, false);
    startWorker();
    m_state = State::Opening;
    m_port = port;
    const quint64 serial = ++m_serial;
    PortMapperWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker, serial, port] { worker->open(serial, port, leaseSeconds, workerBudgetMs); },
        Qt::QueuedConnection);
    m_watchdog.start();
}

void PortMapper::close() {
    if (m_state == State::Idle)
        return;
    m_watchdog.stop();
    postClose(m_serial, true);
    m_result = Result();
}

void PortMapper::postClose(quint64 serial, bool announce) {
    PortMapperWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, serial, announce] { worker->close(serial, closeBudgetMs, announce); },
        Qt::QueuedConnection);
    m_state = State::Idle;
    m_watchdog.stop();
}

void PortMapper::onAnswer(quint64 serial, int outcome, int method, const QString& address,
                          const QString& detail) {
    if (serial != m_serial || m_state != State::Opening) {
        // Too late, or abandoned: what it forwarded is not wanted any more.
        // The worker leaves alone a forwarding that a later open() made.
        if (outcomeFrom(outcome) == Outcome::Opened) {
            PortMapperWorker* worker = m_worker;
            QMetaObject::invokeMethod(
                worker, [worker, serial] { worker->close(serial, closeBudgetMs, false); },
                Qt::QueuedConnection);
        }
        return;
    }
    m_watchdog.stop();
    Result result;
    result.outcome = outcomeFrom(outcome);
    result.method = methodFrom(method);
    result.port = m_port;
    const auto parsed = Ipv4Address::parse(address.toStdString());
    if (parsed && parsed->isPublic())
        result.publicAddress = QString::fromStdString(parsed->toString());
    if (result.outcome == Outcome::Refused)
        result.detail = plainText(detail);
    m_state = result.outcome == Outcome::Opened ? State::Open : State::Idle;
    m_result = result;
    emit finished(result);
}

void PortMapper::onWatchdog() {
    if (m_state != State::Opening)
        return;
    m_state = State::Idle;
    Result result;
    result.port = m_port;
    m_result = result;
    // Whatever the worker answers for this request now comes too late.
    ++m_serial;
    emit finished(result);
}

QString PortMapper::describe(const Result& result) {
    const QString port = QString::number(result.port);
    switch (result.outcome) {
    case Outcome::Opened:
        if (result.publicAddress.isEmpty())
            return QStringLiteral("Your router now forwards port %1 to this computer: others on "
                                  "the internet can join at its public address.")
                .arg(port);
        return QStringLiteral("Your router now forwards port %1 to this computer: others on the "
                              "internet can join at %2.")
            .arg(port, result.publicAddress);
    case Outcome::NoRouter:
        break;
    case Outcome::NoPublicAddress:
        return QStringLiteral("Your router has no public address of its own (carrier-grade NAT): "
                              "others on the internet cannot reach this host directly.");
    case Outcome::Refused:
        if (result.detail.isEmpty())
            return QStringLiteral("Your router refused to forward port %1: others on the internet "
                                  "may not be able to join this game.")
                .arg(port);
        return QStringLiteral("Your router refused to forward port %1 (%2): others on the "
                              "internet may not be able to join this game.")
            .arg(port, result.detail);
    }
    return QStringLiteral(
        "No router answered: others on the internet may not be able to join this game.");
}
