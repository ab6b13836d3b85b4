#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Tells when a window has been painted for the first time: the main window
// reads its command line then, and the start-up benchmark times a start
// from exec to the first picture on the screen with it. It watches the
// paint events of the window and its children and, once the first round of
// painting is through, reports the monotonic clock
// (std::chrono::steady_clock, nanoseconds) once. Of several probes, the
// one made last reports first (the application asks its newest event
// filter first).
//
// The benchmark's probe is installed only when the environment variable
// CLIMORA_FIRST_PAINT is set: it then writes "first-paint {ns}" to standard
// error, and with the value "quit" ends the program right after.
class FirstPaintProbe : public QObject {
    Q_OBJECT
public:
    static constexpr char variable[] = "CLIMORA_FIRST_PAINT";

    FirstPaintProbe(QWidget* window, std::function<void(qint64 ns)> report);

    // Installs a probe on the window when the environment asks for one.
    static void watchIfAsked(QWidget* window);
    // The monotonic clock the report uses.
    static qint64 nowNs();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    std::function<void(qint64)> m_report;
    bool m_seen = false;
};
