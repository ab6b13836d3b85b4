// IPv6 beside IPv4: a host listening on every address takes peers of both
// families on one dual-stack socket, a joiner reaches a host by an IPv6
// address or a name that has one, and a listener bound to one address takes
// connections made to that address only.
#include "net/HostLookup.h"
#include "net/TSock.h"
#include "support/EventLoop.h"
#include "support/LocalNetwork.h"

#include <QPointer>
#include <QRegularExpression>
#include <QStringList>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <memory>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Whether this machine has a usable IPv6 loopback: a socket bound to ::1.
bool haveIpv6Loopback() {
    const int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in6 at{};
    at.sin6_family = AF_INET6;
    at.sin6_addr = in6addr_loopback;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
    ::close(fd);
    return ok;
}

#define REQUIRE_IPV6_LOOPBACK()                                                                    \
    if (!haveIpv6Loopback())                                                                       \
    GTEST_SKIP() << "this machine has no IPv6 loopback (::1)"

// A listener that keeps every connection it accepts, and a journal of the
// reports of the clients made through it.
class DualStack : public ::testing::Test {
protected:
    void listen(const QString& bindAddress) {
        listener.setPortName("0");
        listener.setBindAddress(bindAddress);
        listener.OnAccept = [this](TSock* l) {
            TSock* s = nullptr;
            if (l->Accept(s))
                accepted << s;
        };
        listener.setListen(true);
        ASSERT_TRUE(listener.isListening());
        port = QString::number(listener.localPort());
    }

    // A client on the heap, its reports written to `reports`.
    std::unique_ptr<TSock> client(const QString& host) {
        auto sock = std::make_unique<TSock>();
        sock->OnInfo = [this](TSock*, TSocketInfo kind, const QString& msg) {
            reports << QString::number(int(kind)) + ":" + msg;
        };
        sock->setHostName(host);
        sock->setPortName(port);
        return sock;
    }

    // Opens a client to `host` and waits until the listener holds it.
    std::unique_ptr<TSock> join(const QString& host) {
        auto sock = client(host);
        const int before = int(accepted.size());
        sock->Open();
        EXPECT_TRUE(waitUntil([&] { return sock->isConnected() && accepted.size() > before; }))
            << host.toStdString();
        return sock;
    }

    QStringList reports;
    TSock listener;
    QList<QPointer<TSock>> accepted;
    QString port;
};

} // namespace

TEST_F(DualStack, HostOnEveryAddressAcceptsAnIpv4AndAnIpv6ClientAndNamesTheIpv4OneDotted) {
    REQUIRE_IPV6_LOOPBACK();
    listen(QString());
    EXPECT_TRUE(listener.acceptsIpv6());
    EXPECT_EQ(listener.localAddress(), "0.0.0.0");

    auto v4 = join("127.0.0.1");
    auto v6 = join("::1");
    ASSERT_EQ(accepted.size(), 2);
    // The IPv4 peer arrives as ::ffff:127.0.0.1 and is named as it was on
    // an IPv4 listener.
    EXPECT_EQ(accepted[0]->hostName(), "127.0.0.1");
    EXPECT_EQ(accepted[0]->peerPort(), v4->localPort());
    EXPECT_EQ(accepted[0]->localAddress(), "127.0.0.1");
    EXPECT_EQ(accepted[1]->hostName(), "::1");
    EXPECT_EQ(accepted[1]->peerPort(), v6->localPort());
    EXPECT_EQ(v6->localAddress(), "::1");

    // Both carry bytes both ways.
    v4->Send("four\xFF");
    v6->Send("six\xFF");
    accepted[0]->Send("to four");
    ASSERT_TRUE(waitUntil([&] {
        return accepted[0]->receivedCount() == 5 && accepted[1]->receivedCount() == 4 &&
               v4->receivedCount() == 7;
    }));
    EXPECT_EQ(accepted[0]->Receive(), QByteArray("four\xFF"));
    EXPECT_EQ(accepted[1]->Receive(), QByteArray("six\xFF"));
    EXPECT_EQ(v4->Receive(), QByteArray("to four"));
}

