#pragma once

#include "net/RouterClient.h"

#include <chrono>

// A router reached through NAT-PMP (libnatpmp): UDP requests to the default
// gateway, port 5351. The library never blocks; the waiting for answers is
// done here, each exchange bounded by its own deadline.
class NatPmpGateway {
public:
    RouterClient::Mapping open(std::uint16_t port, std::uint32_t leaseSeconds, int budgetMs);
    bool close(std::uint16_t port, int budgetMs);
};
