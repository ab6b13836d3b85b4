#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <sys/types.h>

// Starts a window program for a measurement the way a person's desktop
// would, but alone: its own XDG_RUNTIME_DIR and HOME (the game keeps one
// copy per user, guarded by a socket there), and, when this process may,
// its own network namespace with only loopback up, so that the game's port
// 7772 is free whatever else runs. The child notes the monotonic clock right
// before exec; a program started with CLIMORA_FIRST_PAINT reports its first
// paint on standard error, on the same clock.
class Launcher {
public:
    struct Plan {
        QString program;
        QStringList arguments;
        QString platform = "offscreen"; // QT_QPA_PLATFORM
        QString display;                // DISPLAY, for "xcb"
        QString firstPaint = "1";       // CLIMORA_FIRST_PAINT: "1", "quit" or empty for none
        bool ownNetwork = true;
        QString workDir; // empty: a fresh temporary folder
    };

    Launcher() = default;
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;
    ~Launcher();

    bool start(const Plan& plan, QString* error = nullptr);
    pid_t pid() const { return m_pid; }
    // The monotonic clock (steady_clock, ns) right before exec.
    qint64 execNs() const { return m_execNs; }
    // Whether the child got a network namespace of its own.
    bool ownNetwork() const { return m_ownNetwork; }
    // Waits for the "first-paint {ns}" line; its clock value, or nothing.
    std::optional<qint64> waitFirstPaint(int timeoutMs);
    // Reads what the child wrote (standard output and error) so far.
    QByteArray output();
    // Waits for the child to end; false on time-out.
    bool waitExit(int timeoutMs, int* status = nullptr);
    // Ends the child (SIGTERM, then SIGKILL) and reaps it.
    void stop();

    // "first-paint 123" anywhere in the text: 123.
    static std::optional<qint64> firstPaintIn(const QByteArray& text);

    // Moves this process into a network namespace of its own with only
    // loopback up (as root), so that it and the children it starts with
    // ownNetwork off share a private port 7772. Call it before any thread
    // is started; false when that failed (not root).
    static bool enterOwnNetwork();

private:
    void readAvailable(int timeoutMs);

    pid_t m_pid = -1;
    qint64 m_execNs = 0;
    bool m_ownNetwork = false;
    bool m_reaped = false;
    int m_output = -1;
    QByteArray m_text;
    QString m_tempDir;
};

// An X server of its own (Xvfb) on a free display number, for "xcb" runs.
class VirtualDisplay {
public:
    ~VirtualDisplay();
    bool start(QString* error = nullptr);
    void stop();
    QString display() const { return m_display; }

private:
    pid_t m_pid = -1;
    QString m_display;
};
