#pragma once

#include "ui/DesktopNotifier.h"

#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// Desktop notifications through the notification service of the session
// bus (org.freedesktop.Notifications). The bus is first contacted when a
// notification is shown, so a start that never notifies pays nothing. Every
// call is sent without waiting for its answer; without a session bus or a
// notification service, notifications are simply not shown.
class DbusNotifier : public QObject, public DesktopNotifier {
    Q_OBJECT
public:
    // The bus at the address, or the user's session bus when it is empty.
    explicit DbusNotifier(const QString& busAddress = QString(), QObject* parent = nullptr);
    ~DbusNotifier() override;

    void show(const QString& summary, const QString& body) override;
    void withdraw() override;

    // The service's number for the notification shown; 0 while none is
    // shown or its number is not known yet.
    uint notificationId() const { return m_id; }

signals:
    // The service answered a Notify call, with the notification's number or
    // 0 for an error (tests wait for it).
    void answered(uint id);

private slots:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    // Connects to the bus once; false when there is none.
    bool connectBus();
    void notifyAnswered(QDBusPendingCallWatcher* call, quint64 request);
    void close(uint id);

    QString m_address;
    QString m_connectionName;
    bool m_tried = false;
    bool m_connected = false;
    // Each show is a request; an answer counts only for the latest one while
    // it is still wanted, any other notification it names is closed at once.
    quint64 m_request = 0;
    bool m_wanted = false;
    uint m_id = 0;
};
