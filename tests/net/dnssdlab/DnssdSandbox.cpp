#include "dnssdlab/DnssdSandbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

const QStringList sbinPaths = {"/usr/sbin", "/sbin", "/usr/bin", "/bin"};

QString program(const QString& name) {
    QString path = QStandardPaths::findExecutable(name);
    return path.isEmpty() ? QStandardPaths::findExecutable(name, sbinPaths) : path;
}

void setUp(QProcess& process, const QString& busAddress) {
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", busAddress);
    process.setProcessEnvironment(environment);
}

void end(std::unique_ptr<QProcess>& process) {
    if (process == nullptr)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
    process.reset();
}

constexpr char busConfig[] =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)";

// The limits are raised for the test's publisher of hundreds of services;
// the program's browser stays within the defaults.
constexpr char daemonConfig[] = R"([server]
host-name=%1
use-ipv4=yes
use-ipv6=yes
allow-interfaces=%2
enable-dbus=yes
objects-per-client-max=4096
entries-per-entry-group-max=4096
ratelimit-interval-usec=0
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
publish-addresses=yes
)";

} // namespace

DnssdSandbox::DnssdSandbox() = default;

DnssdSandbox::~DnssdSandbox() {
    stopPeer();
    stopDaemon();
    stopBus();
}

QString DnssdSandbox::folder() {
    static QTemporaryDir directory(QDir::tempPath() + "/climora-dnssd-XXXXXX");
    return directory.path();
}

QString DnssdSandbox::busAddress() {
    static const QString address = [] {
        const QString value = "unix:path=" + folder() + "/bus";
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", value.toUtf8());
        return value;
    }();
    return address;
}

QString DnssdSandbox::unavailableReason() {
    static const QString reason = []() -> QString {
        if (geteuid() != 0)
            return "needs root to make network and mount namespaces";
        for (const char* name : {"dbus-daemon", "avahi-daemon", "avahi-browse", "avahi-publish",
                                 "unshare", "nsenter", "ip"})
            if (program(name).isEmpty())
                return QString("%1 is not installed").arg(name);
        QProcess probe;
        probe.start(program("unshare"), {"-n", "-m", "true"});
        if (!probe.waitForFinished(5000) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0)
            return "network namespaces cannot be made here";
        return {};
    }();
    return reason;
}

bool DnssdSandbox::waitForLine(QProcess& process, const QByteArray& text, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (process.state() == QProcess::NotRunning)
            break;
        process.waitForReadyRead(100);
        if (process.peek(1 << 20).contains(text))
            return true;
    }
    m_error = QString("%1 did not say \"%2\": %3")
                  .arg(process.program(), QString(text), QString(process.peek(4096)));
    return false;
}

std::unique_ptr<QProcess> DnssdSandbox::startBusAt(const QString& name, const QString& address) {
    const QString socket = address.mid(QString("unix:path=").size());
    QFile::remove(socket);
    QFile config(folder() + "/" + name + ".conf");
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(QString(busConfig).arg(socket).toUtf8()) < 0) {
        m_error = "cannot write the bus configuration";
        return nullptr;
    }
    config.close();
    auto bus = std::make_unique<QProcess>();
    setUp(*bus, address);
    bus->start(program("dbus-daemon"),
               {"--config-file=" + config.fileName(), "--nofork", "--print-address"});
    if (!waitForLine(*bus, "unix:path=", 5000))
        return nullptr;
    return bus;
}

bool DnssdSandbox::startBus() {
    m_bus = startBusAt("bus", busAddress());
    return m_bus != nullptr;
}

