#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

struct AvahiPoll;

// What the DNS-SD module (climora-dnssd.so, the code that uses the Avahi
// client library) offers the program: publishing one service and browsing
// one service type. The program loads the module when it first announces or
// browses (DnssdModule), so this interface is plain C++ without Qt, and
// everything in it that was heard from the network is raw: the program
// checks and shortens it before use (GameBrowser).
//
// Everything runs on the thread of the event loop behind the AvahiPoll given
// (QtAvahiPoll); the events are called from it. An event handler may call
// back into the object that reported it. Publisher and Browser must be
// destroyed before their AvahiPoll.
class DnssdBackend {
public:
    // The version of the module's entry, climora_dnssd_create(abi); a module
    // of another version refuses to start.
    static constexpr int abi = 1;

    // One sighting of a service: the daemon reports the same service once per
    // network interface and IP protocol it was heard on.
    struct ServiceId {
        int interfaceIndex = -1;
        int protocol = -1; // Avahi's numbers: 0 IPv4, 1 IPv6
        std::string name;
        std::string domain;

        auto tie() const { return std::tie(name, domain, interfaceIndex, protocol); }
        bool operator==(const ServiceId& other) const { return tie() == other.tie(); }
        bool operator<(const ServiceId& other) const { return tie() < other.tie(); }
    };

    // A sighting resolved: where the service runs and its TXT strings.
    struct Resolved {
        std::string hostName;
        // The address as text; a link-local IPv6 address carries its
        // interface as a numeric scope ("fe80::1%3").
        std::string address;
        std::uint16_t port = 0;
        std::vector<std::string> txt; // "key=value" strings, at most maxTxtStrings
    };
    static constexpr int maxTxtStrings = 32;

    class PublisherEvents {
    public:
        virtual ~PublisherEvents() = default;
        // The daemon can be reached (true) or not (false); it is looked for
        // again by itself, and on its return the service is published anew.
        virtual void daemonChanged(bool running) = 0;
        // The service is on the network under this name, which differs from
        // the one asked for after a collision.
        virtual void published(const std::string& name) = 0;
        // The daemon refused the service; it stays unpublished until the
        // daemon comes back.
        virtual void publishFailed(const std::string& reason) = 0;
    };

    // One published service, withdrawn when destroyed.
    class Publisher {
    public:
        virtual ~Publisher() = default;
        virtual void setTxt(const std::vector<std::string>& txt) = 0;
    };

    class BrowserEvents {
    public:
        virtual ~BrowserEvents() = default;
        // The daemon can be reached (true) or not (false). On false every
        // sighting and resolver is gone without a serviceRemoved().
        virtual void daemonChanged(bool running) = 0;
        virtual void serviceAdded(const ServiceId& id) = 0;
        virtual void serviceRemoved(const ServiceId& id) = 0;
        // First answer of a resolver and each change after it, until released.
        virtual void serviceResolved(const ServiceId& id, const Resolved& resolved) = 0;
        // The resolver gave up (time-out or error) and is gone.
        virtual void resolveFailed(const ServiceId& id) = 0;
    };

    // Browsing one service type, stopped when destroyed.
    class Browser {
    public:
        virtual ~Browser() = default;
        // Starts a resolver for the sighting that keeps reporting changes
        // until released; false when the daemon refused it. A sighting has at
        // most one resolver.
        virtual bool resolve(const ServiceId& id) = 0;
        virtual void release(const ServiceId& id) = 0;
    };

    virtual ~DnssdBackend() = default;

    // name: the instance name asked for, at most 63 bytes of UTF-8.
    virtual std::unique_ptr<Publisher> publish(const AvahiPoll* poll, PublisherEvents& events,
                                               const std::string& type, const std::string& name,
                                               std::uint16_t port,
                                               const std::vector<std::string>& txt) = 0;
    virtual std::unique_ptr<Browser> browse(const AvahiPoll* poll, BrowserEvents& events,
                                            const std::string& type) = 0;
};
