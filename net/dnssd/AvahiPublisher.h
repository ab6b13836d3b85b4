#pragma once

#include "net/DnssdBackend.h"
#include "net/dnssd/AvahiClientKeeper.h"

#include <avahi-client/publish.h>

// One service published through the Avahi daemon: registered whenever the
// daemon runs, under an alternative name after a name collision, its TXT
// record replaced in place, withdrawn when destroyed.
class AvahiPublisher : public DnssdBackend::Publisher, private AvahiClientKeeper::Owner {
public:
    AvahiPublisher(const AvahiPoll* poll, DnssdBackend::PublisherEvents& events, std::string type,
                   std::string name, std::uint16_t port, std::vector<std::string> txt);
    ~AvahiPublisher() override;

    void start() { m_keeper.start(); }
    void setTxt(const std::vector<std::string>& txt) override;

private:
    // A name collision is answered with the next alternative name; a run of
    // them this long means something else is wrong.
    static constexpr int maxAlternatives = 50;

    void clientRunning(AvahiClient* client) override;
    void clientRegistering() override;
    void clientLost() override;
    static void groupCallback(AvahiEntryGroup* group, AvahiEntryGroupState state, void* userdata);
    void addService();
    void takeAlternativeName();
    void fail(int error);

    DnssdBackend::PublisherEvents& m_events;
    std::string m_type;
    std::string m_name;
    std::uint16_t m_port;
    std::vector<std::string> m_txt;
    AvahiEntryGroup* m_group = nullptr;
    AvahiClient* m_client = nullptr;
    int m_alternatives = 0;
    bool m_txtPending = false;
    // Last so that it is destroyed first: freeing the client frees the group.
    AvahiClientKeeper m_keeper;
};
