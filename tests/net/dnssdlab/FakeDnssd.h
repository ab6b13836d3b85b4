#pragma once

#include "net/DnssdBackend.h"

#include <set>

// A DNS-SD backend without a daemon: the test plays the network through the
// events the browser or announcer receives, and sees which resolvers they
// hold.
class FakeDnssd : public DnssdBackend {
public:
    class Browser : public DnssdBackend::Browser {
    public:
        Browser(FakeDnssd& owner) : m_owner(owner) {}
        ~Browser() override { m_owner.browser = nullptr; }
        bool resolve(const ServiceId& id) override {
            if (!m_owner.acceptResolvers)
                return false;
            m_owner.resolving.insert(id);
            m_owner.mostResolvers = std::max(m_owner.mostResolvers, int(m_owner.resolving.size()));
            ++m_owner.resolveCalls;
            return true;
        }
        void release(const ServiceId& id) override { m_owner.resolving.erase(id); }

    private:
        FakeDnssd& m_owner;
    };

    class Publisher : public DnssdBackend::Publisher {
    public:
        Publisher(FakeDnssd& owner) : m_owner(owner) {}
        ~Publisher() override { m_owner.publisher = nullptr; }
        void setTxt(const std::vector<std::string>& txt) override { m_owner.txt = txt; }

    private:
        FakeDnssd& m_owner;
    };

    std::unique_ptr<DnssdBackend::Publisher> publish(const AvahiPoll*, PublisherEvents& events,
                                                     const std::string& type,
                                                     const std::string& name, std::uint16_t port,
                                                     const std::vector<std::string>& txt) override {
        publisherEvents = &events;
        this->type = type;
        this->name = name;
        this->port = port;
        this->txt = txt;
        auto made = std::make_unique<Publisher>(*this);
        publisher = made.get();
        events.daemonChanged(daemonRunning);
        return made;
    }

    std::unique_ptr<DnssdBackend::Browser> browse(const AvahiPoll*, BrowserEvents& events,
                                                  const std::string& type) override {
        browserEvents = &events;
        this->type = type;
        auto made = std::make_unique<Browser>(*this);
        browser = made.get();
        events.daemonChanged(daemonRunning);
        return made;
    }

    // The network's side.
    void add(const ServiceId& id) { browserEvents->serviceAdded(id); }
    void remove(const ServiceId& id) {
        resolving.erase(id);
        browserEvents->serviceRemoved(id);
    }
    void answer(const ServiceId& id, const Resolved& resolved) {
        browserEvents->serviceResolved(id, resolved);
    }
    void fail(const ServiceId& id) {
        resolving.erase(id);
        browserEvents->resolveFailed(id);
    }

    bool daemonRunning = true;
    bool acceptResolvers = true;
    BrowserEvents* browserEvents = nullptr;
    PublisherEvents* publisherEvents = nullptr;
    Browser* browser = nullptr;
    Publisher* publisher = nullptr;
    std::set<ServiceId> resolving;
    int mostResolvers = 0;
    int resolveCalls = 0;
    std::string type;
    std::string name;
    std::uint16_t port = 0;
    std::vector<std::string> txt;
};
