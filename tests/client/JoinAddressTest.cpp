// What a player may type as the host's address and as a name, and the hosts
// remembered from earlier joins: everything typed or read back from the
// settings file is untrusted and checked before a join is started with it.
#include "client/JoinAddress.h"
#include "client/PlayerName.h"
#include "client/RecentHosts.h"

#include <gtest/gtest.h>

namespace {
struct AddressCase {
    const char* typed;
    const char* host; // nullptr: refused
};

const AddressCase addressCases[] = {
    {"192.168.1.20", "192.168.1.20"},
    {"  10.0.0.5  ", "10.0.0.5"},
    {"10.0.0.5:7772", "10.0.0.5"},
    {"game-host.example.org", "game-host.example.org"},
    {"localhost", "localhost"},
    {"Host.Example.ORG.", "Host.Example.ORG."},
    {"example.org:7772", "example.org"},
    {"::1", "::1"},
    {"2001:db8::7", "2001:db8::7"},
    {"[2001:db8::7]", "2001:db8::7"},
    {"[2001:db8::7]:7772", "2001:db8::7"},
    {"fe80::1%eth0", "fe80::1%eth0"},
    // Refused.
    {"", nullptr},
    {"    ", nullptr},
    {"192.168.1", nullptr},
    {"192.168.1.256", nullptr},
    {"192.168.01.2", nullptr},
    {"1.2.3.4.5", nullptr},
    {"3com.example", nullptr}, // a leading digit is read as an IPv4 address
    {"host name", nullptr},
    {"host\tname", nullptr},
    {"host\nname", nullptr},
    {"evil\x1b[31m", nullptr},
    {"-host.example", nullptr},
    {"host-.example", nullptr},
    {"host..example", nullptr},
    {"host_name.example", nullptr},
    {"bücher.example", nullptr},
    {"10.0.0.5:80", nullptr},
    {"10.0.0.5:", nullptr},
    {"10.0.0.5:07772", nullptr},
    {"example.org:+7772", nullptr},
    {"[2001:db8::7", nullptr},
    {"[2001:db8::7]x", nullptr},
    {"[example.org]:7772", nullptr},
    {"2001:db8::7::8", nullptr},
    {"fe80::1%", nullptr},
    {"fe80::1%eth 0", nullptr},
    {"http://example.org/", nullptr},
    {"a.b:c:d", nullptr},
};
} // namespace

TEST(JoinAddress, AcceptsNamesAndAddressesAndRefusesGarbageWithAReason) {
    for (const AddressCase& c : addressCases) {
        const JoinAddress address = JoinAddress::parse(QString::fromUtf8(c.typed));
        if (c.host) {
            EXPECT_TRUE(address.isValid()) << c.typed << ": " << address.problem().toStdString();
            EXPECT_EQ(address.host(), QString::fromUtf8(c.host)) << c.typed;
        } else {
            EXPECT_FALSE(address.isValid()) << c.typed;
            EXPECT_TRUE(address.host().isEmpty()) << c.typed;
            EXPECT_FALSE(address.problem().isEmpty()) << c.typed;
        }
    }
}

TEST(JoinAddress, OverlongTextIsRefusedWhateverItHolds) {
    const QString label(63, 'a');
    const QString longest = QStringList(4, label).join('.').left(253);
    EXPECT_TRUE(JoinAddress::parse(longest).isValid());
    EXPECT_FALSE(JoinAddress::parse(longest + "a").isValid());
    EXPECT_FALSE(JoinAddress::parse(QString(64, 'a') + ".example").isValid()) << "label of 64";
    EXPECT_FALSE(JoinAddress::parse(QString(100000, 'x')).isValid());
}

TEST(JoinAddress, OnlyTheGamePortIsAcceptedAndTheRefusalSaysSo) {
    const JoinAddress other = JoinAddress::parse("10.0.0.5:7773");
    ASSERT_FALSE(other.isValid());
    EXPECT_TRUE(other.problem().contains("7772"));
}

TEST(PlayerName, IsOneShortLineWithoutControlCharacters) {
    EXPECT_TRUE(PlayerName::problem("Ann").isEmpty());
    EXPECT_TRUE(PlayerName::problem("  Ann + Bo  ").isEmpty());
    EXPECT_EQ(PlayerName::cleaned("  Ann + Bo  "), "Ann + Bo");
    EXPECT_TRUE(PlayerName::problem(QString(PlayerName::maxLength, 'x')).isEmpty());
    for (const QString& bad :
         {QString(), QString("   "), QString("Ann\nBo"), QString("A\x01"),
          QString(PlayerName::maxLength + 1, 'x'), QString("Ann") + QChar(0x202E) + "oB"})
        EXPECT_FALSE(PlayerName::problem(bad).isEmpty()) << bad.toStdString();
    EXPECT_EQ(PlayerName::fromStored("Ann\tBo"), "");
    EXPECT_EQ(PlayerName::fromStored(" Ann "), "Ann");
}

TEST(RecentHosts, KeepsFiveMostRecentFirstWithoutRepeats) {
    RecentHosts recent;
    for (const char* host : {"a.example", "b.example", "c.example", "d.example", "e.example"})
        recent.remember(host);
    EXPECT_EQ(recent.hosts(),
              QStringList({"e.example", "d.example", "c.example", "b.example", "a.example"}));
    recent.remember("f.example");
    EXPECT_EQ(recent.hosts().size(), RecentHosts::capacity);
    EXPECT_EQ(recent.hosts().first(), "f.example");
    EXPECT_FALSE(recent.hosts().contains("a.example")) << "the oldest falls off";

    recent.remember("C.EXAMPLE");
    EXPECT_EQ(recent.hosts(),
              QStringList({"C.EXAMPLE", "f.example", "e.example", "d.example", "b.example"}))
        << "a host joined again moves to the front, once";
    recent.remember("not a host");
    EXPECT_EQ(recent.hosts().first(), "C.EXAMPLE");
}

TEST(RecentHosts, AStoredListIsCleanedOfGarbageAndRepeats) {
    const RecentHosts recent = RecentHosts::fromStored(
        {"10.0.0.5", "", "evil\x07host", "10.0.0.5:7772", "Game.example", "game.example",
         "b.example", "c.example", "d.example", "e.example"});
    EXPECT_EQ(recent.hosts(),
              QStringList({"10.0.0.5", "Game.example", "b.example", "c.example", "d.example"}));
}
