#include "client/RecentHosts.h"

#include "client/JoinAddress.h"

RecentHosts RecentHosts::fromStored(const QStringList& stored) {
    RecentHosts recent;
    for (const QString& entry : stored) {
        const JoinAddress address = JoinAddress::parse(entry);
        if (!address.isValid() || recent.m_hosts.contains(address.host(), Qt::CaseInsensitive))
            continue;
        recent.m_hosts << address.host();
        if (recent.m_hosts.size() == capacity)
            break;
    }
    return recent;
}

void RecentHosts::remember(const QString& host) {
    const JoinAddress address = JoinAddress::parse(host);
    if (!address.isValid())
        return;
    m_hosts.removeIf([&](const QString& known) {
        return known.compare(address.host(), Qt::CaseInsensitive) == 0;
    });
    m_hosts.prepend(address.host());
    while (m_hosts.size() > capacity)
        m_hosts.removeLast();
}
