// The router tests' helper program, started inside the test's namespaces:
//   map MODULE PORT      (home) a PortMapper driven by lines on standard
//                        input ("open", "close", "exit"), answering on
//                        standard output; it also listens on PORT and greets
//                        whoever connects with "climora-home".
//   fake MODE LANADDR    (router) a misbehaving router, see FakeRouter.
//   connect ADDR PORT    (internet) connects and prints the greeting, or
//                        "failed" and why.
#include "net/PortMapper.h"
#include "net/routerlab/FakeRouter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaEnum>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

void say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

int listenOn(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(std::uint16_t(port));
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(fd, 4) != 0)
        return -1;
    return fd;
}

template <typename E> QString name(E value) {
    return QString::fromLatin1(QMetaEnum::fromType<E>().valueToKey(int(value)));
}

int map(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int port = std::atoi(argv[3]);
    const int listener = listenOn(port);
    if (listener < 0) {
        say(QStringLiteral("failed listen %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return 1;
    }
    QSocketNotifier greet(listener, QSocketNotifier::Read);
    QObject::connect(&greet, &QSocketNotifier::activated, [listener] {
        const int fd = accept(listener, nullptr, nullptr);
        if (fd >= 0) {
            send(fd, "climora-home\n", 13, MSG_NOSIGNAL);
            close(fd);
        }
    });

    auto* mapper = new PortMapper(QStringList{QString::fromLocal8Bit(argv[2])});
    QElapsedTimer clock;
    QObject::connect(mapper, &PortMapper::finished, [&clock](const PortMapper::Result& result) {
        say(QStringLiteral("result %1 %2 %3 %4")
                .arg(name(result.outcome), name(result.method),
                     result.publicAddress.isEmpty() ? QStringLiteral("-") : result.publicAddress)
                .arg(clock.elapsed()));
        say(QStringLiteral("line ") + PortMapper::describe(result));
    });
    QObject::connect(mapper, &PortMapper::closed, [&clock](bool confirmed) {
        say(QStringLiteral("closed %1 %2").arg(confirmed ? 1 : 0).arg(clock.elapsed()));
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[256];
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got > 0)
            pending.append(chunk, std::size_t(got));
        std::size_t newline;
        while ((newline = pending.find('\n')) != std::string::npos) {
            const std::string command = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            clock.restart();
            if (command == "open") {
                mapper->open(quint16(port));
            } else if (command == "close") {
                mapper->close();
            } else if (command == "exit") {
                delete mapper;
                mapper = nullptr;
                say(QStringLiteral("gone %1").arg(clock.elapsed()));
                app.quit();
                return;
            }
        }
        if (got <= 0)
            app.quit();
    });
    say(QStringLiteral("ready"));
    const int status = app.exec();
    delete mapper;
    // A worker left inside a library call must not hold the exit up.
    std::fflush(stdout);
    _exit(status);
}

int connectTo(const char* address, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(std::uint16_t(port));
    if (inet_pton(AF_INET, address, &at.sin_addr) != 1) {
        std::printf("failed bad address\n");
        return 1;
    }
    connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 3000) <= 0) {
        std::printf("failed timeout\n");
        return 1;
    }
    char line[64] = {};
    const ssize_t got = recv(fd, line, sizeof line - 1, 0);
    if (got <= 0) {
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        std::printf("failed %s\n", std::strerror(error != 0 ? error : ECONNRESET));
        return 1;
    }
    std::printf("%s", line);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "map" && argc == 4)
        return map(argc, argv);
    if (mode == "fake" && argc == 4)
        return FakeRouter(argv[2], argv[3]).run();
    if (mode == "connect" && argc == 4)
        return connectTo(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: %s map MODULE PORT | fake MODE LANADDR | connect ADDR PORT\n",
                 argv[0]);
    return 2;
}
