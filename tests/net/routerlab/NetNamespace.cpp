#include "net/routerlab/NetNamespace.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : int(left);
}

// In a forked child: dies with the test process, enters the namespace of
// `holder` (when > 0) and runs argv. Only async-signal-safe calls here.
[[noreturn]] void execIn(pid_t holder, const char* nsPath, char* const* argv) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (holder > 0) {
        const int fd = open(nsPath, O_RDONLY | O_CLOEXEC);
        if (fd < 0 || setns(fd, CLONE_NEWNET) != 0)
            _exit(126);
        close(fd);
    }
    execvp(argv[0], argv);
    _exit(127);
}

} // namespace

LabProcess::~LabProcess() {
    stop();
}

bool LabProcess::writeLine(const std::string& line) {
    if (m_input < 0)
        return false;
    const std::string text = line + '\n';
    return write(m_input, text.data(), text.size()) == ssize_t(text.size());
}

std::optional<std::string> LabProcess::readLine(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const auto newline = m_buffered.find('\n');
        if (newline != std::string::npos) {
            std::string line = m_buffered.substr(0, newline);
            m_buffered.erase(0, newline + 1);
            return line;
        }
        if (m_output < 0)
            return std::nullopt;
        pollfd ready{m_output, POLLIN, 0};
        const int left = millisecondsLeft(deadline);
        if (poll(&ready, 1, left) <= 0)
            return std::nullopt;
        char chunk[4096];
        const ssize_t got = read(m_output, chunk, sizeof chunk);
        if (got <= 0) {
            close(m_output);
            m_output = -1;
            continue;
        }
        m_buffered.append(chunk, std::size_t(got));
    }
}

std::string LabProcess::readAll(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_output >= 0) {
        pollfd ready{m_output, POLLIN, 0};
        if (poll(&ready, 1, millisecondsLeft(deadline)) <= 0)
            break;
        char chunk[4096];
        const ssize_t got = read(m_output, chunk, sizeof chunk);
        if (got <= 0) {
            close(m_output);
            m_output = -1;
            break;
        }
        m_buffered.append(chunk, std::size_t(got));
    }
    std::string all;
    all.swap(m_buffered);
    return all;
}

void LabProcess::closeInput() {
    if (m_input >= 0)
        close(m_input);
    m_input = -1;
}

int LabProcess::wait(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_reaped) {
        int status = 0;
        const pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid || (done < 0 && errno == ECHILD)) {
            m_reaped = true;
            return done == m_pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (Clock::now() >= deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_reaped = true;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

void LabProcess::stop() {
    closeInput();
    if (!m_reaped) {
        kill(m_pid, SIGTERM);
        wait(1000);
    }
    if (m_output >= 0)
        close(m_output);
    m_output = -1;
}

NetNamespace::NetNamespace() {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return;
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const char answer = unshare(CLONE_NEWNET) == 0 ? 'y' : 'n';
        (void)!write(ready[1], &answer, 1);
        if (answer != 'y')
            _exit(1);
        while (true)
            pause();
    }
    close(ready[1]);
    char answer = 'n';
    if (pid > 0 && read(ready[0], &answer, 1) == 1 && answer == 'y') {
        m_holder = pid;
    } else if (pid > 0) {
        waitpid(pid, nullptr, 0);
    }
    close(ready[0]);
    if (m_holder > 0)
        run({"ip", "link", "set", "lo", "up"});
}

NetNamespace::~NetNamespace() {
    if (m_holder > 0) {
        kill(m_holder, SIGKILL);
        waitpid(m_holder, nullptr, 0);
    }
}

std::unique_ptr<LabProcess> NetNamespace::start(const std::vector<std::string>& argv,
                                                const std::string& outputFile) const {
    if (m_holder <= 0 || argv.empty())
        return nullptr;
    const std::string nsPath = "/proc/" + std::to_string(m_holder) + "/ns/net";
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0)
        return nullptr;
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        close(toChild[0]);
        close(toChild[1]);
        return nullptr;
    }
    int fileFd = -1;
    if (!outputFile.empty())
        fileFd = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        const int out = fileFd >= 0 ? fileFd : fromChild[1];
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execIn(m_holder, nsPath.c_str(), args.data());
    }
    close(toChild[0]);
    close(fromChild[1]);
    if (fileFd >= 0)
        close(fileFd);
    if (pid < 0) {
        close(toChild[1]);
        close(fromChild[0]);
        return nullptr;
    }
    return std::make_unique<LabProcess>(pid, toChild[1], fromChild[0]);
}

int NetNamespace::run(const std::vector<std::string>& argv, std::string* output,
                      int timeoutMs) const {
    auto process = start(argv);
    if (!process)
        return -1;
    process->closeInput();
    const std::string printed = process->readAll(timeoutMs);
    if (output != nullptr)
        *output = printed;
    return process->wait(1000);
}

std::string NetNamespace::unavailableReason() {
    if (geteuid() != 0)
        return "needs root to make network namespaces";
    NetNamespace probe;
    if (!probe.valid())
        return "cannot make a network namespace here (unshare refused)";
    std::string output;
    if (probe.run({"ip", "link", "show", "lo"}, &output) != 0)
        return "the ip command does not run inside a namespace: " + output;
    return {};
}
