#pragma once

#include "net/RouterClient.h"

#include <miniupnpc/miniupnpc.h>

// A router found through UPnP IGD (miniupnpc): discovery by SSDP on the local
// network, then the router's own description and SOAP calls over HTTP. Every
// call blocks; the library bounds each network wait itself.
class UpnpGateway {
public:
    UpnpGateway() = default;
    ~UpnpGateway();
    UpnpGateway(const UpnpGateway&) = delete;
    UpnpGateway& operator=(const UpnpGateway&) = delete;

    // Finds the router (waiting up to discoverMs for answers) and asks it to
    // forward TCP `port`. NoRouter when no device answered as a router, or
    // answered with something that is not UPnP.
    RouterClient::Mapping open(std::uint16_t port, std::uint32_t leaseSeconds, int discoverMs);
    // Removes the forwarding of `port` from the router found by open().
    bool close(std::uint16_t port);

private:
    bool discover(int discoverMs);
    void forget();

    bool m_found = false;
    UPNPUrls m_urls{};
    IGDdatas m_data{};
    char m_lanAddress[64] = {};
};
