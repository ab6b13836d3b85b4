// A stand-in router module for the tests of PortMapper's own behaviour: it
// answers after a delay the test sets, with the outcome the test sets, and
// counts the forwardings taken back. Loaded by PortMapper like the real one;
// the test reaches the same loaded copy through dlopen to steer it.
#include "net/RouterClient.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace {

std::mutex guard;
int delayMs = 0;
RouterClient::Mapping answer;
std::atomic<int> closes{0};

class StallingClient : public RouterClient {
public:
    Mapping open(std::uint16_t, std::uint32_t, int) override {
        int delay;
        Mapping mapping;
        {
            std::lock_guard<std::mutex> lock(guard);
            delay = delayMs;
            mapping = answer;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        return mapping;
    }
    bool close(std::uint16_t, int) override {
        ++closes;
        return true;
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) RouterClient* climora_router_create(int abi) {
    return abi == RouterClient::abi ? new StallingClient : nullptr;
}

extern "C" __attribute__((visibility("default"))) void
climora_test_router_set(int delay, int outcome, int method, const char* address,
                        const char* detail) {
    std::lock_guard<std::mutex> lock(guard);
    delayMs = delay;
    answer.outcome = RouterClient::Outcome(outcome);
    answer.method = RouterClient::Method(method);
    answer.publicAddress = address;
    answer.detail = detail;
}

extern "C" __attribute__((visibility("default"))) int climora_test_router_closes() {
    return closes.load();
}
