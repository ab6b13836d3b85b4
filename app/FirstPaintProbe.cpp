#include "app/FirstPaintProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>

FirstPaintProbe::FirstPaintProbe(QWidget* window, std::function<void(qint64)> report)
    : QObject(window), m_window(window), m_report(std::move(report)) {
    // Children paint themselves; the application sees every paint event.
    QCoreApplication::instance()->installEventFilter(this);
}

void FirstPaintProbe::watchIfAsked(QWidget* window) {
    if (!qEnvironmentVariableIsSet(variable))
        return;
    const bool quit = qEnvironmentVariable(variable) == QLatin1String("quit");
    new FirstPaintProbe(window, [quit](qint64 ns) {
        std::fprintf(stderr, "first-paint %lld\n", static_cast<long long>(ns));
        std::fflush(stderr);
        if (quit)
            QCoreApplication::quit();
    });
}

qint64 FirstPaintProbe::nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool FirstPaintProbe::eventFilter(QObject* watched, QEvent* event) {
    if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == m_window) {
        m_seen = true;
        QCoreApplication::instance()->removeEventFilter(this);
        // The window and all its children are painted and the picture is
        // handed to the screen within the same pass; report after it.
        QTimer::singleShot(0, this, [this] { m_report(nowNs()); });
    }
    return false;
}