namespace {

// The daemon's namespaces are made by unshare, which becomes the shell that
// prepares them and then the daemon.
std::unique_ptr<QProcess> daemonIn(const QString& prepare, const QString& config,
                                   const QString& busAddress) {
    const QString script = QString("mount -t tmpfs tmpfs /run && mkdir /run/avahi-daemon && "
                                   "ip link set lo up && "
                                   "{ echo 0 > /proc/sys/net/ipv6/conf/default/accept_dad; } "
                                   "2>/dev/null; %1 && "
                                   "exec %2 -f %3 --no-drop-root --no-chroot --no-rlimits "
                                   "--no-proc-title")
                               .arg(prepare, program("avahi-daemon"), config);
    auto daemon = std::make_unique<QProcess>();
    setUp(*daemon, busAddress);
    daemon->setProcessChannelMode(QProcess::MergedChannels);
    daemon->start(program("unshare"), {"-n", "-m", "sh", "-c", script});
    return daemon;
}

bool writeDaemonConfig(const QString& path, const QString& host, const QString& interface) {
    QFile config(path);
    return config.open(QIODevice::WriteOnly) &&
           config.write(QString(daemonConfig).arg(host, interface).toUtf8()) >= 0;
}

} // namespace

bool DnssdSandbox::startDaemon() {
    const QString config = folder() + "/avahi-daemon.conf";
    if (!writeDaemonConfig(config, "climora-test", "cl0"))
        return (m_error = "cannot write the daemon configuration"), false;
    m_daemon = daemonIn(QString("ip link add cl0 type veth peer name cl1 && "
                                "ip addr add %1/24 dev cl0 && ip link set cl0 up")
                            .arg(ipv4Address),
                        config, busAddress());
    return waitForLine(*m_daemon, "Server startup complete", 10000);
}

bool DnssdSandbox::startPeer() {
    if (m_daemon == nullptr || m_daemon->state() != QProcess::Running)
        return (m_error = "the peer needs the daemon"), false;
    const QString peerBus = "unix:path=" + folder() + "/peer-bus";
    m_peerBus = startBusAt("peer-bus", peerBus);
    if (m_peerBus == nullptr)
        return false;
    const QString config = folder() + "/peer-daemon.conf";
    if (!writeDaemonConfig(config, "climora-peer", "cl1"))
        return (m_error = "cannot write the peer's configuration"), false;
    // The peer waits for the pair's other end, moved over from the daemon's namespace.
    m_peerDaemon = daemonIn(QString("n=0; until ip link show cl1 >/dev/null 2>&1; do "
                                    "n=$((n+1)); [ $n -lt 100 ] || exit 1; sleep 0.05; done && "
                                    "ip addr add %1/24 dev cl1 && ip link set cl1 up")
                                .arg(peerIpv4Address),
                            config, peerBus);
    if (!m_peerDaemon->waitForStarted(3000))
        return (m_error = "the peer did not start"), false;
    QProcess move;
    move.start(program("nsenter"),
               {"-t", QString::number(m_daemon->processId()), "-n", "ip", "link", "set", "cl1",
                "netns", QString::number(m_peerDaemon->processId())});
    if (!move.waitForFinished(5000) || move.exitCode() != 0)
        return (m_error = "cannot move the pair's end: " + QString(move.readAllStandardError())),
               false;
    return waitForLine(*m_peerDaemon, "Server startup complete", 10000);
}

void DnssdSandbox::stopPeer() {
    end(m_peerDaemon);
    end(m_peerBus);
}

QString DnssdSandbox::daemonLog() const {
    return m_daemon ? QString::fromUtf8(m_daemon->peek(1 << 16)) : QString();
}

void DnssdSandbox::stopDaemon() {
    end(m_daemon);
}

void DnssdSandbox::stopBus() {
    end(m_bus);
}

std::unique_ptr<QProcess> DnssdSandbox::spawn(const QString& name, const QStringList& arguments,
                                              bool onPeer) const {
    auto process = std::make_unique<QProcess>();
    setUp(*process, onPeer ? "unix:path=" + folder() + "/peer-bus" : busAddress());
    process->setProcessChannelMode(QProcess::MergedChannels);
    const QString path = name.contains('/') ? name : program(name);
    process->start(path, arguments);
    process->waitForStarted(3000);
    return process;
}

QStringList DnssdSandbox::browseOnce(const QString& type) const {
    auto browse = spawn("avahi-browse", {"-rpt", type});
    browse->waitForFinished(10000);
    return QString::fromUtf8(browse->readAll()).split('\n', Qt::SkipEmptyParts);
}