// A joiner reaches the host by an IPv6 address typed bare or in brackets;
// the host's name for it proves the connection went over IPv6.
TEST_F(DualStack, JoinerGivenAnIpv6AddressWithOrWithoutBracketsConnectsOverIpv6) {
    REQUIRE_IPV6_LOOPBACK();
    listen(QString());
    for (const QString host : {"::1", "[::1]", "0:0:0:0:0:0:0:1"}) {
        SCOPED_TRACE(host.toStdString());
        reports.clear();
        auto sock = join(host);
        ASSERT_FALSE(accepted.isEmpty());
        EXPECT_EQ(accepted.last()->hostName(), "::1");
        EXPECT_EQ(sock->hostName(), host) << "the name given is kept as given";
        EXPECT_EQ(reports.mid(0, 2),
                  (QStringList{"0:Lookup Of Port " + port, "0:Lookup Of Host " + host}));
        EXPECT_TRUE(reports.contains("1:Non-Blocking Socket Connected"));
    }
}

TEST_F(DualStack, NameKnownOnlyByItsIpv6AddressConnects) {
    REQUIRE_IPV6_LOOPBACK();
    listen(QString());
    // The system's name for ::1 alone, where /etc/hosts has one.
    QString name;
    for (const char* candidate : {"ip6-localhost", "localhost6", "ip6-loopback"}) {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        if (::getaddrinfo(candidate, nullptr, &hints, &result) != 0)
            continue;
        bool onlyIpv6 = true;
        for (const addrinfo* it = result; it; it = it->ai_next)
            onlyIpv6 = onlyIpv6 && it->ai_family == AF_INET6;
        ::freeaddrinfo(result);
        if (onlyIpv6) {
            name = QString::fromLatin1(candidate);
            break;
        }
    }
    if (name.isEmpty())
        GTEST_SKIP() << "no name of this machine resolves to ::1 alone (ip6-localhost, "
                        "localhost6 in /etc/hosts)";
    auto sock = join(name);
    ASSERT_FALSE(accepted.isEmpty());
    EXPECT_EQ(accepted.last()->hostName(), "::1");
}

// A name with an IPv4 and an IPv6 address: the IPv4 one comes first, is
// refused here, and the IPv6 one is tried without a word of the refusal.
TEST_F(DualStack, NameWhoseFirstAddressIsRefusedConnectsQuietlyByTheNext) {
    REQUIRE_IPV6_LOOPBACK();
    listen("::1");
    EXPECT_TRUE(listener.acceptsIpv6());
    HostLookup::remember("both.example", {literal("127.0.0.1"), literal("::1")});
    const int calls = TSock::resolverCalls();
    auto sock = join("both.example");
    EXPECT_EQ(TSock::resolverCalls(), calls);
    ASSERT_FALSE(accepted.isEmpty());
    EXPECT_EQ(accepted.last()->hostName(), "::1");
    for (const QString& line : reports)
        EXPECT_FALSE(line.startsWith("7:")) << line.toStdString();
    EXPECT_EQ(reports.count("1:Non-Blocking Socket Connected"), 1);

    // A name with an IPv6 address alone goes straight to it.
    HostLookup::remember("six.example", {literal("::1")});
    auto six = join("six.example");
    EXPECT_EQ(accepted.last()->hostName(), "::1");
    TSock::clearHostCache();
}

// When no address answers, the failure is reported once, with the first
// address's error, as for a name with one address.
TEST_F(DualStack, NameWhoseAddressesAllRefuseReportsOneErrorAndKeepsItsSocket) {
    REQUIRE_IPV6_LOOPBACK();
    // A port nobody listens on any more.
    listen(QString());
    listener.setListen(false);
    HostLookup::remember("none.example", {literal("127.0.0.1"), literal("::1")});
    auto sock = client("none.example");
    bool connected = false;
    sock->OnConnect = [&](TSock*) { connected = true; };
    sock->Open();
    ASSERT_TRUE(waitUntil([&] { return reports.contains("7:Error #10061 (WSAECONNREFUSED)"); }));
    spin(50);
    EXPECT_EQ(reports.filter(QRegularExpression("^7:")).size(), 1);
    EXPECT_FALSE(connected);
    EXPECT_FALSE(sock->isConnected());
    EXPECT_TRUE(sock->hasSocket());
    TSock::clearHostCache();
}

