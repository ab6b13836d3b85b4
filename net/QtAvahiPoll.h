#pragma once

#include <memory>

struct AvahiPoll;

// The Avahi client library's main-loop interface (AvahiPoll) over the Qt
// event loop: watches are QSocketNotifiers, timeouts single-shot QTimers, so
// the DNS-SD module runs on the user-interface thread without a thread of
// its own and wakes the program only when its bus connection has something.
//
// The library may free a watch or a timeout from within its own callback;
// such a one is only disabled then and deleted once the callback returns.
// Whatever the library has not freed by the destruction is freed with it.
class QtAvahiPoll {
public:
    QtAvahiPoll();
    ~QtAvahiPoll();
    QtAvahiPoll(const QtAvahiPoll&) = delete;
    QtAvahiPoll& operator=(const QtAvahiPoll&) = delete;

    const AvahiPoll* api() const;

    // How many watches and timeouts the library holds now.
    int watchCount() const;
    int timeoutCount() const;

    struct Registry;

private:
    std::unique_ptr<Registry> m_registry;
};
