#include "net/dnssd/AvahiClientKeeper.h"

#include <avahi-common/error.h>
#include <avahi-common/timeval.h>

AvahiClientKeeper::AvahiClientKeeper(const AvahiPoll* poll, Owner& owner)
    : m_poll(poll), m_owner(owner) {}

AvahiClientKeeper::~AvahiClientKeeper() {
    if (m_retry != nullptr)
        m_poll->timeout_free(m_retry);
    if (m_client != nullptr)
        avahi_client_free(m_client);
}

void AvahiClientKeeper::start() {
    connect();
}

void AvahiClientKeeper::connect() {
    int error = 0;
    // With NO_FAIL the client is made even while the daemon is away and
    // reports it by the CONNECTING state; it fails only without a bus.
    AvahiClient* client =
        avahi_client_new(m_poll, AVAHI_CLIENT_NO_FAIL, &clientCallback, this, &error);
    if (client == nullptr) {
        m_client = nullptr;
        lose();
        retryIn(retryMs);
        return;
    }
    m_client = client;
}

void AvahiClientKeeper::clientCallback(AvahiClient* client, AvahiClientState state,
                                       void* userdata) {
    auto* self = static_cast<AvahiClientKeeper*>(userdata);
    // The first call comes from within avahi_client_new(), before it has
    // returned the pointer.
    self->m_client = client;
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        if (!self->m_running) {
            self->m_running = true;
            self->m_lostReported = false;
            self->m_owner.clientRunning(client);
        }
        break;
    case AVAHI_CLIENT_S_REGISTERING:
    case AVAHI_CLIENT_S_COLLISION:
        if (self->m_running) {
            self->m_running = false;
            self->m_owner.clientRegistering();
        } else if (!self->m_lostReported) {
            // Known to be there but not yet running: nothing can be
            // published before it runs, so the owner waits.
            self->m_lostReported = true;
            self->m_owner.clientLost();
        }
        break;
    case AVAHI_CLIENT_CONNECTING:
        self->lose();
        break;
    case AVAHI_CLIENT_FAILURE:
        // Mostly AVAHI_ERR_DISCONNECTED: the daemon or the bus went away.
        // The client cannot be used again; it is freed and made anew once
        // this callback has returned, since the library still uses it here.
        self->lose();
        self->retryIn(0);
        break;
    }
}

void AvahiClientKeeper::lose() {
    const bool report = m_running || !m_lostReported;
    m_running = false;
    m_lostReported = true;
    if (report)
        m_owner.clientLost();
}

void AvahiClientKeeper::retryIn(int ms) {
    timeval when;
    avahi_elapse_time(&when, ms, 0);
    if (m_retry == nullptr)
        m_retry = m_poll->timeout_new(m_poll, &when, &retryCallback, this);
    else
        m_poll->timeout_update(m_retry, &when);
}

void AvahiClientKeeper::retryCallback(AvahiTimeout* timeout, void* userdata) {
    auto* self = static_cast<AvahiClientKeeper*>(userdata);
    self->m_poll->timeout_update(timeout, nullptr);
    if (self->m_client != nullptr) {
        avahi_client_free(self->m_client);
        self->m_client = nullptr;
    }
    self->connect();
}
