#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// What /proc tells about a running process: its resident memory and the
// scheduling counts and processor time of all its threads.
namespace procfs {

// How often and how long the threads of a process ran, summed over
// /proc/PID/task/*.
struct CpuSample {
    qint64 runNs = 0; // time on a processor (schedstat, field 1)
    qint64 runs = 0;  // times it was scheduled in (schedstat, field 3): its wake-ups
    qint64 ticks = 0; // utime + stime in clock ticks (stat, fields 14 and 15)
    int threads = 0;
};

// One thread's share of a CpuSample, with its name (/proc/PID/task/TID/comm).
struct ThreadSample {
    int tid = 0;
    QString name;
    CpuSample cpu;
};

// "VmRSS:   12345 kB" of a status file, in kB; -1 when missing.
qint64 parseVmRssKb(const QByteArray& status);
// "VmHWM:" of a status file (the peak resident size), in kB; -1 when missing.
qint64 parseVmHwmKb(const QByteArray& status);
// "Pss:" of /proc/PID/smaps_rollup, the proportional share of shared pages, in kB.
qint64 parsePssKb(const QByteArray& smapsRollup);
// The three numbers of a schedstat file into runNs and runs; false when malformed.
bool parseSchedstat(const QByteArray& text, CpuSample& into);
// utime + stime of a stat file. The name in parentheses may hold blanks and
// parentheses, so the fields are counted from the last ")". -1 when malformed.
qint64 parseStatTicks(const QByteArray& text);

// Whether a table of /proc/net/tcp or tcp6 holds a socket listening on
// the port (state 0A), on any local address.
bool parseListening(const QByteArray& table, int port);

qint64 residentKb(pid_t pid);
qint64 peakResidentKb(pid_t pid);
qint64 proportionalKb(pid_t pid);
CpuSample cpu(pid_t pid);
QList<ThreadSample> threads(pid_t pid);
// The difference later - earlier per thread id, threads that are new counted whole.
QList<ThreadSample> threadDelta(const QList<ThreadSample>& earlier,
                                const QList<ThreadSample>& later);
// Whether a TCP socket of this process's network namespace listens on the port.
bool listening(int port);
// The arguments a process was started with (/proc/PID/cmdline); after an
// exec, those of the new program.
QStringList commandLine(pid_t pid);
// Clock ticks per second (sysconf(_SC_CLK_TCK)).
long ticksPerSecond();

} // namespace procfs
