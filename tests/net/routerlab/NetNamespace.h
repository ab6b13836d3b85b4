#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A program started by the router tests, optionally inside a network
// namespace, with its standard input and output on pipes (or its output in a
// file). It is killed when the test process dies, and stopped when this
// object goes.
class LabProcess {
public:
    LabProcess(pid_t pid, int input, int output) : m_pid(pid), m_input(input), m_output(output) {}
    ~LabProcess();
    LabProcess(const LabProcess&) = delete;
    LabProcess& operator=(const LabProcess&) = delete;

    bool writeLine(const std::string& line);
    // The next line of output without its newline, or nothing when none came
    // within timeoutMs or the output ended.
    std::optional<std::string> readLine(int timeoutMs);
    // Everything until the output ends or timeoutMs pass.
    std::string readAll(int timeoutMs);
    // Closes its input (a probe takes that as the end).
    void closeInput();
    // Its exit status, waiting up to timeoutMs; -1 when it had to be killed.
    int wait(int timeoutMs);
    void stop();
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid;
    int m_input;
    int m_output;
    std::string m_buffered;
    bool m_reaped = false;
};

// A network namespace of the test's own, held by a sleeping child process:
// it and everything in it (links, addresses, nftables tables) vanish when
// that child dies, which it does with this object or with the test process.
class NetNamespace {
public:
    NetNamespace();
    ~NetNamespace();
    NetNamespace(const NetNamespace&) = delete;
    NetNamespace& operator=(const NetNamespace&) = delete;

    bool valid() const { return m_holder > 0; }
    pid_t holder() const { return m_holder; }

    // Starts argv inside the namespace. With outputFile, output and errors go
    // to that file; otherwise both come through the process's pipe.
    std::unique_ptr<LabProcess> start(const std::vector<std::string>& argv,
                                      const std::string& outputFile = {}) const;
    // Runs argv inside to its end (at most timeoutMs); its exit status, -1
    // when it could not run or was killed. output gets what it printed.
    int run(const std::vector<std::string>& argv, std::string* output = nullptr,
            int timeoutMs = 10000) const;

    // Why namespaces cannot be made here (not root, no permission), or empty.
    static std::string unavailableReason();

private:
    pid_t m_holder = -1;
};
