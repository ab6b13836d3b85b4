// The list of games found on this network, with the network played by a
// fake backend: which sightings become games, in which order, how many
// resolvers a crowd of announcements costs, and what hostile ones show.
#include "net/GameBrowser.h"
#include "dnssdlab/FakeDnssd.h"
#include "net/DnssdModule.h"
#include "net/GameAnnouncer.h"
#include "support/EventLoop.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using Id = DnssdBackend::ServiceId;

Id v4(const std::string& name) {
    return {2, 0, name, "local"};
}
Id v6(const std::string& name) {
    return {2, 1, name, "local"};
}

DnssdBackend::Resolved at(const std::string& address, std::vector<std::string> txt = {}) {
    return {"table.local", address, 7772, std::move(txt)};
}

class Browsing : public ::testing::Test {
protected:
    void SetUp() override {
        browser.setBatching(0, 0);
        browser.start();
        ASSERT_EQ(browser.state(), GameBrowser::State::Browsing);
        ASSERT_EQ(fake.type, "_climora._tcp");
    }
    // Lets the browser apply what it heard.
    void settle() { spin(10); }
    QStringList names() const {
        QStringList list;
        for (const FoundGame& game : browser.games())
            list << game.name;
        return list;
    }
    // Adds a game and answers its resolver.
    void announce(const std::string& name, std::vector<std::string> txt = {"players=1"}) {
        fake.add(v4(name));
        settle();
        fake.answer(v4(name), at("192.0.2.7", std::move(txt)));
        settle();
    }

    FakeDnssd fake;
    DnssdModule module{fake};
    GameBrowser browser{module};
    std::set<Id> answeredOnce;
};

} // namespace

TEST_F(Browsing, ResolvedGameIsListedWithItsAddressPortAndPlayers) {
    QSignalSpy changed(&browser, &GameBrowser::gamesChanged);
    fake.add(v4("Ann"));
    settle();
    EXPECT_TRUE(browser.games().isEmpty()) << "nothing is listed before it is resolved";
    ASSERT_EQ(fake.resolving.count(v4("Ann")), 1u);
    fake.answer(v4("Ann"), at("192.0.2.7", {"host=Ann", "players=2"}));
    settle();
    ASSERT_EQ(browser.games().size(), 1);
    const FoundGame& game = browser.games().front();
    EXPECT_EQ(game.name, "Ann");
    EXPECT_EQ(game.hostName, "table.local");
    EXPECT_EQ(game.address, "192.0.2.7");
    EXPECT_EQ(game.port, 7772);
    EXPECT_EQ(game.players, 2);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(fake.resolving.count(v4("Ann")), 1u) << "a listed game keeps its resolver";

    fake.remove(v4("Ann"));
    settle();
    EXPECT_TRUE(browser.games().isEmpty());
    EXPECT_TRUE(fake.resolving.empty());
}

TEST_F(Browsing, SightingsOfOneGameMakeOneEntryWithIpv4First) {
    const Id linkLocal{3, 1, "Ann", "local"};
    fake.add(linkLocal);
    fake.add(v6("Ann"));
    fake.add(v4("Ann"));
    settle();
    fake.answer(linkLocal, at("fe80::1%3"));
    fake.answer(v6("Ann"), at("2001:db8::7"));
    fake.answer(v4("Ann"), at("192.0.2.7"));
    settle();
    ASSERT_EQ(browser.games().size(), 1);
    EXPECT_EQ(browser.games().front().address, "192.0.2.7");
    EXPECT_EQ(browser.games().front().addresses,
              QStringList({"192.0.2.7", "2001:db8::7", "fe80::1%3"}));

    fake.remove(v4("Ann"));
    settle();
    ASSERT_EQ(browser.games().size(), 1) << "still seen over IPv6";
    EXPECT_EQ(browser.games().front().address, "2001:db8::7");
}

