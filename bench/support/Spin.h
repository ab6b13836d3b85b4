#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <functional>

// Runs the event loop until the condition holds or the time is up; whether
// it held. The loop waits at most sliceMs for an event between checks.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs, int sliceMs = 5) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                        sliceMs);
    }
    return true;
}
