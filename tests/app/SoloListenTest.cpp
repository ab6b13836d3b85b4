#include "AppFixture.h"

#include "net/TSock.h"
#include "server/TServer.h"

// A solo game's server listens on 127.0.0.1 only: nobody from the network
// can take seat 2 from the computer player. Hosting by name listens on every
// address, so that the players the lobby sends can join.
TEST_F(AppFixture, ASoloGameListensOnLoopbackOnlyAndHostingOnEveryAddress) {
    Program& solo = start({});
    ASSERT_TRUE(waitUntil([&] { return solo.chat().state().loggedIn; }));
    EXPECT_EQ(solo.windows().server->Sock1().localAddress(), "127.0.0.1");
    program.reset();

    Program& hosting = start({"Ann", "127.0.0.1", "true"});
    ASSERT_TRUE(waitUntil([&] { return hosting.chat().state().loggedIn; }));
    EXPECT_EQ(hosting.windows().server->Sock1().localAddress(), "0.0.0.0");
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}
