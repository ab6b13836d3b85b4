// The Avahi main-loop interface over Qt's event loop, against a pipe and the
// clock: the library relies on watches firing for the events asked for only,
// on timeouts firing once at their absolute time, and on freeing either from
// within its own callback.
#include "net/QtAvahiPoll.h"
#include "support/EventLoop.h"

#include <avahi-common/watch.h>

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// The absolute time ms from now, as the library passes it.
void elapse(timeval* when, int ms) {
    gettimeofday(when, nullptr);
    const long long usec = static_cast<long long>(when->tv_usec) + ms * 1000LL;
    when->tv_sec += time_t(usec / 1000000);
    when->tv_usec = suseconds_t(usec % 1000000);
}

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(pipe2(fds, O_NONBLOCK), 0); }
    ~Pipe() {
        close(fds[0]);
        close(fds[1]);
    }
    void put() { EXPECT_EQ(write(fds[1], "x", 1), 1); }
    void drain() {
        char buffer[64];
        while (read(fds[0], buffer, sizeof buffer) > 0) {
        }
    }
};

struct WatchLog {
    int calls = 0;
    int lastEvent = 0;
    int seenByGetEvents = 0;
    const AvahiPoll* api = nullptr;
    bool freeInCallback = false;
    Pipe* pipe = nullptr;
};

void onWatch(AvahiWatch* watch, int, AvahiWatchEvent event, void* userdata) {
    auto* log = static_cast<WatchLog*>(userdata);
    ++log->calls;
    log->lastEvent = event;
    log->seenByGetEvents = log->api->watch_get_events(watch);
    if (log->pipe != nullptr)
        log->pipe->drain();
    if (log->freeInCallback)
        log->api->watch_free(watch);
}

struct TimeoutLog {
    int calls = 0;
    const AvahiPoll* api = nullptr;
    bool freeInCallback = false;
    bool rearmInCallback = false;
};

void onTimeout(AvahiTimeout* timeout, void* userdata) {
    auto* log = static_cast<TimeoutLog*>(userdata);
    ++log->calls;
    if (log->rearmInCallback && log->calls == 1) {
        timeval when;
        elapse(&when, 10);
        log->api->timeout_update(timeout, &when);
    }
    if (log->freeInCallback)
        log->api->timeout_free(timeout);
}

} // namespace

TEST(QtAvahiPoll, WatchReportsReadableOnlyWhileAskedFor) {
    QtAvahiPoll poll;
    Pipe pipe;
    WatchLog log{0, 0, 0, poll.api(), false, &pipe};
    AvahiWatch* watch =
        poll.api()->watch_new(poll.api(), pipe.fds[0], AVAHI_WATCH_IN, &onWatch, &log);
    ASSERT_NE(watch, nullptr);
    spin(30);
    EXPECT_EQ(log.calls, 0) << "nothing to read yet";

    pipe.put();
    ASSERT_TRUE(waitUntil([&] { return log.calls == 1; }));
    EXPECT_EQ(log.lastEvent, AVAHI_WATCH_IN);
    EXPECT_EQ(log.seenByGetEvents, AVAHI_WATCH_IN) << "watch_get_events inside the callback";
    EXPECT_EQ(poll.api()->watch_get_events(watch), 0) << "and nothing outside it";

    poll.api()->watch_update(watch, AvahiWatchEvent(0));
    pipe.put();
    spin(50);
    EXPECT_EQ(log.calls, 1) << "a watch asking for nothing stays quiet";

    poll.api()->watch_update(watch, AVAHI_WATCH_IN);
    ASSERT_TRUE(waitUntil([&] { return log.calls == 2; }));
    poll.api()->watch_free(watch);
    EXPECT_EQ(poll.watchCount(), 0);
}

