#pragma once

#include "net/routerlab/NetNamespace.h"

#include <memory>
#include <string>

// A home network in namespaces of the test's own: "home" (where the program
// runs, 192.168.77.2) behind "router" (LAN 192.168.77.1, outside address of
// the test's choosing) in front of "internet" (the outside /24's .1). Only
// veth links between them: nothing reaches the machine's own network, and
// no traffic leaves it. Everything is removed with the object.
class RouterLab {
public:
    static constexpr const char* homeAddress = "192.168.77.2";
    static constexpr const char* lanAddress = "192.168.77.1";

    // probe: the router probe program (map, fake and connect roles).
    explicit RouterLab(std::string probe);
    ~RouterLab();

    // Builds the three namespaces, links, routes, forwarding and the
    // router's nftables tables with outside address `external` (a /24).
    bool build(const std::string& external, std::string* error);
    // Starts miniupnpd in the router with UPnP and/or NAT-PMP, and waits
    // until it listens.
    bool startMiniupnpd(bool upnp, bool natPmp, std::string* error);
    // Starts the probe's fake router in the router: "garbage", "slow",
    // "vanish" or "noise".
    bool startFakeRouter(const std::string& mode, std::string* error);
    // The probe mapping `port` in the home namespace, reading commands.
    std::unique_ptr<LabProcess> startMapper(int port, const std::string& module);
    // What a program in the internet namespace gets when it connects to
    // address:port: the line the home's listener sends, or "failed ...".
    std::string connectFromInternet(const std::string& address, int port);
    // The router's nftables rules.
    std::string routerRules();
    // miniupnpd's log so far (for failure messages).
    std::string routerLog() const;

    NetNamespace& home() { return *m_home; }
    NetNamespace& router() { return *m_router; }
    NetNamespace& internet() { return *m_internet; }

private:
    bool runAll(NetNamespace& where, const std::vector<std::vector<std::string>>& commands,
                std::string* error);

    std::string m_probe;
    std::string m_dir;
    std::string m_external;
    std::unique_ptr<NetNamespace> m_home;
    std::unique_ptr<NetNamespace> m_router;
    std::unique_ptr<NetNamespace> m_internet;
    std::unique_ptr<LabProcess> m_daemon;
};
