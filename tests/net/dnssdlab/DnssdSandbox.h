#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// A private Avahi daemon for the DNS-SD tests and benchmark, so that nothing
// depends on or disturbs a daemon of the system: a D-Bus bus of its own on a
// socket in a temporary folder, and the daemon inside a network namespace
// (one end of a veth pair with a documentation address, loopback) and a
// mount namespace with a tmpfs over /run, where its pid file lives.
// Optionally a peer: another bus and daemon in namespaces of their own on
// the pair's other end, a second machine on the same small network. Every
// process started here dies with the process that started it, also when a
// test crashes.
//
// libdbus reads the system bus's address once per process, so busAddress()
// fixes it (DBUS_SYSTEM_BUS_ADDRESS) for the whole process on first use;
// every Avahi client of the process, the program's own included, then talks
// to this bus or to none.
class DnssdSandbox {
public:
    static constexpr char hostName[] = "climora-test.local";
    static constexpr char ipv4Address[] = "192.0.2.1";
    static constexpr char peerHostName[] = "climora-peer.local";
    static constexpr char peerIpv4Address[] = "192.0.2.2";

    DnssdSandbox();
    ~DnssdSandbox();
    DnssdSandbox(const DnssdSandbox&) = delete;
    DnssdSandbox& operator=(const DnssdSandbox&) = delete;

    // Why no sandbox can be made here (not root, a program missing, no
    // namespaces), or empty.
    static QString unavailableReason();
    static QString busAddress();

    bool start() { return startBus() && startDaemon(); }
    bool startBus();
    bool startDaemon();
    void stopDaemon();
    void stopBus();
    // The peer machine; needs the daemon running.
    bool startPeer();
    void stopPeer();
    QString error() const { return m_error; }
    // The daemon's output so far, for failure messages.
    QString daemonLog() const;

    // Starts a program (avahi-publish, a helper) talking to this bus, or to
    // the peer's.
    std::unique_ptr<QProcess> spawn(const QString& program, const QStringList& arguments,
                                    bool onPeer = false) const;
    // avahi-browse -rpt TYPE: one line per sighting and per resolved one.
    QStringList browseOnce(const QString& type) const;

private:
    static QString folder();
    bool waitForLine(QProcess& process, const QByteArray& text, int timeoutMs);
    std::unique_ptr<QProcess> startBusAt(const QString& name, const QString& address);

    std::unique_ptr<QProcess> m_bus;
    std::unique_ptr<QProcess> m_daemon;
    std::unique_ptr<QProcess> m_peerBus;
    std::unique_ptr<QProcess> m_peerDaemon;
    QString m_error;
};
