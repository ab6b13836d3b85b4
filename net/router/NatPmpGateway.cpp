#include "net/router/NatPmpGateway.h"

#include "net/Ipv4Address.h"

#include <natpmp.h>

#include <arpa/inet.h>
#include <sys/select.h>

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int timedOut = 1;

// The gateway's session: a UDP socket connected to the default gateway.
class Session {
public:
    Session() { m_ready = initnatpmp(&m_natpmp, 0, 0) == 0; }
    ~Session() {
        if (m_ready)
            closenatpmp(&m_natpmp);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool ready() const { return m_ready; }
    natpmp_t* get() { return &m_natpmp; }

    // Waits for the answer to the request just sent, resending as the
    // library schedules, until `deadline`. 0, a NATPMP_ERR_* code, or
    // timedOut.
    int answer(natpmpresp_t* response, Clock::time_point deadline) {
        while (true) {
            const int status = readnatpmpresponseorretry(&m_natpmp, response);
            if (status != NATPMP_TRYAGAIN)
                return status;
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return timedOut;
            timeval wait{};
            if (getnatpmprequesttimeout(&m_natpmp, &wait) != 0)
                return timedOut;
            const long long retryUs = std::max(0LL, wait.tv_sec * 1000000LL + wait.tv_usec);
            const long long us = std::min<long long>(retryUs, left.count());
            wait.tv_sec = time_t(us / 1000000);
            wait.tv_usec = suseconds_t(us % 1000000);
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(m_natpmp.s, &readable);
            select(m_natpmp.s + 1, &readable, nullptr, nullptr, &wait);
        }
    }

private:
    natpmp_t m_natpmp{};
    bool m_ready = false;
};

} // namespace

RouterClient::Mapping NatPmpGateway::open(std::uint16_t port, std::uint32_t leaseSeconds,
                                          int budgetMs) {
    RouterClient::Mapping result;
    const auto deadline = Clock::now() + std::chrono::milliseconds(budgetMs);
    Session session;
    if (!session.ready() || sendpublicaddressrequest(session.get()) < 0)
        return result;

    natpmpresp_t response{};
    int status = session.answer(&response, deadline);
    if (status == NATPMP_ERR_NETWORKFAILURE) {
        // The router has no outside address it could forward from.
        result.method = RouterClient::Method::NatPmp;
        result.outcome = RouterClient::Outcome::NoPublicAddress;
        return result;
    }
    if (status != 0 || response.type != NATPMP_RESPTYPE_PUBLICADDRESS)
        return result;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &response.pnu.publicaddress.addr, text, sizeof text);
    result.publicAddress = text;
    result.method = RouterClient::Method::NatPmp;
    const Ipv4Address external(ntohl(response.pnu.publicaddress.addr.s_addr));
    if (!external.isPublic()) {
        result.outcome = RouterClient::Outcome::NoPublicAddress;
        return result;
    }

    if (sendnewportmappingrequest(session.get(), NATPMP_PROTOCOL_TCP, port, port, leaseSeconds) <
        0) {
        result.method = RouterClient::Method::None;
        return result;
    }
    response = {};
    status = session.answer(&response, deadline);
    if (status == NATPMP_ERR_NETWORKFAILURE) {
        result.outcome = RouterClient::Outcome::NoPublicAddress;
    } else if (status == NATPMP_ERR_NOTAUTHORIZED || status == NATPMP_ERR_OUTOFRESOURCES) {
        result.outcome = RouterClient::Outcome::Refused;
        result.detail = status == NATPMP_ERR_NOTAUTHORIZED ? "not authorized" : "out of resources";
    } else if (status != 0 || response.type != NATPMP_RESPTYPE_TCPPORTMAPPING) {
        result.method = RouterClient::Method::None;
        result.outcome = RouterClient::Outcome::NoRouter;
    } else if (response.pnu.newportmapping.mappedpublicport != port) {
        // Another outside port would not be the one players are told about.
        sendnewportmappingrequest(session.get(), NATPMP_PROTOCOL_TCP, port, 0, 0);
        session.answer(&response, deadline);
        result.outcome = RouterClient::Outcome::Refused;
        result.detail = "the port is forwarded to another computer";
    } else {
        result.outcome = RouterClient::Outcome::Opened;
    }
    return result;
}

bool NatPmpGateway::close(std::uint16_t port, int budgetMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(budgetMs);
    Session session;
    if (!session.ready() ||
        sendnewportmappingrequest(session.get(), NATPMP_PROTOCOL_TCP, port, 0, 0) < 0)
        return false;
    natpmpresp_t response{};
    return session.answer(&response, deadline) == 0;
}
