#include "net/routerlab/FakeRouter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int httpPort = 5000;

int udpSocket(const std::string& address, int port) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(std::uint16_t(port));
    at.sin_addr.s_addr = address.empty() ? htonl(INADDR_ANY) : inet_addr(address.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string randomBytes(std::mt19937& random, std::size_t count) {
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = char(random() & 0xFF);
    return bytes;
}

// The search target of an M-SEARCH request, echoed in the answer.
std::string searchTarget(const std::string& request) {
    const auto at = request.find("ST:");
    if (at == std::string::npos)
        return "urn:schemas-upnp-org:device:InternetGatewayDevice:1";
    const auto end = request.find("\r\n", at);
    std::string target = request.substr(at + 3, end - at - 3);
    while (!target.empty() && target.front() == ' ')
        target.erase(0, 1);
    return target;
}

struct Connection {
    int fd;
    std::size_t sent = 0;
    std::chrono::steady_clock::time_point next;
};

} // namespace

FakeRouter::FakeRouter(std::string mode, std::string lanAddress)
    : m_mode(std::move(mode)), m_lan(std::move(lanAddress)) {}

int FakeRouter::run() {
    std::mt19937 random(7772);
    const int ssdp = udpSocket("", 1900);
    ip_mreq group{};
    group.imr_multiaddr.s_addr = inet_addr("239.255.255.250");
    group.imr_interface.s_addr = inet_addr(m_lan.c_str());
    const int natPmp = udpSocket(m_lan, 5351);
    const int http = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(http, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(httpPort);
    at.sin_addr.s_addr = inet_addr(m_lan.c_str());
    if (ssdp < 0 || natPmp < 0 ||
        setsockopt(ssdp, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0 ||
        bind(http, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(http, 8) != 0) {
        std::printf("failed %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    const std::string trickle = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: "
                                "100000\r\nServer: fake\r\nX-Padding: " +
                                std::string(4000, 'x');
    std::vector<Connection> connections;
    while (true) {
        std::vector<pollfd> fds = {{ssdp, POLLIN, 0}, {natPmp, POLLIN, 0}, {http, POLLIN, 0}};
        for (const Connection& c : connections)
            fds.push_back({c.fd, POLLIN, 0});
        poll(fds.data(), fds.size(), 100);
        char buffer[2048];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        if (fds[0].revents & POLLIN) {
            const ssize_t got = recvfrom(ssdp, buffer, sizeof buffer - 1, 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got > 0) {
                std::string answer;
                if (m_mode == "noise") {
                    answer = randomBytes(random, 300);
                } else {
                    const std::string target = searchTarget(std::string(buffer, std::size_t(got)));
                    answer = "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: " + target +
                             "\r\nUSN: uuid:3a1e1b0c-0000-4b0e-9b7a-1c2d3e4f5a6b::" + target +
                             "\r\nEXT:\r\nSERVER: fake/1.0 UPnP/1.1\r\nLOCATION: http://" + m_lan +
                             ":" + std::to_string(httpPort) + "/rootDesc.xml\r\n\r\n";
                }
                sendto(ssdp, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                       fromLength);
            }
        }
        if (fds[1].revents & POLLIN) {
            fromLength = sizeof from;
            const ssize_t got = recvfrom(natPmp, buffer, sizeof buffer, 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got > 0 && (m_mode == "garbage" || m_mode == "noise")) {
                const std::string answer = randomBytes(random, 16);
                sendto(natPmp, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                       fromLength);
            }
        }
        if (fds[2].revents & POLLIN) {
            const int fd = accept(http, nullptr, nullptr);
            if (fd >= 0)
                connections.push_back({fd, 0, std::chrono::steady_clock::now()});
        }
        const auto now = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < connections.size();) {
            Connection& c = connections[i];
            bool drop = false;
            if (fds[3 + i].revents & (POLLIN | POLLHUP)) {
                const ssize_t got = recv(c.fd, buffer, sizeof buffer, 0);
                if (got <= 0)
                    drop = true;
                else if (m_mode == "vanish") {
                    const linger reset{1, 0};
                    setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
                    drop = true;
                } else if (m_mode == "garbage" || m_mode == "noise") {
                    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2048\r\n\r\n" +
                                               randomBytes(random, 2048);
                    send(c.fd, answer.data(), answer.size(), MSG_NOSIGNAL);
                    drop = true;
                }
            }
            if (!drop && m_mode == "slow" && now >= c.next && c.sent < trickle.size()) {
                send(c.fd, trickle.data() + c.sent, 1, MSG_NOSIGNAL);
                ++c.sent;
                c.next = now + std::chrono::seconds(1);
            }
            if (drop) {
                close(c.fd);
                connections.erase(connections.begin() + long(i));
                // fds no longer lines up with connections past this one;
                // they are looked at again on the next turn.
                break;
            }
            ++i;
        }
    }
}
