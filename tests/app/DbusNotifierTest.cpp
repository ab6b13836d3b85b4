// Desktop notifications over a private session bus with a stand-in
// notification service: the calls that arrive, the withdrawal of a
// notification whose number comes back late, clicks, and a desktop without
// the service or without a bus.
#include "app/DbusNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {
const char* const servicePath = "/org/freedesktop/Notifications";
const char* const serviceName = "org.freedesktop.Notifications";

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString app;
        uint replaces = 0;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeout = 0;
    };
    QList<Call> notifies;
    QList<uint> closed;
    uint next = 40;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout) {
        Q_UNUSED(icon);
        notifies.append({app, replaces, summary, body, actions, hints, timeout});
        return replaces != 0 ? replaces : ++next;
    }
    void CloseNotification(uint id) { closed.append(id); }
};

class DbusNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed; the notification tests need a "
                            "private session bus (scripts/setup installs it)";
        // A bus of its own, which starts no services, so that a notification
        // service installed on the machine cannot answer in the stand-in's place.
        ASSERT_TRUE(m_dir.isValid());
        QFile config(m_dir.filePath("bus.conf"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                     "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                     "busconfig.dtd\">\n<busconfig><type>session</type><listen>unix:dir=" +
                     m_dir.path().toUtf8() +
                     "</listen><policy context=\"default\"><allow send_destination=\"*\"/><allow "
                     "receive_sender=\"*\"/>"
                     "<allow own=\"*\"/></policy></busconfig>\n");
        config.close();
        m_daemon.start("dbus-daemon",
                       {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
        ASSERT_TRUE(m_daemon.waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_daemon.canReadLine(); }, 5000));
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        ASSERT_FALSE(address.isEmpty());
    }
    void TearDown() override {
        if (m_registered)
            QDBusConnection::disconnectFromBus("fake-notifications");
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            m_daemon.waitForFinished(5000);
        }
    }
    // Runs the stand-in service on the private bus.
    void startService() {
        QDBusConnection bus = QDBusConnection::connectToBus(address, "fake-notifications");
        m_registered = true;
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(bus.registerObject(servicePath, &service, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus.registerService(serviceName));
    }
    void sendSignal(const char* name, const QVariantList& arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(servicePath, serviceName, name);
        signal.setArguments(arguments);
        QDBusConnection("fake-notifications").send(signal);
    }

    QString address;
    FakeNotifications service;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    bool m_registered = false;
};

TEST_F(DbusNotifierTest, ShowSendsNotifyWithTheProgramsFieldsAndWithdrawClosesIt) {
    startService();
    DbusNotifier notifier(address);
    QSignalSpy answered(&notifier, &DbusNotifier::answered);
    notifier.show("Your turn in Climora", "It is your turn to roll the dice.");
    ASSERT_TRUE(answered.wait(5000));
    ASSERT_EQ(service.notifies.size(), 1);
    const FakeNotifications::Call& call = service.notifies.first();
    EXPECT_EQ(call.app, "Climora");
    EXPECT_EQ(call.replaces, 0u);
    EXPECT_EQ(call.summary, "Your turn in Climora");
    EXPECT_EQ(call.body, "It is your turn to roll the dice.");
    EXPECT_EQ(call.actions.value(0), "default");
    EXPECT_EQ(call.actions.size() % 2, 0);
    EXPECT_EQ(call.hints.value("desktop-entry").toString(), "climora");
    const uint id = notifier.notificationId();
    EXPECT_EQ(id, 41u);

    // A second show replaces the notification instead of adding one.
    notifier.show("Your turn in Climora", "Again.");
    ASSERT_TRUE(answered.wait(5000));
    EXPECT_EQ(service.notifies.last().replaces, id);

    notifier.withdraw();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.closed.isEmpty(); }, 5000));
    EXPECT_EQ(service.closed, QList<uint>{id});
    EXPECT_EQ(notifier.notificationId(), 0u);
}

TEST_F(DbusNotifierTest, NotificationWithdrawnBeforeItsNumberArrivesIsClosedWhenItDoes) {
    startService();
    DbusNotifier notifier(address);
    QSignalSpy answered(&notifier, &DbusNotifier::answered);
    notifier.show("Your turn in Climora", "a");
    notifier.withdraw();
    ASSERT_TRUE(answered.wait(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.closed.isEmpty(); }, 5000));
    EXPECT_EQ(service.closed, QList<uint>{41u});
    EXPECT_EQ(notifier.notificationId(), 0u);

    // Shown twice before either answer: the first one is superseded and closed.
    notifier.show("Your turn in Climora", "b");
    notifier.show("Your turn in Climora", "c");
    ASSERT_TRUE(QTest::qWaitFor([&] { return answered.size() == 3; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.closed.size() == 2; }, 5000));
    EXPECT_EQ(service.closed.last(), 42u);
    EXPECT_EQ(notifier.notificationId(), 43u);
}

TEST_F(DbusNotifierTest, OnlyTheDefaultActionOfItsOwnNotificationCountsAsAClick) {
    startService();
    DbusNotifier notifier(address);
    int clicks = 0;
    notifier.setClickHandler([&] { ++clicks; });
    QSignalSpy answered(&notifier, &DbusNotifier::answered);
    notifier.show("Your turn in Climora", "a");
    ASSERT_TRUE(answered.wait(5000));
    const uint id = notifier.notificationId();

    sendSignal("ActionInvoked", {uint(id + 7), QString("default")}); // another program's
    sendSignal("ActionInvoked", {id, QString("other")});
    sendSignal("ActionInvoked", {id, QString("default")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicks > 0; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(clicks, 1);

    // Closed by the user: nothing is left to withdraw.
    sendSignal("NotificationClosed", {id, uint(2)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifier.notificationId() == 0; }, 5000));
    notifier.withdraw();
    QTest::qWait(50);
    EXPECT_TRUE(service.closed.isEmpty());
}

TEST_F(DbusNotifierTest, WithoutTheServiceOrTheBusNothingFailsOrWaits) {
    // A bus where no notification service runs: the error answer is taken
    // quietly and nothing is shown.
    DbusNotifier lonely(address);
    QSignalSpy answered(&lonely, &DbusNotifier::answered);
    QElapsedTimer clock;
    clock.start();
    lonely.show("Your turn in Climora", "a");
    lonely.withdraw();
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_TRUE(answered.wait(5000));
    EXPECT_EQ(answered.first().value(0).toUInt(), 0u);
    EXPECT_EQ(lonely.notificationId(), 0u);

    // No bus at all.
    DbusNotifier nowhere("unix:path=/nonexistent/climora-bus");
    clock.restart();
    nowhere.show("Your turn in Climora", "a");
    nowhere.show("Your turn in Climora", "b");
    nowhere.withdraw();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(nowhere.notificationId(), 0u);
}
} // namespace

#include "DbusNotifierTest.moc"
