#include "ServerHarness.h"

#include <gtest/gtest.h>

// A name already at the table, or a computer player's, is made unique by
// the server, and every client learns the unique name from
// CMD_newplayerinfo, the newcomer included.
TEST(Login, NamesInUseAreMadeUniqueForEveryone) {
    struct Case {
        QByteArrayList asked;
        QByteArrayList given;
    };
    const Case cases[] = {
        {{"You"}, {"You"}},
        {{"Ann", "Ann", "Ann"}, {"Ann", "Ann (2)", "Ann (3)"}},
        {{"Klot", "Klock", "Kling"}, {"Klot (2)", "Klock (2)", "Kling (2)"}},
        {{"Ann (2)", "Ann", "Ann"}, {"Ann (2)", "Ann", "Ann (3)"}},
        {{"ann", "Ann"}, {"ann", "Ann"}},
        {{"A+B", "A+B"}, {"A+B", "A+B (2)"}},
        {{"", ""}, {"", ""}},
    };
    for (const Case& c : cases) {
        Harness h;
        for (qsizetype i = 0; i < c.asked.size(); ++i) {
            const int seat = h.connect();
            h.login(seat, c.asked[i]);
            const QByteArray announced = cmd::newplayerinfo_(seat, c.given[i]);
            EXPECT_TRUE(h.got(seat).contains(announced)) << announced.constData();
            EXPECT_TRUE(h.got(1).contains(announced)) << announced.constData();
            EXPECT_EQ(h.server.seats()[seat].name, c.given[i]);
        }
    }
}

TEST(Login, AFreedNameCanBeTakenAgain) {
    Harness h;
    h.connect();
    h.login(1, "Ann");
    h.connect();
    h.login(2, "Ann");
    EXPECT_EQ(h.server.seats()[2].name, "Ann (2)");
    h.server.connectionClosed(1);
    EXPECT_EQ(h.connect(), 1);
    h.login(1, "Ann");
    EXPECT_EQ(h.server.seats()[1].name, "Ann");
}

// A guest who logged in as "Ann" wins: the winner message names the guest's
// unique name, so the real Ann's client does not take the win for its own.
TEST(Login, AGuestNamedLikeAPlayerWinsUnderItsOwnName) {
    Harness h;
    h.connect();
    h.login(1, "Ann");
    h.connect();
    h.login(2, "Ann");
    h.startGame();
    h.send(1, cmd::endturn_(1, "p"));
    h.endPause();
    h.server.game().board().cell(2, 2) = Cell{2, 0};
    h.server.game().board().cell(3, 4) = Cell{2, 0};
    h.server.game().board().cell(4, 6) = Cell{2, 0};
    h.clearLogs();
    h.send(2, cmd::endturn_(2, "p"));
    EXPECT_EQ(h.got(1).last(), "CMD_winner+Ann (2)+");
}

// One login per connection: a second one, whatever it names, changes
// nothing and is answered with nothing.
TEST(Login, ASecondLoginIsIgnored) {
    Harness h;
    h.seatPlayers(2);
    for (const QByteArray& again :
         {cmd::logininfo_(2, cmd::version, "A"), cmd::logininfo_(2, cmd::version, "Bee"),
          cmd::logininfo_(2, "0.0.1", "B")}) {
        h.send(2, again);
        EXPECT_TRUE(h.nothingSent()) << again.constData();
    }
    EXPECT_EQ(h.server.seats()[2].name, "B");
}

// Before its login is handled a connection is heard only for the login:
// no chat, no action that looks like a system line, no turn of its seat.
TEST(Login, EverythingButTheLoginIsIgnoredUntilTheLogin) {
    Harness h;
    h.seatPlayers(1);
    ASSERT_EQ(h.connect(), 2);
    h.send(1, cmd::startgame_("A", "0"));
    h.send(1, cmd::endturn_(1, "p"));
    h.endPause(); // seat 2's turn: a connection holds it, not yet logged in
    ASSERT_EQ(h.server.currentSeat(), 2);
    h.clearLogs();
    h.pips({3, 4, 5, 1});
    const QByteArray before[] = {
        cmd::chat_(2, "hi", "clBlack"), cmd::action_(2, "Server: you won", "clBlue"),
        cmd::playasound_(2, 3),         cmd::rollthedice_(2),
        cmd::placechip_(2, 7, 0, 1),    cmd::endturn_(2, "p"),
        cmd::justwatch_(2, 1),          cmd::justwatch_(2, 2),
        cmd::startgame_("B", "0"),      cmd::kickhim_(2, 1),
    };
    for (const QByteArray& message : before) {
        h.send(2, message);
        EXPECT_TRUE(h.nothingSent()) << message.constData();
    }
    EXPECT_FALSE(h.server.game().dice().available(0));
    EXPECT_TRUE(h.server.turnOpen());

    // Once logged in, the same requests are heard; a request sent right
    // behind the login, in the same read, counts.
    h.server.feed(2, cmd::frame(cmd::logininfo_(2, cmd::version, "B")) +
                         cmd::frame(cmd::rollthedice_(2)));
    h.dispatch();
    EXPECT_TRUE(h.got(1).last().startsWith("CMD_rolldice+2+t+"));
}

// The login timeout counts only a waiting login for the connection's own
// seat: one naming another seat, sent again and again while the queue is
// long, no longer holds the seat.
TEST(Login, OnlyALoginForTheOwnSeatHoldsTheSeatPastTheTimeout) {
    Harness h;
    h.seatPlayers(1);
    ASSERT_EQ(h.connect(), 2);
    h.server.feed(2, cmd::frame(cmd::logininfo_(3, cmd::version, "Squatter")));
    h.server.logintimerTimer(2);
    EXPECT_FALSE(h.server.seats().inUse(2));
    EXPECT_TRUE(h.logs[2]->closed);

    ASSERT_EQ(h.connect(), 2);
    h.server.feed(2, cmd::frame(cmd::logininfo_(2, cmd::version, "B")));
    h.server.logintimerTimer(2);
    EXPECT_TRUE(h.server.seats().inUse(2));
    EXPECT_TRUE(h.server.logintimer(2).isActive());
}
