// PortMapper against a real router: miniupnpd in a network namespace between
// a "home" namespace, where the probe program runs PortMapper, and an
// "internet" namespace from which the forwarded port is tried. Needs root
// (to make namespaces), miniupnpd and nft; skips with the reason otherwise.
#include "net/routerlab/RouterLab.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int port = 7772;
// An outside address outside every reserved range, so that miniupnpd
// forwards; it exists only on the test's own isolated links.
constexpr const char* publicAddress = "203.0.114.7";

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> parts;
    for (std::string part; in >> part;)
        parts.push_back(part);
    return parts;
}

// The next line of the probe that starts with `word`, split in words; other
// lines (the libraries' own complaints on standard error) are passed over.
std::vector<std::string> next(LabProcess& probe, const std::string& word, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const auto line = probe.readLine(int(std::max<long long>(0, left.count())));
        if (!line)
            return {"no " + word};
        if (line->rfind(word + ' ', 0) == 0)
            return words(*line);
    }
}

bool onPath(const char* program) {
    const std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

class PortMapperRouter : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string reason = NetNamespace::unavailableReason();
        if (!reason.empty())
            GTEST_SKIP() << "router tests skipped: " << reason;
        for (const char* program : {"miniupnpd", "nft", "ip"}) {
            if (!onPath(program))
                GTEST_SKIP() << "router tests skipped: " << program
                             << " is not installed (scripts/setup installs it)";
        }
        m_lab = std::make_unique<RouterLab>(CLIMORA_ROUTER_PROBE);
    }

    // Builds the network, starts the probe, asks it to open; the result line
    // split in words: "result", outcome, method, address, milliseconds.
    std::vector<std::string> openThrough(const std::string& external, bool upnp, bool natPmp) {
        std::string error;
        EXPECT_TRUE(m_lab->build(external, &error)) << error;
        EXPECT_TRUE(m_lab->startMiniupnpd(upnp, natPmp, &error)) << error;
        return open();
    }

    std::vector<std::string> open() {
        m_mapper = m_lab->startMapper(port, CLIMORA_ROUTER_MODULE);
        if (!m_mapper || m_mapper->readLine(3000) != std::string("ready"))
            return {"no probe"};
        m_mapper->writeLine("open");
        const auto result = next(*m_mapper, "result", 8000);
        const auto line = next(*m_mapper, "line", 1000);
        m_line.clear();
        for (const std::string& word : line)
            m_line += (m_line.empty() ? "" : " ") + word;
        return result;
    }

    bool ruleFor7772() { return m_lab->routerRules().find("7772") != std::string::npos; }

    std::unique_ptr<RouterLab> m_lab;
    std::unique_ptr<LabProcess> m_mapper;
    std::string m_line;
};

TEST_F(PortMapperRouter, UpnpForwardsThePortUntilClosed) {
    const auto result = openThrough(publicAddress, true, true);
    ASSERT_GE(result.size(), 5u) << m_lab->routerLog();
    EXPECT_EQ(result[1], "Opened") << m_lab->routerLog();
    EXPECT_EQ(result[2], "Upnp");
    EXPECT_EQ(result[3], publicAddress);
    EXPECT_EQ(m_line, "line Your router now forwards port 7772 to this computer: others on the "
                      "internet can join at 203.0.114.7.");
    EXPECT_TRUE(ruleFor7772()) << m_lab->routerRules();
    EXPECT_EQ(m_lab->connectFromInternet(publicAddress, port), "climora-home");

    m_mapper->writeLine("close");
    const auto closed = next(*m_mapper, "closed", 5000);
    ASSERT_EQ(closed.size(), 3u);
    EXPECT_EQ(closed[1], "1");
    EXPECT_FALSE(ruleFor7772()) << m_lab->routerRules();
    EXPECT_NE(m_lab->connectFromInternet(publicAddress, port), "climora-home");
}

TEST_F(PortMapperRouter, NatPmpForwardsWhenNoUpnpRouterAnswersAndExitTakesItBack) {
    const auto result = openThrough(publicAddress, false, true);
    ASSERT_GE(result.size(), 5u) << m_lab->routerLog();
    EXPECT_EQ(result[1], "Opened") << m_lab->routerLog();
    EXPECT_EQ(result[2], "NatPmp");
    EXPECT_EQ(result[3], publicAddress);
    EXPECT_TRUE(ruleFor7772()) << m_lab->routerRules();
    EXPECT_EQ(m_lab->connectFromInternet(publicAddress, port), "climora-home");

    // The program ends without closing first: the destructor removes it.
    m_mapper->writeLine("exit");
    const auto gone = next(*m_mapper, "gone", 5000);
    ASSERT_EQ(gone.size(), 2u);
    EXPECT_LE(std::stoi(gone[1]), 2000);
    EXPECT_FALSE(ruleFor7772()) << m_lab->routerRules() << m_lab->routerLog();
}

TEST_F(PortMapperRouter, ARouterWithoutAPublicAddressIsToldApart) {
    struct Case {
        const char* external;
        bool upnp;
        const char* method;
    };
    // Carrier-grade NAT's shared range, and a private one, by either protocol.
    const Case cases[] = {
        {"100.64.7.2", true, "Upnp"}, {"100.64.7.2", false, "NatPmp"}, {"10.99.0.2", true, "Upnp"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.external) + " " + c.method);
        m_mapper.reset();
        m_lab = std::make_unique<RouterLab>(CLIMORA_ROUTER_PROBE);
        const auto result = openThrough(c.external, c.upnp, true);
        ASSERT_GE(result.size(), 5u) << m_lab->routerLog();
        EXPECT_EQ(result[1], "NoPublicAddress") << m_lab->routerLog();
        EXPECT_EQ(result[2], c.method);
        EXPECT_EQ(result[3], "-");
        EXPECT_FALSE(ruleFor7772()) << m_lab->routerRules();
    }
}

TEST_F(PortMapperRouter, AMisbehavingRouterEndsInNoRouterWithinFiveSeconds) {
    for (const char* mode : {"garbage", "noise", "slow", "vanish"}) {
        SCOPED_TRACE(mode);
        m_mapper.reset();
        m_lab = std::make_unique<RouterLab>(CLIMORA_ROUTER_PROBE);
        std::string error;
        ASSERT_TRUE(m_lab->build(publicAddress, &error)) << error;
        ASSERT_TRUE(m_lab->startFakeRouter(mode, &error)) << error;
        const auto result = open();
        ASSERT_GE(result.size(), 5u);
        EXPECT_EQ(result[1], "NoRouter");
        EXPECT_LE(std::stoi(result[4]), 5000);
        // Ending the program does not wait on a router that holds the worker.
        m_mapper->writeLine("exit");
        const auto gone = next(*m_mapper, "gone", 5000);
        ASSERT_EQ(gone.size(), 2u);
        EXPECT_LE(std::stoi(gone[1]), 2200);
        EXPECT_EQ(m_mapper->wait(1000), 0);
    }
}

TEST_F(PortMapperRouter, NoRouterAtAllEndsInNoRouter) {
    std::string error;
    ASSERT_TRUE(m_lab->build(publicAddress, &error)) << error;
    const auto result = open();
    ASSERT_GE(result.size(), 5u);
    EXPECT_EQ(result[1], "NoRouter");
    EXPECT_EQ(m_line, "line No router answered: others on the internet may not be able to join "
                      "this game.");
    EXPECT_LE(std::stoi(result[4]), 5000);
}

} // namespace
