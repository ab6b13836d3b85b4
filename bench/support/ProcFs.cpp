#include "bench/support/ProcFs.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace procfs {

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

qint64 statusField(const QByteArray& status, const QByteArray& key) {
    for (const QByteArray& line : status.split('\n')) {
        if (!line.startsWith(key))
            continue;
        const QList<QByteArray> parts = line.mid(key.size()).simplified().split(' ');
        bool ok = false;
        const qint64 value = parts.value(0).toLongLong(&ok);
        return ok ? value : -1;
    }
    return -1;
}

CpuSample threadCpu(const QString& taskDir) {
    CpuSample sample;
    if (!parseSchedstat(readFile(taskDir + "/schedstat"), sample))
        return {};
    sample.ticks = qMax<qint64>(0, parseStatTicks(readFile(taskDir + "/stat")));
    sample.threads = 1;
    return sample;
}

void add(CpuSample& into, const CpuSample& part) {
    into.runNs += part.runNs;
    into.runs += part.runs;
    into.ticks += part.ticks;
    into.threads += part.threads;
}

} // namespace

qint64 parseVmRssKb(const QByteArray& status) {
    return statusField(status, "VmRSS:");
}

qint64 parseVmHwmKb(const QByteArray& status) {
    return statusField(status, "VmHWM:");
}

qint64 parsePssKb(const QByteArray& smapsRollup) {
    return statusField(smapsRollup, "Pss:");
}

bool parseSchedstat(const QByteArray& text, CpuSample& into) {
    const QList<QByteArray> parts = text.simplified().split(' ');
    if (parts.size() < 3)
        return false;
    bool ok1 = false, ok2 = false;
    into.runNs = parts[0].toLongLong(&ok1);
    into.runs = parts[2].toLongLong(&ok2);
    return ok1 && ok2;
}

qint64 parseStatTicks(const QByteArray& text) {
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return -1;
    // After ")": field 3 (state) is the first; utime and stime are 14 and 15.
    const QList<QByteArray> fields = text.mid(close + 1).simplified().split(' ');
    if (fields.size() < 13)
        return -1;
    bool ok1 = false, ok2 = false;
    const qint64 utime = fields[11].toLongLong(&ok1);
    const qint64 stime = fields[12].toLongLong(&ok2);
    return ok1 && ok2 ? utime + stime : -1;
}

bool parseListening(const QByteArray& table, int port) {
    // "  0: 00000000:1E5C 00000000:0000 0A ...": local address and port in
    // hexadecimal, then the remote one, then the state.
    for (const QByteArray& line : table.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 4 || !fields[0].endsWith(':'))
            continue;
        const QByteArray& local = fields[1];
        const qsizetype colon = local.lastIndexOf(':');
        bool ok = false;
        const int localPort = colon < 0 ? -1 : local.mid(colon + 1).toInt(&ok, 16);
        if (ok && localPort == port && fields[3] == "0A")
            return true;
    }
    return false;
}

bool listening(int port) {
    return parseListening(readFile("/proc/net/tcp"), port) ||
           parseListening(readFile("/proc/net/tcp6"), port);
}

QStringList commandLine(pid_t pid) {
    const QByteArray text = readFile(QString("/proc/%1/cmdline").arg(pid));
    QStringList arguments;
    for (const QByteArray& part : text.split('\0'))
        arguments << QString::fromLocal8Bit(part);
    if (!arguments.isEmpty() && arguments.last().isEmpty())
        arguments.removeLast(); // the text ends with a zero byte
    return arguments;
}

qint64 residentKb(pid_t pid) {
    return parseVmRssKb(readFile(QString("/proc/%1/status").arg(pid)));
}

qint64 peakResidentKb(pid_t pid) {
    return parseVmHwmKb(readFile(QString("/proc/%1/status").arg(pid)));
}

qint64 proportionalKb(pid_t pid) {
    return parsePssKb(readFile(QString("/proc/%1/smaps_rollup").arg(pid)));
}

CpuSample cpu(pid_t pid) {
    CpuSample total;
    for (const ThreadSample& thread : threads(pid))
        add(total, thread.cpu);
    return total;
}

QList<ThreadSample> threads(pid_t pid) {
    QList<ThreadSample> out;
    const QString base = QString("/proc/%1/task").arg(pid);
    for (const QString& tid : QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        ThreadSample thread;
        thread.tid = tid.toInt();
        thread.name = QString::fromUtf8(readFile(base + "/" + tid + "/comm")).trimmed();
        thread.cpu = threadCpu(base + "/" + tid);
        if (thread.cpu.threads)
            out.append(thread);
    }
    return out;
}

QList<ThreadSample> threadDelta(const QList<ThreadSample>& earlier,
                                const QList<ThreadSample>& later) {
    QList<ThreadSample> out;
    for (ThreadSample thread : later) {
        for (const ThreadSample& before : earlier) {
            if (before.tid != thread.tid)
                continue;
            thread.cpu.runNs -= before.cpu.runNs;
            thread.cpu.runs -= before.cpu.runs;
            thread.cpu.ticks -= before.cpu.ticks;
            break;
        }
        out.append(thread);
    }
    return out;
}

long ticksPerSecond() {
    return sysconf(_SC_CLK_TCK);
}

} // namespace procfs
