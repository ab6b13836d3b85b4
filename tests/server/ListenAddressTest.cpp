#include "ServerHarness.h"

#include "support/EventLoop.h"
#include "support/LocalNetwork.h"

#include "net/TSock.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// An IPv4 address of this machine other than loopback, if it has one.
std::optional<SockAddress> otherLocalIpv4() {
    for (const SockAddress& address : otherLocalAddresses())
        if (address.family() == AF_INET)
            return address;
    return std::nullopt;
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
    EXPECT_TRUE(connects(literal("127.0.0.1"), solo.localPort()));

    TSock hosting;
    hosting.setPortName("0");
    hosting.setListen(true);
    EXPECT_EQ(hosting.bindAddress(), "");
    EXPECT_EQ(hosting.localAddress(), "0.0.0.0");

    const std::optional<SockAddress> other = otherLocalIpv4();
    if (!other)
        GTEST_SKIP() << "this machine has no address besides loopback";
    EXPECT_FALSE(connects(*other, solo.localPort())) << other->text().toStdString();
    EXPECT_TRUE(connects(*other, hosting.localPort())) << other->text().toStdString();
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
