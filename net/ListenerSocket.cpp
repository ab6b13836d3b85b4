#include "net/ListenerSocket.h"

#include "net/TSock.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

std::optional<SockAddress> ListenerSocket::bindAddress(const QString& text) {
    if (text.isEmpty())
        return SockAddress::any(AF_INET6);
    return SockAddress::parse(text, false);
}

int ListenerSocket::open(SockAddress address) {
    Step failure = Step::Socket;
    if (address.family() == AF_INET6 && address.isWildcard()) {
        const int fd = tryOpen(address, true, failure);
        if (fd >= 0)
            return fd;
        // Without IPv6 here (no such socket, or :: cannot be bound), or with
        // the port taken on IPv6 alone, the listener takes IPv4 as it always
        // did, and the IPv4 socket alone decides success and failure.
        const quint16 port = address.port();
        address = SockAddress::any(AF_INET);
        address.setPort(port);
    }
    const int fd = tryOpen(address, false, failure);
    if (fd >= 0)
        return fd;
    if (failure == Step::Listen)
        throw ESockException("Listen - Error Starting Listen");
    throw ESockException("Listen - Error Binding Socket");
}

int ListenerSocket::tryOpen(const SockAddress& address, bool dualStack, Step& failure) {
    failure = Step::Socket;
    const int fd = ::socket(address.family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (address.family() == AF_INET6) {
        // Set either way, whatever the system's default: the wildcard takes
        // IPv4 peers too, a given IPv6 address only its own.
        const int v6only = dualStack ? 0 : 1;
        if (::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, sizeof(v6only)) != 0) {
            ::close(fd);
            return -1;
        }
    }
    // Lets a restarted host take its port back at once; a port that another
    // socket is listening on is still refused.
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    failure = Step::Bind;
    if (::bind(fd, address.data(), address.size()) != 0) {
        ::close(fd);
        return -1;
    }
    failure = Step::Listen;
    if (::listen(fd, 5) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
