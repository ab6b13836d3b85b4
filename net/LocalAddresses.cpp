#include "net/LocalAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace {
LocalAddresses::Entry fromIpv4(const sockaddr_in& address, bool loopbackInterface) {
    LocalAddresses::Entry entry;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    entry.address = QString::fromLatin1(text);
    const quint32 host = ntohl(address.sin_addr.s_addr);
    entry.loopback = loopbackInterface || (host >> 24) == 127;
    entry.linkLocal = (host >> 16) == 0xA9FE; // 169.254.0.0/16
    return entry;
}

LocalAddresses::Entry fromIpv6(const sockaddr_in6& address, const char* interfaceName,
                               bool loopbackInterface) {
    LocalAddresses::Entry entry;
    entry.ipv6 = true;
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, &address.sin6_addr, text, sizeof text);
    entry.address = QString::fromLatin1(text);
    entry.loopback = loopbackInterface || IN6_IS_ADDR_LOOPBACK(&address.sin6_addr);
    entry.linkLocal = IN6_IS_ADDR_LINKLOCAL(&address.sin6_addr);
    // A link-local address means nothing without the interface it is on.
    if (entry.linkLocal && interfaceName)
        entry.address += '%' + QString::fromLocal8Bit(interfaceName);
    return entry;
}
} // namespace

QList<LocalAddresses::Entry> LocalAddresses::current() {
    QList<Entry> entries;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return entries;
    for (const ifaddrs* item = list; item; item = item->ifa_next) {
        if (!item->ifa_addr || !(item->ifa_flags & IFF_UP))
            continue;
        const bool loopback = item->ifa_flags & IFF_LOOPBACK;
        if (item->ifa_addr->sa_family == AF_INET)
            entries << fromIpv4(*reinterpret_cast<const sockaddr_in*>(item->ifa_addr), loopback);
        else if (item->ifa_addr->sa_family == AF_INET6)
            entries << fromIpv6(*reinterpret_cast<const sockaddr_in6*>(item->ifa_addr),
                                item->ifa_name, loopback);
    }
    ::freeifaddrs(list);
    return entries;
}

QList<LocalAddresses::Entry> LocalAddresses::reachable(const QList<Entry>& all, bool withIpv6) {
    QList<Entry> wide;
    QList<Entry> linkLocal;
    auto add = [](QList<Entry>& to, const Entry& entry) {
        for (const Entry& known : to)
            if (known.address == entry.address)
                return;
        to << entry;
    };
    for (bool v6 : {false, true}) {
        if (v6 && !withIpv6)
            break;
        for (const Entry& entry : all) {
            if (entry.ipv6 != v6 || entry.loopback || entry.address.isEmpty())
                continue;
            add(entry.linkLocal ? linkLocal : wide, entry);
        }
    }
    return wide.isEmpty() ? linkLocal : wide;
}

QString LocalAddresses::joinText(const Entry& entry, int port, int usualPort) {
    if (port == usualPort || port <= 0)
        return entry.address;
    if (entry.ipv6)
        return '[' + entry.address + "]:" + QString::number(port);
    return entry.address + ':' + QString::number(port);
}
