#include "net/SockAddress.h"

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>

namespace {

// Longest text worth parsing as a numeric address: a full IPv6 address with
// brackets and a long interface name as its scope.
constexpr int MaxLiteral = 80;

const sockaddr_in* asIpv4(const sockaddr_storage& s) {
    return reinterpret_cast<const sockaddr_in*>(&s);
}

const sockaddr_in6* asIpv6(const sockaddr_storage& s) {
    return reinterpret_cast<const sockaddr_in6*>(&s);
}

} // namespace

SockAddress SockAddress::fromSockaddr(const sockaddr_storage& storage, socklen_t length) {
    SockAddress a;
    if (storage.ss_family == AF_INET && length >= socklen_t(sizeof(sockaddr_in))) {
        std::memcpy(&a.m_storage, &storage, sizeof(sockaddr_in));
        a.m_length = sizeof(sockaddr_in);
    } else if (storage.ss_family == AF_INET6 && length >= socklen_t(sizeof(sockaddr_in6))) {
        std::memcpy(&a.m_storage, &storage, sizeof(sockaddr_in6));
        a.m_length = sizeof(sockaddr_in6);
    }
    return a;
}

SockAddress SockAddress::any(int family) {
    SockAddress a;
    if (family == AF_INET6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&a.m_storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_any;
        a.m_length = sizeof(sockaddr_in6);
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&a.m_storage);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = htonl(INADDR_ANY);
        a.m_length = sizeof(sockaddr_in);
    }
    return a;
}

std::optional<SockAddress> SockAddress::parse(const QString& text, bool looseIpv4) {
    if (text.isEmpty() || text.size() > MaxLiteral)
        return std::nullopt;
    QString bare = text;
    if (bare.startsWith(QLatin1Char('[')) && bare.endsWith(QLatin1Char(']')))
        bare = bare.mid(1, bare.size() - 2);
    const QByteArray latin = bare.toLatin1();
    if (latin.isEmpty() || QString::fromLatin1(latin) != bare)
        return std::nullopt;

    if (!bare.contains(QLatin1Char(':'))) {
        // A malformed dotted address must not turn into the broadcast
        // address, as it would through inet_addr.
        in_addr addr{};
        const bool ok = looseIpv4 ? ::inet_aton(latin.constData(), &addr) != 0
                                  : ::inet_pton(AF_INET, latin.constData(), &addr) == 1;
        if (!ok)
            return std::nullopt;
        SockAddress a = any(AF_INET);
        reinterpret_cast<sockaddr_in*>(&a.m_storage)->sin_addr = addr;
        return a;
    }
    // The numeric resolver form understands the %scope of a link-local
    // address; it never asks a name server.
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* result = nullptr;
    if (::getaddrinfo(latin.constData(), nullptr, &hints, &result) != 0 || result == nullptr)
        return std::nullopt;
    SockAddress a;
    if (result->ai_family == AF_INET6 && result->ai_addrlen == sizeof(sockaddr_in6)) {
        std::memcpy(&a.m_storage, result->ai_addr, sizeof(sockaddr_in6));
        a.m_length = sizeof(sockaddr_in6);
    }
    ::freeaddrinfo(result);
    if (!a.isValid())
        return std::nullopt;
    return a;
}

quint16 SockAddress::port() const {
    if (family() == AF_INET6)
        return ntohs(asIpv6(m_storage)->sin6_port);
    if (family() == AF_INET)
        return ntohs(asIpv4(m_storage)->sin_port);
    return 0;
}

void SockAddress::setPort(quint16 port) {
    if (family() == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&m_storage)->sin6_port = htons(port);
    else if (family() == AF_INET)
        reinterpret_cast<sockaddr_in*>(&m_storage)->sin_port = htons(port);
}

bool SockAddress::isWildcard() const {
    if (family() == AF_INET6)
        return IN6_IS_ADDR_UNSPECIFIED(&asIpv6(m_storage)->sin6_addr);
    if (family() == AF_INET)
        return asIpv4(m_storage)->sin_addr.s_addr == htonl(INADDR_ANY);
    return false;
}

QString SockAddress::text() const {
    char buffer[NI_MAXHOST] = {};
    if (family() == AF_INET) {
        ::inet_ntop(AF_INET, &asIpv4(m_storage)->sin_addr, buffer, sizeof buffer);
        return QString::fromLatin1(buffer);
    }
    if (family() != AF_INET6)
        return {};
    const in6_addr& addr = asIpv6(m_storage)->sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&addr)) {
        ::inet_ntop(AF_INET, &addr.s6_addr[12], buffer, sizeof buffer);
        return QString::fromLatin1(buffer);
    }
    if (::getnameinfo(data(), m_length, buffer, sizeof buffer, nullptr, 0, NI_NUMERICHOST) != 0)
        ::inet_ntop(AF_INET6, &addr, buffer, sizeof buffer);
    return QString::fromLatin1(buffer);
}

bool SockAddress::operator==(const SockAddress& other) const {
    return m_length == other.m_length && std::memcmp(&m_storage, &other.m_storage, m_length) == 0;
}
