#pragma once

#include <string>

// A router that misbehaves, for the tests that PortMapper gives up in time:
// it answers UPnP discovery (SSDP, UDP 1900) and NAT-PMP (UDP 5351) on the
// LAN address, and serves the router description over HTTP (TCP 5000):
//   garbage  SSDP answers well, then HTTP and NAT-PMP answer random bytes;
//   noise    every answer is random bytes;
//   slow     HTTP trickles a valid-looking header, one byte a second, for
//            ever; NAT-PMP never answers;
//   vanish   HTTP takes the request and resets the connection; NAT-PMP
//            never answers.
// Runs until killed; prints "ready" once it listens.
class FakeRouter {
public:
    FakeRouter(std::string mode, std::string lanAddress);
    int run();

private:
    std::string m_mode;
    std::string m_lan;
};