TEST_F(Browsing, NewestAnnouncedOrChangedGameComesFirst) {
    announce("Ann");
    announce("Bo");
    announce("Cy");
    EXPECT_EQ(names(), QStringList({"Cy", "Bo", "Ann"}));

    fake.answer(v4("Ann"), at("192.0.2.7", {"players=3"}));
    settle();
    EXPECT_EQ(names(), QStringList({"Ann", "Cy", "Bo"})) << "a changed player count moves up";
    EXPECT_EQ(browser.games().front().players, 3);

    QSignalSpy changed(&browser, &GameBrowser::gamesChanged);
    fake.answer(v4("Bo"), at("192.0.2.7", {"players=1"}));
    settle();
    EXPECT_EQ(changed.count(), 0) << "an answer that changes nothing changes no order";
}

TEST_F(Browsing, HostileAnnouncementsShowShortPlainNamesAndNoCount) {
    announce(std::string(10000, 'N'), {"players=abc"});
    announce("<b>Bo</b>\x01\x1b[2J", {"players=99"});
    announce("Cy", {std::string(300, 'p')});
    ASSERT_EQ(browser.games().size(), 3);
    for (const FoundGame& game : browser.games()) {
        EXPECT_LE(game.name.size(), 40);
        EXPECT_EQ(game.players, -1) << game.name.toStdString();
        for (QChar c : game.name)
            EXPECT_NE(c.category(), QChar::Other_Control);
    }
    EXPECT_EQ(browser.games()[2].name, QString(39, 'N') + QChar(0x2026));
    EXPECT_EQ(browser.games()[1].name, "<b>Bo</b>[2J");
}

TEST_F(Browsing, FiveHundredAnnouncementsResolveOnlyTheNewestFifty) {
    for (int i = 0; i < 500; ++i)
        fake.add(v4("G" + std::to_string(i)));
    settle();
    EXPECT_EQ(fake.resolving.size(), std::size_t(GameBrowser::maxResolving))
        << "resolvers start a few at a time";
    EXPECT_EQ(fake.resolving.count(v4("G499")), 1u) << "the newest announcements go first";

    // The network answers whatever is asked, until nothing more is asked.
    const auto answerAll = [this] {
        for (int round = 0; round < 100; ++round) {
            const std::set<Id> asked = fake.resolving;
            bool answered = false;
            for (const Id& id : asked) {
                if (answeredOnce.insert(id).second) {
                    fake.answer(id, at("192.0.2.9", {"players=1"}));
                    answered = true;
                }
            }
            settle();
            if (!answered)
                return;
        }
    };
    answerAll();
    EXPECT_EQ(fake.resolveCalls, GameBrowser::maxListed)
        << "the crowd beyond the list costs nothing";
    ASSERT_EQ(browser.games().size(), GameBrowser::maxListed);
    EXPECT_EQ(browser.games().front().name, "G499");
    EXPECT_EQ(browser.games().back().name, "G450");
    EXPECT_EQ(fake.resolving.size(), std::size_t(GameBrowser::maxListed))
        << "listed games are watched";

    // Listed games leave; the next newest take their places.
    for (int i = 499; i > 489; --i)
        fake.remove(v4("G" + std::to_string(i)));
    settle();
    answerAll();
    EXPECT_EQ(fake.resolveCalls, GameBrowser::maxListed + 10);
    ASSERT_EQ(browser.games().size(), GameBrowser::maxListed);
    EXPECT_EQ(browser.games().front().name, "G489");
    EXPECT_EQ(browser.games().back().name, "G440");

    // A game announced into the crowd comes first.
    announce("Late");
    EXPECT_EQ(browser.games().front().name, "Late");
    EXPECT_LE(fake.mostResolvers, GameBrowser::maxListed + GameBrowser::maxResolving);
}

