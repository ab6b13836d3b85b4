#include "net/router/GatewayClient.h"

#include <algorithm>
#include <chrono>

namespace {
// How long UPnP discovery listens for routers: a router on the local network
// answers within milliseconds, and NAT-PMP needs the rest of the budget.
constexpr int discoverShareMs = 1200;
// NAT-PMP resends after 250 ms, then 500 ms: two tries at least.
constexpr int natPmpMinimumMs = 800;
} // namespace

RouterClient::Mapping GatewayClient::open(std::uint16_t port, std::uint32_t leaseSeconds,
                                          int budgetMs) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    m_opened = Method::None;
    Mapping mapping = m_upnp.open(port, leaseSeconds, std::min(discoverShareMs, budgetMs / 2));
    if (mapping.outcome == Outcome::NoRouter) {
        const int spent = int(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        mapping = m_natPmp.open(port, leaseSeconds, std::max(natPmpMinimumMs, budgetMs - spent));
    }
    if (mapping.outcome == Outcome::Opened)
        m_opened = mapping.method;
    return mapping;
}

bool GatewayClient::close(std::uint16_t port, int budgetMs) {
    const Method method = m_opened;
    m_opened = Method::None;
    switch (method) {
    case Method::Upnp:
        return m_upnp.close(port);
    case Method::NatPmp:
        return m_natPmp.close(port, budgetMs);
    case Method::None:
        break;
    }
    return false;
}
