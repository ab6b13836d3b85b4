#include "net/PortMapper.h"
#include "net/RouterClient.h"

#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

using Set = void (*)(int, int, int, const char*, const char*);
using Closes = int (*)();

// The stand-in module, the same loaded copy PortMapper gets.
struct Stalling {
    Stalling() {
        void* handle = dlopen(CLIMORA_STALLING_MODULE, RTLD_NOW | RTLD_LOCAL);
        set = reinterpret_cast<Set>(dlsym(handle, "climora_test_router_set"));
        closes = reinterpret_cast<Closes>(dlsym(handle, "climora_test_router_closes"));
    }
    Set set = nullptr;
    Closes closes = nullptr;
};

Stalling& stalling() {
    static Stalling module;
    return module;
}

PortMapper::Result waitForResult(PortMapper& mapper, int timeoutMs, qint64* elapsed = nullptr) {
    QSignalSpy spy(&mapper, &PortMapper::finished);
    QElapsedTimer clock;
    clock.start();
    waitUntil([&] { return !spy.isEmpty(); }, timeoutMs);
    if (elapsed)
        *elapsed = clock.elapsed();
    if (spy.isEmpty())
        return {PortMapper::Outcome::Refused, PortMapper::Method::None, 0, "no answer", {}};
    return spy.takeFirst().at(0).value<PortMapper::Result>();
}

