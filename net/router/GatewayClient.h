#pragma once

#include "net/RouterClient.h"
#include "net/router/NatPmpGateway.h"
#include "net/router/UpnpGateway.h"

// The router module's RouterClient: UPnP IGD first, NAT-PMP when no UPnP
// router answers. Remembers which of them made the forwarding, to take it
// back the same way.
class GatewayClient : public RouterClient {
public:
    Mapping open(std::uint16_t port, std::uint32_t leaseSeconds, int budgetMs) override;
    bool close(std::uint16_t port, int budgetMs) override;

private:
    UpnpGateway m_upnp;
    NatPmpGateway m_natPmp;
    Method m_opened = Method::None;
};
