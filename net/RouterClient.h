#pragma once

#include <cstdint>
#include <string>

// What the router module (climora-router.so) offers the program: asking the
// local network's router to forward a TCP port to this machine, and taking
// the forwarding back. Its calls block on the network, so PortMapper makes
// them on its worker thread only. Plain C++: the module has no Qt.
class RouterClient {
public:
    // The version of the module's entry, climora_router_create(abi); a module
    // of another version refuses to start.
    static constexpr int abi = 1;

    enum class Outcome { Opened, NoRouter, NoPublicAddress, Refused };
    enum class Method { None, Upnp, NatPmp };

    struct Mapping {
        Outcome outcome = Outcome::NoRouter;
        Method method = Method::None;
        // The router's outside address as it told it, at most 45 characters;
        // untrusted, checked again by the caller before it is shown.
        std::string publicAddress;
        // The router's own words on a refusal, at most 100 characters.
        std::string detail;
    };

    virtual ~RouterClient() = default;

    // Forwards TCP `port` on the router's outside address to the same port
    // of this machine for `leaseSeconds`, through UPnP IGD, else NAT-PMP.
    // Gives up by itself after about `budgetMs` wherever the libraries let it.
    virtual Mapping open(std::uint16_t port, std::uint32_t leaseSeconds, int budgetMs) = 0;
    // Removes the forwarding made by the last successful open(); true when
    // the router confirmed it within about `budgetMs`.
    virtual bool close(std::uint16_t port, int budgetMs) = 0;
};
