#include "net/Ipv4Address.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* text;
    bool parses;
    bool isPublic;
};

// What a router may say about its outside address, and whether a player may
// be shown it as where others join.
const Case cases[] = {
    {"203.0.114.7", true, true},
    {"8.8.4.4", true, true},
    {"1.0.0.1", true, true},
    {"100.63.255.255", true, true},
    {"100.128.0.0", true, true},
    {"172.32.0.1", true, true},
    {"192.168.1.1", true, false},
    {"10.20.30.40", true, false},
    {"172.16.0.1", true, false},
    {"172.31.255.255", true, false},
    {"100.64.0.1", true, false},
    {"100.127.255.254", true, false},
    {"127.0.0.1", true, false},
    {"169.254.10.10", true, false},
    {"0.0.0.0", true, false},
    {"192.0.2.5", true, false},
    {"198.51.100.5", true, false},
    {"203.0.113.5", true, false},
    {"198.19.0.1", true, false},
    {"224.0.0.1", true, false},
    {"255.255.255.255", true, false},
    {"", false, false},
    {"1.2.3", false, false},
    {"1.2.3.4.5", false, false},
    {"256.1.1.1", false, false},
    {"01.2.3.4", false, false},
    {"1.2.3.4 ", false, false},
    {" 1.2.3.4", false, false},
    {"+1.2.3.4", false, false},
    {"1..3.4", false, false},
    {"1.2.3.", false, false},
    {"1234.1.1.1", false, false},
    {"::1", false, false},
    {"router.local", false, false},
    {"1.2.3.4<b>", false, false},
};

TEST(Ipv4Address, RouterAnswersParseStrictlyAndOnlyReachableAddressesArePublic) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto address = Ipv4Address::parse(c.text);
        ASSERT_EQ(address.has_value(), c.parses);
        if (address) {
            EXPECT_EQ(address->isPublic(), c.isPublic);
            EXPECT_EQ(address->toString(), c.text);
        }
    }
}

TEST(Ipv4Address, OnlyTheSharedRangeIsCarrierGrade) {
    EXPECT_TRUE(Ipv4Address::parse("100.64.0.0")->isCarrierGrade());
    EXPECT_TRUE(Ipv4Address::parse("100.127.255.255")->isCarrierGrade());
    EXPECT_FALSE(Ipv4Address::parse("100.128.0.0")->isCarrierGrade());
    EXPECT_FALSE(Ipv4Address::parse("192.168.0.1")->isCarrierGrade());
}

} // namespace
