#pragma once

// Plain sockets for the listener tests: whether a connection to an address
// is made, and this machine's addresses other than loopback.

#include "net/SockAddress.h"

#include <QList>

#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// Whether a plain TCP connection to address:port is made within a second.
inline bool connects(const SockAddress& to, int port) {
    SockAddress target = to;
    target.setPort(quint16(port));
    const int fd = ::socket(target.family(), SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    bool made = ::connect(fd, target.data(), target.size()) == 0;
    if (!made && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        made = ::poll(&p, 1, 1000) == 1 &&
               ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    ::close(fd);
    return made;
}

// An address written as text ("127.0.0.1", "::1").
inline SockAddress literal(const char* text) {
    return *SockAddress::parse(QString::fromLatin1(text), true);
}

// The addresses of this machine other than loopback, of both families.
inline QList<SockAddress> otherLocalAddresses() {
    QList<SockAddress> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return found;
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || (it->ifa_flags & IFF_LOOPBACK))
            continue;
        const int family = it->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6)
            continue;
        sockaddr_storage storage{};
        const socklen_t length = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        std::memcpy(&storage, it->ifa_addr, length);
        found << SockAddress::fromSockaddr(storage, length);
    }
    ::freeifaddrs(list);
    return found;
}
