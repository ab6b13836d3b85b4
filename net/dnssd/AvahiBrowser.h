#pragma once

#include "net/DnssdBackend.h"
#include "net/dnssd/AvahiClientKeeper.h"

#include <avahi-client/lookup.h>

#include <map>

// Browsing one service type through the Avahi daemon, with the resolvers the
// program asks for. The browser is made anew whenever the daemon runs again.
class AvahiBrowser : public DnssdBackend::Browser, private AvahiClientKeeper::Owner {
public:
    AvahiBrowser(const AvahiPoll* poll, DnssdBackend::BrowserEvents& events, std::string type);
    ~AvahiBrowser() override;

    void start() { m_keeper.start(); }
    bool resolve(const DnssdBackend::ServiceId& id) override;
    void release(const DnssdBackend::ServiceId& id) override;

private:
    struct Resolving {
        AvahiBrowser* browser;
        DnssdBackend::ServiceId id;
        AvahiServiceResolver* resolver = nullptr;
    };

    void clientRunning(AvahiClient* client) override;
    void clientLost() override;
    void freeAll();
    static void browseCallback(AvahiServiceBrowser* browser, AvahiIfIndex interface,
                               AvahiProtocol protocol, AvahiBrowserEvent event, const char* name,
                               const char* type, const char* domain, AvahiLookupResultFlags flags,
                               void* userdata);
    static void resolveCallback(AvahiServiceResolver* resolver, AvahiIfIndex interface,
                                AvahiProtocol protocol, AvahiResolverEvent event, const char* name,
                                const char* type, const char* domain, const char* hostName,
                                const AvahiAddress* address, std::uint16_t port,
                                AvahiStringList* txt, AvahiLookupResultFlags flags, void* userdata);

    DnssdBackend::BrowserEvents& m_events;
    std::string m_type;
    AvahiClient* m_client = nullptr;
    AvahiServiceBrowser* m_browser = nullptr;
    // Node-based, so a resolver's callback can point at its entry.
    std::map<DnssdBackend::ServiceId, Resolving> m_resolving;
    // Last so that it is destroyed first, after freeAll().
    AvahiClientKeeper m_keeper;
};
