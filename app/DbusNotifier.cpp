#include "app/DbusNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QVariantMap>

namespace {
const char* const service = "org.freedesktop.Notifications";
const char* const path = "/org/freedesktop/Notifications";
const char* const interface = "org.freedesktop.Notifications";

QDBusMessage call(const char* method) {
    return QDBusMessage::createMethodCall(service, path, interface, method);
}

// The session bus the desktop runs: the address the environment names, else
// the per-user bus socket. Without either there is none, and no attempt is
// made to launch one (that could take long or start a stray daemon).
QString sessionAddress() {
    const QString named = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!named.isEmpty())
        return named;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return QString();
    const QString socket = runtime + QStringLiteral("/bus");
    return QFileInfo::exists(socket) ? QStringLiteral("unix:path=") + socket : QString();
}
} // namespace

DbusNotifier::DbusNotifier(const QString& busAddress, QObject* parent)
    : QObject(parent), m_address(busAddress),
      m_connectionName(QStringLiteral("climora-notify-%1").arg(quintptr(this), 0, 16)) {}

DbusNotifier::~DbusNotifier() {
    if (m_connected) {
        withdraw();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
}

bool DbusNotifier::connectBus() {
    if (m_tried)
        return m_connected;
    m_tried = true;
    const QString address = m_address.isEmpty() ? sessionAddress() : m_address;
    if (address.isEmpty())
        return false;
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_connectionName);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        return false;
    }
    m_connected = true;
    // Any sender: naming the service would make the bus look its owner up
    // and wait for the answer. Only the numbers of this program's own
    // notifications are acted on.
    bus.connect(QString(), path, interface, "ActionInvoked", this,
                SLOT(actionInvoked(uint, QString)));
    bus.connect(QString(), path, interface, "NotificationClosed", this,
                SLOT(notificationClosed(uint, uint)));
    return true;
}

void DbusNotifier::show(const QString& summary, const QString& body) {
    if (!connectBus())
        return;
    QDBusMessage notify = call("Notify");
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("climora")},
                            {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}};
    notify << QStringLiteral("Climora") << m_id << QStringLiteral("climora") << summary << body
           << QStringList{QStringLiteral("default"), QStringLiteral("Show Climora")} << hints << -1;
    const quint64 request = ++m_request;
    m_wanted = true;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection(m_connectionName).asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, request](QDBusPendingCallWatcher* w) { notifyAnswered(w, request); });
}

void DbusNotifier::notifyAnswered(QDBusPendingCallWatcher* watcher, quint64 request) {
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    const uint id = reply.isValid() ? reply.value() : 0;
    if (id != 0) {
        if (request == m_request && m_wanted)
            m_id = id;
        else if (id != m_id)
            close(id); // withdrawn or replaced before its number came back
    }
    emit answered(id);
}

void DbusNotifier::withdraw() {
    m_wanted = false;
    if (m_id != 0)
        close(m_id);
    m_id = 0;
}

void DbusNotifier::close(uint id) {
    QDBusMessage message = call("CloseNotification");
    message << id;
    // The answer tells nothing worth waiting for.
    message.setAutoStartService(false);
    QDBusConnection(m_connectionName).send(message);
}

void DbusNotifier::actionInvoked(uint id, const QString& action) {
    if (id != 0 && id == m_id && action == QLatin1String("default"))
        clicked();
}

void DbusNotifier::notificationClosed(uint id, uint) {
    if (id != 0 && id == m_id)
        m_id = 0;
}
