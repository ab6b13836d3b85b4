#include "net/HostLookup.h"

#include "net/TSock.h"

#include <QHash>

#include <cstring>

#include <arpa/inet.h>
#include <netdb.h>
#include <stdexcept>
#include <sys/socket.h>

namespace {

// Longest name handed to the resolver: a DNS name has at most 253 characters.
constexpr int MaxName = 255;

QHash<QString, QList<SockAddress>>& cache() {
    static QHash<QString, QList<SockAddress>> names;
    return names;
}

int g_resolverCalls = 0;

QList<SockAddress> resolve(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    if (name.isEmpty() || utf8.size() > MaxName || utf8.contains('\0'))
        return {};
    ++g_resolverCalls;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(utf8.constData(), nullptr, &hints, &result) != 0)
        return {};
    QList<SockAddress> ipv4;
    QList<SockAddress> ipv6;
    for (const addrinfo* it = result; it; it = it->ai_next) {
        if (!it->ai_addr || it->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        sockaddr_storage storage{};
        std::memcpy(&storage, it->ai_addr, it->ai_addrlen);
        const SockAddress a = SockAddress::fromSockaddr(storage, it->ai_addrlen);
        QList<SockAddress>& list = a.family() == AF_INET ? ipv4 : ipv6;
        if (a.isValid() && !list.contains(a))
            list << a;
    }
    ::freeaddrinfo(result);
    QList<SockAddress> all = ipv4 + ipv6;
    if (all.size() > HostLookup::MaxAddresses)
        all.resize(HostLookup::MaxAddresses);
    return all;
}

} // namespace

QList<SockAddress> HostLookup::addresses(const QString& name) {
    const bool digitFirst = !name.isEmpty() && name.at(0).isDigit();
    if (digitFirst || name.startsWith(QLatin1Char('[')) || name.contains(QLatin1Char(':'))) {
        const std::optional<SockAddress> literal = SockAddress::parse(name, digitFirst);
        if (!literal)
            return {};
        return {*literal};
    }
    auto& names = cache();
    auto it = names.constFind(name);
    if (it != names.constEnd())
        return it.value();
    QList<SockAddress> found = resolve(name);
    if (!found.isEmpty())
        names.insert(name, found);
    return found;
}

quint16 HostLookup::port(const QString& name) {
    if (!name.isEmpty() && name.at(0).isDigit()) {
        bool ok = false;
        const int port = name.toInt(&ok);
        if (!ok || port < 0 || port > 65535)
            throw std::invalid_argument(
                QStringLiteral("'%1' is not a valid integer value").arg(name).toStdString());
        return quint16(port);
    }
    const servent* entry =
        name.isEmpty() ? nullptr : ::getservbyname(name.toLatin1().constData(), "tcp");
    if (entry == nullptr)
        throw ESockException("Port Lookup - Could Not Find Service Entry");
    return ntohs(quint16(entry->s_port));
}

void HostLookup::clearCache() {
    cache().clear();
}

int HostLookup::resolverCalls() {
    return g_resolverCalls;
}

void HostLookup::remember(const QString& name, const QList<SockAddress>& addresses) {
    cache().insert(name, addresses.mid(0, MaxAddresses));
}
