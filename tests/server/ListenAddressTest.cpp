#include "ServerHarness.h"

#include "support/EventLoop.h"

#include "net/TSock.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// An IPv4 address of this machine other than loopback, or empty.
QString otherLocalAddress() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return {};
    QString found;
    for (ifaddrs* it = list; it && found.isEmpty(); it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        if ((ntohl(in->sin_addr.s_addr) >> 24) == 127)
            continue;
        char dotted[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &in->sin_addr, dotted, sizeof dotted);
        found = QString::fromLatin1(dotted);
    }
    ::freeifaddrs(list);
    return found;
}

// Whether a TCP connection to address:port is made within a second.
bool connects(const QString& address, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(port));
    ::inet_pton(AF_INET, address.toLatin1().constData(), &to.sin_addr);
    bool made = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    if (!made && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        made = ::poll(&p, 1, 1000) == 1 &&
               ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    ::close(fd);
    return made;
}

} // namespace

// A listener bound to 127.0.0.1 (the solo start's) takes no connection made
// to another address of the machine; the default listener (hosting by name)
// takes connections on every address, as before.
TEST(ListenAddress, ALoopbackListenerTakesNoConnectionFromAnotherAddress) {
    TSock solo;
    solo.setPortName("0");
    solo.setBindAddress("127.0.0.1");
    solo.setListen(true);
    EXPECT_EQ(solo.localAddress(), "127.0.0.1");
    EXPECT_TRUE(connects("127.0.0.1", solo.localPort()));

    TSock hosting;
    hosting.setPortName("0");
    hosting.setListen(true);
    EXPECT_EQ(hosting.bindAddress(), "");
    EXPECT_EQ(hosting.localAddress(), "0.0.0.0");

    const QString other = otherLocalAddress();
    if (other.isEmpty())
        GTEST_SKIP() << "this machine has no address besides loopback";
    EXPECT_FALSE(connects(other, solo.localPort())) << other.toStdString();
    EXPECT_TRUE(connects(other, hosting.localPort())) << other.toStdString();
}

TEST(ListenAddress, AnAddressThatIsNoIpv4AddressIsRefusedAndTheSocketStaysUsable) {
    TSock sock;
    sock.setPortName("0");
    sock.setBindAddress("localhost:1");
    try {
        sock.setListen(true);
        ADD_FAILURE() << "listened on a malformed address";
    } catch (const ESockException& e) {
        EXPECT_EQ(e.text(), "Listen - Error Binding Socket");
    }
    EXPECT_FALSE(sock.isListening());
    sock.setBindAddress("127.0.0.1");
    sock.setListen(true);
    EXPECT_TRUE(sock.isListening());
}

namespace {

// A client of the listener that keeps what it receives.
struct Client {
    explicit Client(int port) {
        sock.setHostName("127.0.0.1");
        sock.setPortName(QString::number(port));
        sock.OnRead = [this](TSock* s, int) { received += s->Receive(); };
        sock.Open();
    }
    TSock sock;
    QByteArray received;
};

} // namespace

// Only seat 1 may start the game, and seat 1 is the host's own client. A
// joiner whose connection reaches the listener first is seated from seat 2
// on, and the host's client still gets seat 1; without a kept seat (the
// tests' servers) the first comer gets seat 1, as before.
TEST(ListenAddress, AJoinerFasterThanTheHostsOwnClientIsSeatedFromSeatTwo) {
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "seat 1 kept for the host" : "nothing kept");
        Harness h;
        TSock& listener = h.server.Sock1();
        listener.setPortName("0");
        listener.setBindAddress("127.0.0.1");
        listener.setListen(true);
        // Both connections wait in the listener's queue, the joiner's first.
        Client joiner(listener.localPort());
        Client own(listener.localPort());
        if (keep)
            h.server.keepFirstSeatFor(own.sock.localPort());
        ASSERT_TRUE(
            waitUntil([&] { return !joiner.received.isEmpty() && !own.received.isEmpty(); }));
        EXPECT_EQ(joiner.received, keep ? QByteArray("CMD_sendlogininfo+2\xff")
                                        : QByteArray("CMD_sendlogininfo+1\xff"));
        EXPECT_EQ(own.received, keep ? QByteArray("CMD_sendlogininfo+1\xff")
                                     : QByteArray("CMD_sendlogininfo+2\xff"));
        // The next comer takes the next seat, whatever was kept.
        Client third(listener.localPort());
        ASSERT_TRUE(waitUntil([&] { return !third.received.isEmpty(); }));
        EXPECT_EQ(third.received, QByteArray("CMD_sendlogininfo+3\xff"));
        EXPECT_EQ(h.server.seatCount(), 3);
    }
}
