#pragma once

#include <avahi-client/client.h>
#include <avahi-common/watch.h>

// Holds a connection to the Avahi daemon and makes it again whenever it is
// lost: the daemon may start after the program, stop, or restart (a package
// upgrade), and the system bus may be missing altogether. Its owner learns
// when the client runs (and may then create entry groups, browsers and
// resolvers on it) and when it is lost (and must then free them at once).
//
// While the bus is there, waiting for the daemon costs nothing: the client
// library watches the bus for the daemon's name. Without a bus it is tried
// again every retryMs.
class AvahiClientKeeper {
public:
    class Owner {
    public:
        virtual ~Owner() = default;
        // The daemon runs; called again after every loss.
        virtual void clientRunning(AvahiClient* client) = 0;
        // The daemon is changing its host name: published entries must be
        // withdrawn (reset) until clientRunning() comes again.
        virtual void clientRegistering() {}
        // The daemon cannot be reached (also at the start, if it is not
        // there); everything created on the client must be freed now.
        virtual void clientLost() = 0;
    };

    static constexpr int retryMs = 10000;

    AvahiClientKeeper(const AvahiPoll* poll, Owner& owner);
    ~AvahiClientKeeper();
    AvahiClientKeeper(const AvahiClientKeeper&) = delete;
    AvahiClientKeeper& operator=(const AvahiClientKeeper&) = delete;

    // Connects for the first time; the owner hears the outcome before it returns.
    void start();

private:
    static void clientCallback(AvahiClient* client, AvahiClientState state, void* userdata);
    static void retryCallback(AvahiTimeout* timeout, void* userdata);
    void connect();
    void lose();
    void retryIn(int ms);

    const AvahiPoll* m_poll;
    Owner& m_owner;
    AvahiClient* m_client = nullptr;
    AvahiTimeout* m_retry = nullptr;
    bool m_running = false;
    bool m_lostReported = false;
};