TEST(PortMapperLine, EachOutcomeGivesThePlayerOnePlainLine) {
    struct Case {
        PortMapper::Result result;
        const char* line;
    };
    const Case cases[] = {
        {{PortMapper::Outcome::Opened, PortMapper::Method::Upnp, 7772, "203.0.113.5", {}},
         "Your router now forwards port 7772 to this computer: others on the internet can join "
         "at 203.0.113.5."},
        {{PortMapper::Outcome::Opened, PortMapper::Method::NatPmp, 7772, {}, {}},
         "Your router now forwards port 7772 to this computer: others on the internet can join "
         "at its public address."},
        {{PortMapper::Outcome::NoRouter, PortMapper::Method::None, 7772, {}, {}},
         "No router answered: others on the internet may not be able to join this game."},
        {{PortMapper::Outcome::NoPublicAddress, PortMapper::Method::Upnp, 7772, {}, {}},
         "Your router has no public address of its own (carrier-grade NAT): others on the "
         "internet cannot reach this host directly."},
        {{PortMapper::Outcome::Refused,
          PortMapper::Method::Upnp,
          7772,
          {},
          "ConflictInMappingEntry"},
         "Your router refused to forward port 7772 (ConflictInMappingEntry): others on the "
         "internet may not be able to join this game."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PortMapper::describe(c.result).toStdString(), c.line);
}

TEST(PortMapper, WithoutTheModuleEveryOpenEndsInNoRouterAtOnce) {
    PortMapper mapper(QStringList{QStringLiteral("/nonexistent/climora-router.so")});
    qint64 elapsed = 0;
    mapper.open(7772);
    const auto answer = waitForResult(mapper, 3000, &elapsed);
    EXPECT_EQ(answer.outcome, PortMapper::Outcome::NoRouter);
    EXPECT_EQ(answer.port, 7772);
    EXPECT_LT(elapsed, 1000);
    EXPECT_FALSE(mapper.isOpen());
}

TEST(PortMapper, WhatTheRouterSaysIsCheckedBeforeItIsShown) {
    struct Case {
        int outcome;
        const char* address;
        const char* detail;
        PortMapper::Outcome expected;
        const char* shownAddress;
        const char* shownDetail;
    };
    const Case cases[] = {
        {0, "203.0.114.7", "", PortMapper::Outcome::Opened, "203.0.114.7", ""},
        {0, "192.168.1.1", "", PortMapper::Outcome::Opened, "", ""},
        {0, "<a href=x>1.2.3.4</a>", "", PortMapper::Outcome::Opened, "", ""},
        {0, "203.0.114.7\n", "", PortMapper::Outcome::Opened, "", ""},
        {3, "", "Not\x01 <b>allowed</b>\n\tnow", PortMapper::Outcome::Refused, "",
         "Not <b>allowed</b>now"},
        {2, "100.64.3.4", "", PortMapper::Outcome::NoPublicAddress, "", ""},
        {42, "203.0.114.7", "", PortMapper::Outcome::NoRouter, "203.0.114.7", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        stalling().set(0, c.outcome, 1, c.address, c.detail);
        PortMapper mapper(QStringList{QStringLiteral(CLIMORA_STALLING_MODULE)});
        mapper.open(7772);
        const auto result = waitForResult(mapper, 3000);
        EXPECT_EQ(result.outcome, c.expected);
        EXPECT_EQ(result.publicAddress.toStdString(), c.shownAddress);
        EXPECT_EQ(result.detail.toStdString(), c.shownDetail);
    }
    const std::string longDetail(5000, 'x');
    stalling().set(0, 3, 1, "", longDetail.c_str());
    PortMapper mapper(QStringList{QStringLiteral(CLIMORA_STALLING_MODULE)});
    mapper.open(7772);
    EXPECT_LE(waitForResult(mapper, 3000).detail.size(), 100);
}

TEST(PortMapper, ARouterTooSlowEndsInNoRouterAndItsLateForwardingIsTakenBack) {
    stalling().set(PortMapper::answerLimitMs + 1000, 0, 1, "203.0.114.7", "");
    const int closesBefore = stalling().closes();
    PortMapper mapper(QStringList{QStringLiteral(CLIMORA_STALLING_MODULE)});
    mapper.open(7772);
    EXPECT_TRUE(mapper.isWaiting());
    qint64 elapsed = 0;
    const auto result = waitForResult(mapper, 8000, &elapsed);
    EXPECT_EQ(result.outcome, PortMapper::Outcome::NoRouter);
    EXPECT_LE(elapsed, 5000);
    EXPECT_GE(elapsed, PortMapper::answerLimitMs - 500);
    // The late answer says Opened: it is not reported, and removed.
    QSignalSpy late(&mapper, &PortMapper::finished);
    EXPECT_TRUE(waitUntil([&] { return stalling().closes() == closesBefore + 1; }, 3000));
    EXPECT_TRUE(late.isEmpty());
    EXPECT_FALSE(mapper.isOpen());
}

TEST(PortMapper, CloseTakesTheForwardingBackAndSaysSo) {
    stalling().set(0, 0, 1, "203.0.114.7", "");
    const int closesBefore = stalling().closes();
    PortMapper mapper(QStringList{QStringLiteral(CLIMORA_STALLING_MODULE)});
    mapper.open(7772);
    ASSERT_EQ(waitForResult(mapper, 3000).outcome, PortMapper::Outcome::Opened);
    EXPECT_TRUE(mapper.isOpen());
    // Asking again for the same port repeats the answer without a new request.
    mapper.open(7772);
    EXPECT_EQ(waitForResult(mapper, 3000).publicAddress, QStringLiteral("203.0.114.7"));
    QSignalSpy closed(&mapper, &PortMapper::closed);
    mapper.close();
    EXPECT_FALSE(mapper.isOpen());
    ASSERT_TRUE(waitUntil([&] { return !closed.isEmpty(); }, 3000));
    EXPECT_TRUE(closed.takeFirst().at(0).toBool());
    EXPECT_EQ(stalling().closes(), closesBefore + 1);
    // Nothing left to take back: a second close asks nothing.
    mapper.close();
    spin(100);
    EXPECT_TRUE(closed.isEmpty());
    EXPECT_EQ(stalling().closes(), closesBefore + 1);
}

TEST(PortMapper, DestroyingItTakesTheForwardingBack) {
    stalling().set(0, 0, 1, "203.0.114.7", "");
    const int closesBefore = stalling().closes();
    {
        PortMapper mapper(QStringList{QStringLiteral(CLIMORA_STALLING_MODULE)});
        mapper.open(7772);
        ASSERT_EQ(waitForResult(mapper, 3000).outcome, PortMapper::Outcome::Opened);
    }
    EXPECT_EQ(stalling().closes(), closesBefore + 1);
}

TEST(PortMapper, DestroyingItWhileTheRouterStallsWaitsAtMostTheExitLimit) {
    stalling().set(4000, 0, 1, "203.0.114.7", "");
    QElapsedTimer clock;
    {
        auto mapper =
            std::make_unique<PortMapper>(QStringList{QStringLiteral(CLIMORA_STALLING_MODULE)});
        mapper->open(7772);
        spin(50);
        clock.start();
    }
    EXPECT_LE(clock.elapsed(), PortMapper::exitWaitMs + 300);
    // Let the abandoned worker finish before the next test steers the module.
    spin(4500);
}

} // namespace
