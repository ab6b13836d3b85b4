#include "net/dnssd/AvahiPublisher.h"

#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/strlst.h>

#include <utility>

namespace {

AvahiStringList* stringList(const std::vector<std::string>& strings) {
    AvahiStringList* list = nullptr;
    // avahi_string_list_add() prepends: add from the back to keep the order.
    for (auto it = strings.rbegin(); it != strings.rend(); ++it)
        list = avahi_string_list_add_arbitrary(
            list, reinterpret_cast<const std::uint8_t*>(it->data()), it->size());
    return list;
}

} // namespace

AvahiPublisher::AvahiPublisher(const AvahiPoll* poll, DnssdBackend::PublisherEvents& events,
                               std::string type, std::string name, std::uint16_t port,
                               std::vector<std::string> txt)
    : m_events(events), m_type(std::move(type)), m_name(std::move(name)), m_port(port),
      m_txt(std::move(txt)), m_keeper(poll, *this) {}

// The keeper frees the client, which withdraws the group from the network.
AvahiPublisher::~AvahiPublisher() = default;

void AvahiPublisher::clientRunning(AvahiClient* client) {
    m_client = client;
    m_events.daemonChanged(true);
    addService();
}

void AvahiPublisher::clientRegistering() {
    // The daemon's host name changes; the service is registered again once
    // it runs under the new one.
    if (m_group != nullptr)
        avahi_entry_group_reset(m_group);
}

void AvahiPublisher::clientLost() {
    if (m_group != nullptr)
        avahi_entry_group_free(m_group);
    m_group = nullptr;
    m_client = nullptr;
    m_events.daemonChanged(false);
}

void AvahiPublisher::addService() {
    if (m_client == nullptr)
        return;
    if (m_group == nullptr) {
        m_group = avahi_entry_group_new(m_client, &groupCallback, this);
        if (m_group == nullptr)
            return fail(avahi_client_errno(m_client));
    }
    if (!avahi_entry_group_is_empty(m_group))
        return;
    m_txtPending = false;
    for (;;) {
        AvahiStringList* txt = stringList(m_txt);
        const int result = avahi_entry_group_add_service_strlst(
            m_group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0), m_name.c_str(),
            m_type.c_str(), nullptr, nullptr, m_port, txt);
        avahi_string_list_free(txt);
        if (result == AVAHI_ERR_COLLISION && m_alternatives < maxAlternatives) {
            // Another service of this host holds the name already.
            takeAlternativeName();
            continue;
        }
        if (result < 0)
            return fail(result);
        break;
    }
    const int result = avahi_entry_group_commit(m_group);
    if (result < 0)
        fail(result);
}

void AvahiPublisher::takeAlternativeName() {
    char* alternative = avahi_alternative_service_name(m_name.c_str());
    m_name = alternative;
    avahi_free(alternative);
    ++m_alternatives;
}

void AvahiPublisher::groupCallback(AvahiEntryGroup* group, AvahiEntryGroupState state,
                                   void* userdata) {
    auto* self = static_cast<AvahiPublisher*>(userdata);
    // The first call may come from within avahi_entry_group_new().
    self->m_group = group;
    switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
        self->m_alternatives = 0;
        if (self->m_txtPending)
            self->setTxt(self->m_txt);
        self->m_events.published(self->m_name);
        break;
    case AVAHI_ENTRY_GROUP_COLLISION:
        // Another host on the network holds the name.
        if (self->m_alternatives >= maxAlternatives)
            return self->fail(AVAHI_ERR_COLLISION);
        self->takeAlternativeName();
        avahi_entry_group_reset(group);
        self->addService();
        break;
    case AVAHI_ENTRY_GROUP_FAILURE:
        self->fail(avahi_client_errno(avahi_entry_group_get_client(group)));
        break;
    case AVAHI_ENTRY_GROUP_UNCOMMITED:
    case AVAHI_ENTRY_GROUP_REGISTERING:
        break;
    }
}

void AvahiPublisher::setTxt(const std::vector<std::string>& txt) {
    m_txt = txt;
    // A service not yet on the network takes the new strings when it is
    // added; one on it (or being probed) gets its record replaced.
    if (m_group == nullptr || avahi_entry_group_is_empty(m_group))
        return;
    AvahiStringList* list = stringList(m_txt);
    // Refused while the name is still being probed: done once established.
    m_txtPending = avahi_entry_group_update_service_txt_strlst(
                       m_group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0),
                       m_name.c_str(), m_type.c_str(), nullptr, list) < 0;
    avahi_string_list_free(list);
}

void AvahiPublisher::fail(int error) {
    m_events.publishFailed(avahi_strerror(error));
}
