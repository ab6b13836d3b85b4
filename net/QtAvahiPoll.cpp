#include "net/QtAvahiPoll.h"

#include <QSocketNotifier>
#include <QTimer>

#include <avahi-common/watch.h>

#include <sys/time.h>

#include <algorithm>
#include <climits>
#include <set>

struct QtAvahiPoll::Registry {
    AvahiPoll api{};
    std::set<AvahiWatch*> watches;
    std::set<AvahiTimeout*> timeouts;
};

// The library's opaque handles, defined by whoever implements AvahiPoll.
struct AvahiWatch {
    QtAvahiPoll::Registry* registry;
    int fd;
    AvahiWatchCallback callback;
    void* userdata;
    std::unique_ptr<QSocketNotifier> reader;
    std::unique_ptr<QSocketNotifier> writer;
    // The events of the callback in progress, for watch_get_events().
    int happened = 0;
    bool dispatching = false;
    bool freed = false;

    void setEvents(int events) {
        reader->setEnabled((events & AVAHI_WATCH_IN) != 0);
        writer->setEnabled((events & AVAHI_WATCH_OUT) != 0);
    }

    void dispatch(AvahiWatchEvent event) {
        if (dispatching)
            return;
        happened = event;
        dispatching = true;
        callback(this, fd, event, userdata);
        dispatching = false;
        happened = 0;
        if (freed) {
            // Still inside one of the notifiers' signals: they go later.
            reader.release()->deleteLater();
            writer.release()->deleteLater();
            delete this;
        }
    }
};

struct AvahiTimeout {
    QtAvahiPoll::Registry* registry;
    AvahiTimeoutCallback callback;
    void* userdata;
    std::unique_ptr<QTimer> timer;
    bool dispatching = false;
    bool freed = false;

    void setWhen(const timeval* when) {
        if (when == nullptr) {
            timer->stop();
            return;
        }
        timeval now;
        gettimeofday(&now, nullptr);
        const long long ms = (static_cast<long long>(when->tv_sec) - now.tv_sec) * 1000 +
                             (static_cast<long long>(when->tv_usec) - now.tv_usec + 999) / 1000;
        timer->start(int(std::clamp<long long>(ms, 0, INT_MAX)));
    }

    void fire() {
        dispatching = true;
        callback(this, userdata);
        dispatching = false;
        if (freed) {
            timer.release()->deleteLater();
            delete this;
        }
    }
};

namespace {

QtAvahiPoll::Registry* registryOf(const AvahiPoll* api) {
    return static_cast<QtAvahiPoll::Registry*>(api->userdata);
}

AvahiWatch* watchNew(const AvahiPoll* api, int fd, AvahiWatchEvent events,
                     AvahiWatchCallback callback, void* userdata) {
    auto* watch = new AvahiWatch{registryOf(api), fd, callback, userdata, nullptr, nullptr};
    watch->reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    watch->writer = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    // A hang-up or an error shows as readable, which makes the library read
    // and find out.
    QObject::connect(watch->reader.get(), &QSocketNotifier::activated,
                     [watch] { watch->dispatch(AVAHI_WATCH_IN); });
    QObject::connect(watch->writer.get(), &QSocketNotifier::activated,
                     [watch] { watch->dispatch(AVAHI_WATCH_OUT); });
    watch->setEvents(events);
    watch->registry->watches.insert(watch);
    return watch;
}

void watchUpdate(AvahiWatch* watch, AvahiWatchEvent events) {
    if (!watch->freed)
        watch->setEvents(events);
}

AvahiWatchEvent watchGetEvents(AvahiWatch* watch) {
    return AvahiWatchEvent(watch->happened);
}

void watchFree(AvahiWatch* watch) {
    watch->registry->watches.erase(watch);
    if (watch->dispatching) {
        watch->freed = true;
        watch->setEvents(0);
        return;
    }
    delete watch;
}

AvahiTimeout* timeoutNew(const AvahiPoll* api, const timeval* when, AvahiTimeoutCallback callback,
                         void* userdata) {
    auto* timeout = new AvahiTimeout{registryOf(api), callback, userdata, nullptr};
    timeout->timer = std::make_unique<QTimer>();
    timeout->timer->setSingleShot(true);
    QObject::connect(timeout->timer.get(), &QTimer::timeout, [timeout] { timeout->fire(); });
    timeout->setWhen(when);
    timeout->registry->timeouts.insert(timeout);
    return timeout;
}

void timeoutUpdate(AvahiTimeout* timeout, const timeval* when) {
    if (!timeout->freed)
        timeout->setWhen(when);
}

void timeoutFree(AvahiTimeout* timeout) {
    timeout->registry->timeouts.erase(timeout);
    if (timeout->dispatching) {
        timeout->freed = true;
        timeout->timer->stop();
        return;
    }
    delete timeout;
}

} // namespace

QtAvahiPoll::QtAvahiPoll() : m_registry(std::make_unique<Registry>()) {
    AvahiPoll& api = m_registry->api;
    api.userdata = m_registry.get();
    api.watch_new = &watchNew;
    api.watch_update = &watchUpdate;
    api.watch_get_events = &watchGetEvents;
    api.watch_free = &watchFree;
    api.timeout_new = &timeoutNew;
    api.timeout_update = &timeoutUpdate;
    api.timeout_free = &timeoutFree;
}

QtAvahiPoll::~QtAvahiPoll() {
    while (!m_registry->watches.empty())
        watchFree(*m_registry->watches.begin());
    while (!m_registry->timeouts.empty())
        timeoutFree(*m_registry->timeouts.begin());
}

const AvahiPoll* QtAvahiPoll::api() const {
    return &m_registry->api;
}

int QtAvahiPoll::watchCount() const {
    return int(m_registry->watches.size());
}

int QtAvahiPoll::timeoutCount() const {
    return int(m_registry->timeouts.size());
}
