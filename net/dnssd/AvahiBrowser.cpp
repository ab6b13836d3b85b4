#include "net/dnssd/AvahiBrowser.h"

#include <avahi-common/address.h>
#include <avahi-common/strlst.h>

#include <utility>

namespace {

std::string text(const char* value) {
    return value != nullptr ? std::string(value) : std::string();
}

// A link-local IPv6 address means nothing without its interface.
std::string addressText(const AvahiAddress* address, AvahiIfIndex interface) {
    if (address == nullptr)
        return {};
    char buffer[AVAHI_ADDRESS_STR_MAX];
    if (avahi_address_snprint(buffer, sizeof buffer, address) == nullptr)
        return {};
    std::string result(buffer);
    const std::uint8_t* bytes = address->data.ipv6.address;
    if (address->proto == AVAHI_PROTO_INET6 && bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80 &&
        interface >= 0)
        result += "%" + std::to_string(interface);
    return result;
}

} // namespace

AvahiBrowser::AvahiBrowser(const AvahiPoll* poll, DnssdBackend::BrowserEvents& events,
                           std::string type)
    : m_events(events), m_type(std::move(type)), m_keeper(poll, *this) {}

AvahiBrowser::~AvahiBrowser() {
    freeAll();
}

void AvahiBrowser::clientRunning(AvahiClient* client) {
    m_client = client;
    m_browser =
        avahi_service_browser_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, m_type.c_str(),
                                  nullptr, AvahiLookupFlags(0), &browseCallback, this);
    m_events.daemonChanged(m_browser != nullptr);
}

void AvahiBrowser::clientLost() {
    freeAll();
    m_client = nullptr;
    m_events.daemonChanged(false);
}

void AvahiBrowser::freeAll() {
    for (auto& [id, resolving] : m_resolving)
        avahi_service_resolver_free(resolving.resolver);
    m_resolving.clear();
    if (m_browser != nullptr)
        avahi_service_browser_free(m_browser);
    m_browser = nullptr;
}

void AvahiBrowser::browseCallback(AvahiServiceBrowser*, AvahiIfIndex interface,
                                  AvahiProtocol protocol, AvahiBrowserEvent event, const char* name,
                                  const char*, const char* domain, AvahiLookupResultFlags,
                                  void* userdata) {
    auto* self = static_cast<AvahiBrowser*>(userdata);
    switch (event) {
    case AVAHI_BROWSER_NEW:
        self->m_events.serviceAdded({interface, protocol, text(name), text(domain)});
        break;
    case AVAHI_BROWSER_REMOVE:
        self->m_events.serviceRemoved({interface, protocol, text(name), text(domain)});
        break;
    case AVAHI_BROWSER_FAILURE:
        // The browser is dead; as if the daemon had gone, until it runs again.
        self->freeAll();
        self->m_events.daemonChanged(false);
        break;
    case AVAHI_BROWSER_ALL_FOR_NOW:
    case AVAHI_BROWSER_CACHE_EXHAUSTED:
        break;
    }
}

bool AvahiBrowser::resolve(const DnssdBackend::ServiceId& id) {
    if (m_client == nullptr || m_browser == nullptr)
        return false;
    auto [it, added] = m_resolving.try_emplace(id, Resolving{this, id});
    if (!added)
        return true;
    // The address asked for is of the protocol the service was heard on, so
    // the IPv4 and the IPv6 sighting of a service give one address each.
    it->second.resolver = avahi_service_resolver_new(
        m_client, id.interfaceIndex, id.protocol, id.name.c_str(), m_type.c_str(),
        id.domain.c_str(), id.protocol, AvahiLookupFlags(0), &resolveCallback, &it->second);
    if (it->second.resolver == nullptr) {
        m_resolving.erase(it);
        return false;
    }
    return true;
}

void AvahiBrowser::release(const DnssdBackend::ServiceId& id) {
    auto it = m_resolving.find(id);
    if (it == m_resolving.end())
        return;
    avahi_service_resolver_free(it->second.resolver);
    m_resolving.erase(it);
}

void AvahiBrowser::resolveCallback(AvahiServiceResolver* resolver, AvahiIfIndex interface,
                                   AvahiProtocol, AvahiResolverEvent event, const char*,
                                   const char*, const char*, const char* hostName,
                                   const AvahiAddress* address, std::uint16_t port,
                                   AvahiStringList* txt, AvahiLookupResultFlags, void* userdata) {
    auto* resolving = static_cast<Resolving*>(userdata);
    AvahiBrowser* self = resolving->browser;
    const DnssdBackend::ServiceId id = resolving->id;
    if (event != AVAHI_RESOLVER_FOUND) {
        // Freed before the program hears of it, so it may resolve again at once.
        avahi_service_resolver_free(resolver);
        self->m_resolving.erase(id);
        self->m_events.resolveFailed(id);
        return;
    }
    DnssdBackend::Resolved resolved;
    resolved.hostName = text(hostName);
    resolved.address = addressText(address, interface);
    resolved.port = port;
    for (AvahiStringList* item = txt;
         item != nullptr && int(resolved.txt.size()) < DnssdBackend::maxTxtStrings;
         item = avahi_string_list_get_next(item))
        resolved.txt.emplace_back(reinterpret_cast<const char*>(avahi_string_list_get_text(item)),
                                  avahi_string_list_get_size(item));
    self->m_events.serviceResolved(id, resolved);
}