// The solo game's listener on 127.0.0.1 takes its own client and nobody
// else: not over IPv6 loopback, not on any other address of the machine.
TEST_F(DualStack, LoopbackListenerIsNotReachableOnIpv6NorOnOtherAddresses) {
    listen("127.0.0.1");
    EXPECT_FALSE(listener.acceptsIpv6());
    EXPECT_EQ(listener.localAddress(), "127.0.0.1");
    EXPECT_TRUE(connects(literal("127.0.0.1"), port.toInt()));
    if (haveIpv6Loopback()) {
        EXPECT_FALSE(connects(literal("::1"), port.toInt()));
        auto sock = client("::1");
        sock->Open();
        EXPECT_TRUE(
            waitUntil([&] { return reports.contains("7:Error #10061 (WSAECONNREFUSED)"); }));
    }
    const QList<SockAddress> others = otherLocalAddresses();
    if (others.isEmpty())
        GTEST_SKIP() << "this machine has no address besides loopback";
    for (const SockAddress& other : others)
        EXPECT_FALSE(connects(other, port.toInt())) << other.text().toStdString();
}

// A listener given an IPv6 address takes connections to it alone.
TEST_F(DualStack, ListenerGivenAnIpv6AddressTakesNoIpv4Peer) {
    REQUIRE_IPV6_LOOPBACK();
    listen("[::1]");
    EXPECT_EQ(listener.localAddress(), "::1");
    EXPECT_TRUE(connects(literal("::1"), port.toInt()));
    EXPECT_FALSE(connects(literal("127.0.0.1"), port.toInt()));
}

// Where IPv6 cannot have the port (here another program holds it on IPv6
// alone), hosting goes on over IPv4 exactly as before, without a word.
TEST_F(DualStack, HostFallsBackToIpv4AloneWhenIpv6CannotBeHad) {
    REQUIRE_IPV6_LOOPBACK();
    const int other = ::socket(AF_INET6, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(other, IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof yes);
    sockaddr_in6 at{};
    at.sin6_family = AF_INET6;
    at.sin6_addr = in6addr_any;
    ASSERT_EQ(::bind(other, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(other, 1), 0);
    socklen_t length = sizeof at;
    ::getsockname(other, reinterpret_cast<sockaddr*>(&at), &length);
    const QString taken = QString::number(ntohs(at.sin6_port));

    QStringList lines;
    listener.OnInfo = [&](TSock*, TSocketInfo kind, const QString& msg) {
        lines << QString::number(int(kind)) + ":" + msg;
    };
    listener.setPortName(taken);
    listener.setListen(true);
    EXPECT_TRUE(listener.isListening());
    EXPECT_FALSE(listener.acceptsIpv6());
    EXPECT_EQ(listener.localAddress(), "0.0.0.0");
    EXPECT_EQ(lines, (QStringList{"0:Lookup Of Port " + taken, "3:Listening Started"}));
    EXPECT_TRUE(connects(literal("127.0.0.1"), taken.toInt()));
    ::close(other);
}

// A port taken on IPv4 is still refused, with the usual text.
TEST_F(DualStack, HostOnAPortTakenOnIpv4IsRefusedWithTheUsualText) {
    listen("0.0.0.0");
    TSock second;
    second.setPortName(port);
    try {
        second.setListen(true);
        ADD_FAILURE() << "listened on a taken port";
    } catch (const ESockException& e) {
        EXPECT_EQ(e.text(), "Listen - Error Binding Socket");
    }
    EXPECT_FALSE(second.isListening());
    EXPECT_FALSE(second.hasSocket());
}

// A connect that fails at once reports later, from the event loop. Closing
// the object and opening it again before that report arrives gives the new
// socket the old one's descriptor number; the stale report must not be
// taken for the new attempt's, or a good connection would be reported as
// failed and never seen to come up.
TEST_F(DualStack, LateResultOfAnAbandonedAttemptDoesNotSpoilTheNextOne) {
    listen("127.0.0.1");
    auto sock = client("255.255.255.255"); // refused at once by the socket layer
    bool connected = false;
    sock->OnConnect = [&](TSock*) { connected = true; };
    sock->Open();
    ASSERT_TRUE(sock->hasSocket());
    sock->Close();
    sock->setHostName("127.0.0.1");
    sock->Open();
    EXPECT_TRUE(waitUntil([&] { return connected; }));
    spin(50);
    EXPECT_TRUE(sock->isConnected());
    EXPECT_TRUE(reports.filter(QRegularExpression("^7:")).isEmpty())
        << reports.join(" | ").toStdString();
}
