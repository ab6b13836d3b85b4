// The whole program's tests run inside its own application object, so that
// errors escaping a handler take the same road as in the program.
#include "app/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The turn alerts of the games played here must not reach the desktop
    // of whoever runs the tests; the notification tests bring their own bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/climora-test-bus");
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
