// bench_router [--runs N]: how long the host waits for its home router.
//
// Builds the router tests' network in namespaces of its own (a home behind
// miniupnpd, see tests/net/routerlab) and runs the probe program, a
// PortMapper in the home namespace, N times for each method: from open() to
// the answer (loading the router module included, as on a host's first
// open), and from close() to the router's confirmation. UPnP listens
// 1.2 s for routers to answer discovery, which is most of its figure; the
// NAT-PMP figure is measured with UPnP switched off in the router.
//
// Goal: median open under 2 s and median close under 0.5 s for both, every
// run Opened. Needs root (namespaces), miniupnpd and nft.
#include "bench/support/Stats.h"
#include "net/routerlab/RouterLab.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

// The probe program and the module come from the tests' build.
#ifndef CLIMORA_ROUTER_PROBE
#define CLIMORA_ROUTER_PROBE ""
#define CLIMORA_ROUTER_MODULE ""
#endif

namespace {

constexpr int port = 7772;
constexpr const char* external = "203.0.114.7";

struct Figures {
    std::vector<double> open;
    std::vector<double> close;
    int failures = 0;
};

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> parts;
    for (std::string part; in >> part;)
        parts.push_back(part);
    return parts;
}

bool measure(bool upnp, int runs, Figures* figures) {
    RouterLab lab(CLIMORA_ROUTER_PROBE);
    std::string error;
    if (!lab.build(external, &error) || !lab.startMiniupnpd(upnp, true, &error)) {
        std::fprintf(stderr, "router network: %s\n", error.c_str());
        return false;
    }
    const char* expected = upnp ? "Upnp" : "NatPmp";
    for (int i = 0; i < runs; ++i) {
        auto mapper = lab.startMapper(port, CLIMORA_ROUTER_MODULE);
        if (!mapper || mapper->readLine(3000) != std::string("ready")) {
            ++figures->failures;
            continue;
        }
        mapper->writeLine("open");
        const auto result = words(mapper->readLine(8000).value_or(""));
        if (result.size() < 5 || result[1] != "Opened" || result[2] != expected) {
            std::fprintf(stderr, "run %d: %s\n", i + 1,
                         result.empty() ? "no answer" : result[1].c_str());
            ++figures->failures;
            continue;
        }
        figures->open.push_back(std::stod(result[4]));
        mapper->readLine(1000); // the player's line
        mapper->writeLine("close");
        const auto closed = words(mapper->readLine(5000).value_or(""));
        if (closed.size() != 3 || closed[1] != "1") {
            ++figures->failures;
            continue;
        }
        figures->close.push_back(std::stod(closed[2]));
        mapper->writeLine("exit");
        mapper->wait(3000);
    }
    return true;
}

void print(const char* method, const Figures& figures) {
    const Summary open = summarize(figures.open);
    const Summary close = summarize(figures.close);
    std::printf("%-8s open  median %6.0f ms  min %6.0f  max %6.0f  (%d runs)\n", method,
                open.median, open.min, open.max, open.count);
    std::printf("%-8s close median %6.0f ms  min %6.0f  max %6.0f\n", method, close.median,
                close.min, close.max);
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[++i]));
    }
    if (std::strlen(CLIMORA_ROUTER_PROBE) == 0) {
        std::fprintf(stderr, "bench_router: build with the tests (CLIMORA_TESTS=ON)\n");
        return 1;
    }
    const std::string reason = NetNamespace::unavailableReason();
    if (!reason.empty()) {
        std::fprintf(stderr, "bench_router: %s\n", reason.c_str());
        return 1;
    }
    Figures upnp;
    Figures natPmp;
    if (!measure(true, runs, &upnp) || !measure(false, runs, &natPmp))
        return 1;
    std::printf("router exchange against miniupnpd in namespaces, %d runs each\n", runs);
    print("UPnP", upnp);
    print("NAT-PMP", natPmp);
    const bool met = upnp.failures == 0 && natPmp.failures == 0 && median(upnp.open) < 2000 &&
                     median(natPmp.open) < 2000 && median(upnp.close) < 500 &&
                     median(natPmp.close) < 500;
    std::printf("goal (open < 2000 ms, close < 500 ms, every run opened): %s\n",
                met ? "met" : "NOT met");
    return met ? 0 : 1;
}
