#include "net/routerlab/RouterLab.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// The router's tables: miniupnpd adds its forwarding rules to the chains
// named in its configuration; established connections are let through.
constexpr const char* nftTables = R"(table inet climora {
  chain forward { type filter hook forward priority 0; policy drop;
    ct state established,related accept; jump miniupnpd; }
  chain miniupnpd { }
  chain prerouting { type nat hook prerouting priority -100; policy accept;
    jump prerouting_miniupnpd; }
  chain postrouting { type nat hook postrouting priority 100; policy accept;
    jump postrouting_miniupnpd; }
  chain prerouting_miniupnpd { }
  chain postrouting_miniupnpd { }
}
)";

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

RouterLab::RouterLab(std::string probe) : m_probe(std::move(probe)) {
    char dir[] = "/tmp/climora-router-XXXXXX";
    if (mkdtemp(dir) != nullptr)
        m_dir = dir;
}

RouterLab::~RouterLab() {
    m_daemon.reset();
    m_home.reset();
    m_router.reset();
    m_internet.reset();
    if (!m_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
}

bool RouterLab::runAll(NetNamespace& where, const std::vector<std::vector<std::string>>& commands,
                       std::string* error) {
    for (const auto& command : commands) {
        std::string output;
        if (where.run(command, &output) != 0) {
            std::string line;
            for (const std::string& part : command)
                line += part + ' ';
            *error = line + "failed: " + output;
            return false;
        }
    }
    return true;
}

bool RouterLab::build(const std::string& external, std::string* error) {
    if (m_dir.empty()) {
        *error = "no temporary folder";
        return false;
    }
    m_external = external;
    m_home = std::make_unique<NetNamespace>();
    m_router = std::make_unique<NetNamespace>();
    m_internet = std::make_unique<NetNamespace>();
    if (!m_home->valid() || !m_router->valid() || !m_internet->valid()) {
        *error = "could not make the namespaces";
        return false;
    }
    const std::string prefix = external.substr(0, external.rfind('.'));
    const std::string tablesFile = m_dir + "/tables.nft";
    std::ofstream(tablesFile) << nftTables;
    if (!runAll(*m_router,
                {{"ip", "link", "add", "lan0", "type", "veth", "peer", "name", "eth0", "netns",
                  std::to_string(m_home->holder())},
                 {"ip", "link", "add", "wan0", "type", "veth", "peer", "name", "eth0", "netns",
                  std::to_string(m_internet->holder())},
                 {"ip", "addr", "add", std::string(lanAddress) + "/24", "dev", "lan0"},
                 {"ip", "addr", "add", external + "/24", "dev", "wan0"},
                 {"ip", "link", "set", "lan0", "up"},
                 {"ip", "link", "set", "wan0", "up"},
                 {"sh", "-c", "echo 1 > /proc/sys/net/ipv4/ip_forward"},
                 {"nft", "-f", tablesFile}},
                error))
        return false;
    if (!runAll(*m_home,
                {{"ip", "addr", "add", std::string(homeAddress) + "/24", "dev", "eth0"},
                 {"ip", "link", "set", "eth0", "up"},
                 {"ip", "route", "add", "default", "via", lanAddress}},
                error))
        return false;
    return runAll(*m_internet,
                  {{"ip", "addr", "add", prefix + ".1/24", "dev", "eth0"},
                   {"ip", "link", "set", "eth0", "up"}},
                  error);
}

bool RouterLab::startMiniupnpd(bool upnp, bool natPmp, std::string* error) {
    const std::string config = m_dir + "/miniupnpd.conf";
    std::ofstream(config) << "ext_ifname=wan0\n"
                          << "listening_ip=lan0\n"
                          << "port=0\n"
                          << "enable_upnp=" << (upnp ? "yes" : "no") << "\n"
                          << "enable_natpmp=" << (natPmp ? "yes" : "no") << "\n"
                          << "secure_mode=yes\n"
                          << "system_uptime=no\n"
                          << "uuid=3a1e1b0c-6d2f-4b0e-9b7a-1c2d3e4f5a6b\n"
                          << "upnp_table_name=climora\n"
                          << "upnp_nat_table_name=climora\n"
                          << "upnp_forward_chain=miniupnpd\n"
                          << "upnp_nat_chain=prerouting_miniupnpd\n"
                          << "upnp_nat_postrouting_chain=postrouting_miniupnpd\n"
                          << "allow 1024-65535 192.168.77.0/24 1024-65535\n"
                          << "deny 0-65535 0.0.0.0/0 0-65535\n";
    m_daemon = m_router->start({"miniupnpd", "-d", "-f", config, "-P", m_dir + "/miniupnpd.pid"},
                               m_dir + "/miniupnpd.log");
    if (!m_daemon) {
        *error = "miniupnpd did not start";
        return false;
    }
    // Listening on its NAT-PMP port is the last step of its start.
    const std::string ready = natPmp ? "Listening for NAT-PMP" : "HTTP listening";
    for (int i = 0; i < 300; ++i) {
        if (routerLog().find(ready) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    *error = "miniupnpd did not get ready: " + routerLog();
    return false;
}

bool RouterLab::startFakeRouter(const std::string& mode, std::string* error) {
    m_daemon = m_router->start({m_probe, "fake", mode, lanAddress});
    const auto line = m_daemon ? m_daemon->readLine(3000) : std::nullopt;
    if (line != std::string("ready")) {
        *error = "the fake router did not start: " + line.value_or("(nothing)");
        return false;
    }
    return true;
}

std::unique_ptr<LabProcess> RouterLab::startMapper(int port, const std::string& module) {
    std::vector<std::string> argv{m_probe, "map", module, std::to_string(port)};
    // The UPnP library reads the numbers of an HTTP header with strtol inside
    // a buffer that has no terminator of its own. Under the sanitizers'
    // strict string checks that counts as reading past the buffer, in code
    // that is not ours; the probe runs with the ordinary checks instead.
    if (const char* options = std::getenv("ASAN_OPTIONS")) {
        std::string relaxed = options;
        const std::string strict = "strict_string_checks=1";
        if (const auto at = relaxed.find(strict); at != std::string::npos) {
            relaxed.replace(at, strict.size(), "strict_string_checks=0");
            argv.insert(argv.begin(), {"env", "ASAN_OPTIONS=" + relaxed});
        }
    }
    return m_home->start(argv);
}

std::string RouterLab::connectFromInternet(const std::string& address, int port) {
    std::string output;
    m_internet->run({m_probe, "connect", address, std::to_string(port)}, &output, 5000);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

std::string RouterLab::routerRules() {
    std::string output;
    m_router->run({"nft", "list", "table", "inet", "climora"}, &output);
    return output;
}

std::string RouterLab::routerLog() const {
    return readFile(m_dir + "/miniupnpd.log");
}
