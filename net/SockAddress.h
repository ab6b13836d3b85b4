#pragma once

#include <QString>

#include <optional>
#include <sys/socket.h>

// One IPv4 or IPv6 socket address (address and port), as handed to and taken
// from the socket layer.
class SockAddress {
public:
    SockAddress() = default;
    // Copies what the socket layer filled in (accept, getsockname); anything
    // that is neither IPv4 nor IPv6 gives an empty address.
    static SockAddress fromSockaddr(const sockaddr_storage& storage, socklen_t length);
    // The wildcard address of a family (0.0.0.0 or ::).
    static SockAddress any(int family);
    // A numeric address without any resolver call: an IPv6 address, with or
    // without [brackets] and with an optional %scope, or, when `looseIpv4`,
    // the classic dotted forms ("127.1" included), else strictly four
    // decimal numbers. Nothing for anything else.
    static std::optional<SockAddress> parse(const QString& text, bool looseIpv4);

    bool isValid() const { return m_length != 0; }
    int family() const { return m_storage.ss_family; }
    const sockaddr* data() const { return reinterpret_cast<const sockaddr*>(&m_storage); }
    socklen_t size() const { return m_length; }

    // In host byte order.
    quint16 port() const;
    void setPort(quint16 port);

    // True for 0.0.0.0 and ::.
    bool isWildcard() const;
    // The address as text: dotted for IPv4, and also for an IPv4 peer seen
    // through an IPv6 socket (::ffff:a.b.c.d), so such a peer reads as it
    // would on an IPv4 socket; other IPv6 addresses in their usual short form
    // with the %scope of a link-local address.
    QString text() const;

    bool operator==(const SockAddress& other) const;

private:
    sockaddr_storage m_storage{};
    socklen_t m_length = 0;
};
