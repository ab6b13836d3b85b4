// How host names and bind addresses turn into socket addresses: numeric
// forms of both families are read without the resolver, malformed ones are
// refused rather than half read.
#include "net/HostLookup.h"
#include "net/ListenerSocket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

TEST(HostLookup, NumericAddressesOfBothFamiliesAreReadWithoutTheResolver) {
    struct Case {
        const char* name;
        const char* text; // empty: refused
        int family;
    };
    const Case cases[] = {
        {"127.0.0.1", "127.0.0.1", AF_INET},
        {"127.1", "127.0.0.1", AF_INET}, // the classic short dotted form, as always
        {"::1", "::1", AF_INET6},
        {"[::1]", "::1", AF_INET6},
        {"2001:db8::1", "2001:db8::1", AF_INET6},
        {"[2001:DB8:0:0::1]", "2001:db8::1", AF_INET6},
        {"fe80::1%lo", "fe80::1%lo", AF_INET6},
        // An IPv4 address written the IPv6 way reads dotted.
        {"::ffff:10.1.2.3", "10.1.2.3", AF_INET6},
        {"[::1", "", 0},
        {"::1]", "", 0},
        {"[]", "", 0},
        {":::1", "", 0},
        {"1.2.3.4.5", "", 0},
        {"256.1.1.1", "", 0},
        {"1::2::3", "", 0},
        {"localhost:7772", "", 0},
        {"[localhost]", "", 0},
        {"", "", 0},
    };
    const int calls = HostLookup::resolverCalls();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QList<SockAddress> found = HostLookup::addresses(QString::fromLatin1(c.name));
        if (*c.text == '\0') {
            EXPECT_TRUE(found.isEmpty()) << found.value(0).text().toStdString();
            continue;
        }
        ASSERT_EQ(found.size(), 1);
        EXPECT_EQ(found[0].text(), QString::fromLatin1(c.text));
        EXPECT_EQ(found[0].family(), c.family);
        EXPECT_EQ(found[0].port(), 0);
    }
    EXPECT_EQ(HostLookup::resolverCalls(), calls);
}

TEST(HostLookup, OverlongNameIsRefusedWithoutAskingTheResolver) {
    const int calls = HostLookup::resolverCalls();
    EXPECT_TRUE(HostLookup::addresses(QString(300, QLatin1Char('a'))).isEmpty());
    EXPECT_TRUE(HostLookup::addresses(QString(100, QLatin1Char('1'))).isEmpty());
    EXPECT_EQ(HostLookup::resolverCalls(), calls);
}

TEST(HostLookup, ResolvedNameListsItsIpv4AddressesFirst) {
    HostLookup::clearCache();
    const QList<SockAddress> found = HostLookup::addresses("localhost");
    HostLookup::clearCache();
    ASSERT_FALSE(found.isEmpty());
    EXPECT_EQ(found[0].family(), AF_INET);
    bool seenIpv6 = false;
    for (const SockAddress& a : found) {
        EXPECT_FALSE(seenIpv6 && a.family() == AF_INET) << a.text().toStdString();
        seenIpv6 = seenIpv6 || a.family() == AF_INET6;
    }
    EXPECT_LE(found.size(), HostLookup::MaxAddresses);
}

TEST(ListenerSocket, BindAddressIsTheDualStackWildcardOrOneStrictAddress) {
    const std::optional<SockAddress> every = ListenerSocket::bindAddress(QString());
    ASSERT_TRUE(every);
    EXPECT_EQ(every->family(), AF_INET6);
    EXPECT_TRUE(every->isWildcard());
    EXPECT_EQ(ListenerSocket::bindAddress("127.0.0.1")->text(), "127.0.0.1");
    EXPECT_EQ(ListenerSocket::bindAddress("[::1]")->text(), "::1");
    for (const char* bad : {"127.1", "localhost", "localhost:1", "1.2.3.4 ", "[::1"})
        EXPECT_FALSE(ListenerSocket::bindAddress(QString::fromLatin1(bad))) << bad;
}