TEST(QtAvahiPoll, WatchOnWritableEndAndFreedInsideItsCallback) {
    QtAvahiPoll poll;
    Pipe pipe;
    WatchLog log{0, 0, 0, poll.api(), true, nullptr};
    poll.api()->watch_new(poll.api(), pipe.fds[1], AVAHI_WATCH_OUT, &onWatch, &log);
    ASSERT_TRUE(waitUntil([&] { return log.calls >= 1; }));
    EXPECT_EQ(log.lastEvent, AVAHI_WATCH_OUT);
    spin(50);
    EXPECT_EQ(log.calls, 1) << "a watch freed in its callback never fires again";
    EXPECT_EQ(poll.watchCount(), 0);
}

TEST(QtAvahiPoll, TimeoutFiresOnceAtItsTimeAndCanBeRearmedOrDisabled) {
    QtAvahiPoll poll;
    TimeoutLog log{0, poll.api(), false, false};
    timeval when;
    elapse(&when, 60);
    QElapsedTimer clock;
    clock.start();
    AvahiTimeout* timeout = poll.api()->timeout_new(poll.api(), &when, &onTimeout, &log);
    ASSERT_TRUE(waitUntil([&] { return log.calls == 1; }, 2000));
    EXPECT_GE(clock.elapsed(), 50) << "not before its time";
    spin(100);
    EXPECT_EQ(log.calls, 1) << "a timeout fires once";

    elapse(&when, 10);
    poll.api()->timeout_update(timeout, &when);
    ASSERT_TRUE(waitUntil([&] { return log.calls == 2; }, 2000));

    elapse(&when, 20);
    poll.api()->timeout_update(timeout, &when);
    poll.api()->timeout_update(timeout, nullptr);
    spin(80);
    EXPECT_EQ(log.calls, 2) << "a disabled timeout stays quiet";
    poll.api()->timeout_free(timeout);
    EXPECT_EQ(poll.timeoutCount(), 0);
}

TEST(QtAvahiPoll, TimeoutInThePastFiresAtOnceAndNullNeverFires) {
    QtAvahiPoll poll;
    TimeoutLog past{0, poll.api(), true, false};
    TimeoutLog never{0, poll.api(), false, false};
    timeval when;
    elapse(&when, 0);
    when.tv_sec -= 5;
    poll.api()->timeout_new(poll.api(), &when, &onTimeout, &past);
    poll.api()->timeout_new(poll.api(), nullptr, &onTimeout, &never);
    ASSERT_TRUE(waitUntil([&] { return past.calls == 1; }, 500));
    spin(50);
    EXPECT_EQ(past.calls, 1);
    EXPECT_EQ(never.calls, 0);
    EXPECT_EQ(poll.timeoutCount(), 1) << "the one freed in its callback is gone";
}

TEST(QtAvahiPoll, TimeoutRearmedInsideItsCallbackFiresAgain) {
    QtAvahiPoll poll;
    TimeoutLog log{0, poll.api(), false, true};
    timeval when;
    elapse(&when, 5);
    poll.api()->timeout_new(poll.api(), &when, &onTimeout, &log);
    ASSERT_TRUE(waitUntil([&] { return log.calls == 2; }, 1000));
}

TEST(QtAvahiPoll, WhatTheLibraryLeftIsFreedWithThePoll) {
    Pipe pipe;
    WatchLog log;
    TimeoutLog timeouts;
    {
        QtAvahiPoll poll;
        log.api = poll.api();
        timeval when;
        elapse(&when, 10);
        poll.api()->watch_new(poll.api(), pipe.fds[0], AVAHI_WATCH_IN, &onWatch, &log);
        poll.api()->timeout_new(poll.api(), &when, &onTimeout, &timeouts);
        EXPECT_EQ(poll.watchCount(), 1);
        EXPECT_EQ(poll.timeoutCount(), 1);
    }
    pipe.put();
    spin(50);
    EXPECT_EQ(log.calls, 0);
    EXPECT_EQ(timeouts.calls, 0);
}
