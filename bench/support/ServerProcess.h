#pragma once

#include <QString>

#include <sys/types.h>

// The game server run in a process of its own, listening on an ephemeral
// port, so that the benchmarks can read its memory and processor time apart
// from their clients'. The child is a plain QCoreApplication with one
// TServer; it ends when the parent closes its control pipe (or dies).
//
// start() forks, so it must be called before this process creates its own
// QCoreApplication: Qt's state must not be copied into the child.
class ServerProcess {
public:
    struct Settings {
        int botSpeedMs = 400;   // the computer player's step delay
        int pauseTickMs = 1000; // one tick of the pause between turns
        int loginTimeoutMs = 30000;
    };
    // What the server did, told by the child as it ends.
    struct Counters {
        qint64 handled = 0;  // messages taken off the receive queue
        qint64 accepted = 0; // connections accepted
        qint64 bytesIn = 0;  // bytes read from all connections
    };

    ServerProcess() = default;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess();

    // Starts the child and waits for its listening port; false with a reason.
    bool start(const Settings& settings, QString* error = nullptr);
    int port() const { return m_port; }
    pid_t pid() const { return m_pid; }
    // False once the child has ended (for whatever reason).
    bool running();
    // Asks the child to end and waits for it (killing it after the time).
    // True when it ended by itself with status 0; how tells what happened.
    bool stop(Counters* counters, QString* how, int waitMs = 10000);

private:
    pid_t m_pid = -1;
    int m_port = 0;
    int m_control = -1; // write end: closing it asks the child to end
    int m_report = -1;  // read end: the child's port line and final counters
    int m_status = 0;
    bool m_reaped = false;
};
