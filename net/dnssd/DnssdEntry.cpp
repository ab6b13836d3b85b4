// The entry of the DNS-SD module: the program loads this shared object when
// it first announces a game or looks for games (see DnssdModule), so that
// the Avahi client library and its D-Bus client are not loaded on every
// start, and a system without them still plays.
#include "net/DnssdBackend.h"
#include "net/dnssd/AvahiBrowser.h"
#include "net/dnssd/AvahiPublisher.h"

namespace {

class AvahiBackend : public DnssdBackend {
public:
    std::unique_ptr<Publisher> publish(const AvahiPoll* poll, PublisherEvents& events,
                                       const std::string& type, const std::string& name,
                                       std::uint16_t port,
                                       const std::vector<std::string>& txt) override {
        auto publisher = std::make_unique<AvahiPublisher>(poll, events, type, name, port, txt);
        publisher->start();
        return publisher;
    }

    std::unique_ptr<Browser> browse(const AvahiPoll* poll, BrowserEvents& events,
                                    const std::string& type) override {
        auto browser = std::make_unique<AvahiBrowser>(poll, events, type);
        browser->start();
        return browser;
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) DnssdBackend* climora_dnssd_create(int abi) {
    if (abi != DnssdBackend::abi)
        return nullptr;
    static AvahiBackend backend;
    return &backend;
}
