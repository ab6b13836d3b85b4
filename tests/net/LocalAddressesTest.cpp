// Which of this machine's addresses a host tells others to join at, and how
// they are written.
#include "net/LocalAddresses.h"

#include <gtest/gtest.h>

namespace {
LocalAddresses::Entry v4(const char* address, bool loopback = false, bool linkLocal = false) {
    return {address, false, loopback, linkLocal};
}
LocalAddresses::Entry v6(const char* address, bool loopback = false, bool linkLocal = false) {
    return {address, true, loopback, linkLocal};
}
QStringList texts(const QList<LocalAddresses::Entry>& entries) {
    QStringList out;
    for (const auto& entry : entries)
        out << entry.address;
    return out;
}
} // namespace

TEST(LocalAddresses, LoopbackNeverAndLinkLocalOnlyWhenNothingElse) {
    const QList<LocalAddresses::Entry> machine = {
        v4("127.0.0.1", true), v6("::1", true),    v6("fe80::1%eth0", false, true),
        v4("192.168.1.20"),    v6("2001:db8::20"), v4("169.254.3.4", false, true),
        v4("10.8.0.2"),        v4("192.168.1.20"), // the same address on a second interface
    };
    EXPECT_EQ(texts(LocalAddresses::reachable(machine, true)),
              QStringList({"192.168.1.20", "10.8.0.2", "2001:db8::20"}))
        << "IPv4 first, each once";
    EXPECT_EQ(texts(LocalAddresses::reachable(machine, false)),
              QStringList({"192.168.1.20", "10.8.0.2"}));

    const QList<LocalAddresses::Entry> linkOnly = {v4("127.0.0.1", true),
                                                   v6("fe80::1%eth0", false, true)};
    EXPECT_EQ(texts(LocalAddresses::reachable(linkOnly, true)), QStringList({"fe80::1%eth0"}));
    EXPECT_TRUE(LocalAddresses::reachable({v4("127.0.0.1", true)}, true).isEmpty());
}

TEST(LocalAddresses, ThePortIsWrittenOnlyWhenItIsNotTheUsualOne) {
    EXPECT_EQ(LocalAddresses::joinText(v4("10.0.0.5"), 7772), "10.0.0.5");
    EXPECT_EQ(LocalAddresses::joinText(v4("10.0.0.5"), 40001), "10.0.0.5:40001");
    EXPECT_EQ(LocalAddresses::joinText(v6("2001:db8::5"), 40001), "[2001:db8::5]:40001");
}

TEST(LocalAddresses, TheMachinesOwnListHasLoopbackMarkedAndNoEmptyAddresses) {
    const QList<LocalAddresses::Entry> all = LocalAddresses::current();
    for (const auto& entry : all) {
        EXPECT_FALSE(entry.address.isEmpty());
        if (entry.address == "127.0.0.1" || entry.address == "::1") {
            EXPECT_TRUE(entry.loopback) << entry.address.toStdString();
        }
    }
    for (const auto& entry : LocalAddresses::reachable(all, true))
        EXPECT_FALSE(entry.loopback);
}
