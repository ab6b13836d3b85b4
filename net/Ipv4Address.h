#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// An IPv4 address as heard from a router: parsed strictly (four decimal
// numbers 0 to 255, nothing else) and classed as reachable from the internet
// or not. Plain C++ so that the router module, which has no Qt, shares it.
class Ipv4Address {
public:
    // The address in "a.b.c.d" form, or nothing for anything else: empty,
    // over-long, leading zeros, signs, spaces, names, IPv6.
    static std::optional<Ipv4Address> parse(std::string_view text);

    explicit Ipv4Address(std::uint32_t value) : m_value(value) {}

    // False for the private, shared (carrier-grade NAT, 100.64/10), loopback,
    // link-local, documentation, benchmarking, multicast and other reserved
    // ranges: a router with such an outside address is itself behind another
    // NAT, and nobody on the internet can reach a port it forwards.
    bool isPublic() const;
    // True for 100.64.0.0/10, the carrier's shared address space.
    bool isCarrierGrade() const;

    std::uint32_t value() const { return m_value; }
    std::string toString() const;

private:
    std::uint32_t m_value;
};