TEST_F(Browsing, FailedAndRefusedResolversFreeTheirPlaceForOthers) {
    for (int i = 0; i < 12; ++i)
        fake.add(v4("G" + std::to_string(i)));
    settle();
    const std::set<Id> first = fake.resolving;
    for (const Id& id : first)
        fake.fail(id);
    settle();
    EXPECT_EQ(fake.resolving.size(), 4u) << "the remaining four got resolvers";
    EXPECT_TRUE(browser.games().isEmpty());

    fake.acceptResolvers = false;
    fake.add(v4("Late"));
    settle();
    fake.acceptResolvers = true;
    announce("Ann");
    EXPECT_EQ(names(), QStringList({"Ann"}));
}

TEST_F(Browsing, DaemonGoingAwayEmptiesTheListAndComingBackBrowsesAgain) {
    announce("Ann");
    QSignalSpy states(&browser, &GameBrowser::stateChanged);
    fake.browserEvents->daemonChanged(false);
    settle();
    EXPECT_EQ(browser.state(), GameBrowser::State::Unavailable);
    EXPECT_TRUE(browser.games().isEmpty());
    fake.resolving.clear(); // the module drops them with the daemon
    fake.browserEvents->daemonChanged(true);
    EXPECT_EQ(browser.state(), GameBrowser::State::Browsing);
    EXPECT_EQ(states.count(), 2);
    announce("Ann");
    EXPECT_EQ(names(), QStringList({"Ann"}));

    browser.stop();
    EXPECT_EQ(browser.state(), GameBrowser::State::Stopped);
    EXPECT_EQ(fake.browser, nullptr) << "stopping ends the browsing";
    EXPECT_TRUE(browser.games().isEmpty());
}

TEST(GameBrowserWithout, ModuleOrDaemonIsUnavailableAndFailsNothing) {
    DnssdModule missing(QStringList{"/nonexistent/climora-dnssd.so"});
    GameBrowser browser(missing);
    browser.start();
    EXPECT_EQ(browser.state(), GameBrowser::State::Unavailable);
    EXPECT_TRUE(browser.unavailableReason().contains("climora-dnssd.so"));

    FakeDnssd fake;
    fake.daemonRunning = false;
    DnssdModule module(fake);
    GameBrowser waiting(module);
    waiting.start();
    EXPECT_EQ(waiting.state(), GameBrowser::State::Unavailable);
    fake.browserEvents->daemonChanged(true);
    EXPECT_EQ(waiting.state(), GameBrowser::State::Browsing) << "a daemon that starts is used";
}

TEST(GameAnnouncerFake, AnnouncesNameTypePortAndCountsAndFollowsTheDaemon) {
    FakeDnssd fake;
    DnssdModule module(fake);
    GameAnnouncer announcer(module);
    announcer.start("Ann\x01", 2);
    EXPECT_EQ(fake.type, "_climora._tcp");
    EXPECT_EQ(fake.name, "Ann");
    EXPECT_EQ(fake.port, 7772);
    EXPECT_EQ(fake.txt, (std::vector<std::string>{"host=Ann", "players=2"}));
    EXPECT_EQ(announcer.state(), GameAnnouncer::State::Registering);

    fake.publisherEvents->published("Ann #2");
    EXPECT_EQ(announcer.state(), GameAnnouncer::State::Announced);
    EXPECT_EQ(announcer.announcedName(), "Ann #2");
    announcer.setPlayers(3);
    EXPECT_EQ(fake.txt[1], "players=3");

    fake.publisherEvents->daemonChanged(false);
    EXPECT_EQ(announcer.state(), GameAnnouncer::State::Unavailable);
    EXPECT_EQ(announcer.announcedName(), "");
    fake.publisherEvents->daemonChanged(true);
    fake.publisherEvents->published("Ann");
    EXPECT_EQ(announcer.state(), GameAnnouncer::State::Announced);

    announcer.stop();
    EXPECT_EQ(fake.publisher, nullptr) << "stopping withdraws the service";
    EXPECT_EQ(announcer.state(), GameAnnouncer::State::Stopped);
}
