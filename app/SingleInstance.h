#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;
class QWidget;

// One running copy per user. The first copy listens on a local (Unix)
// socket named "enavro" in the user's runtime folder; a second copy finds
// it, asks the first to come forward and ends without showing anything.
//
// Plain POSIX sockets watched by a socket notifier, like the game's own
// transport: the guard runs on every start, before any window exists.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // folder: where the guard lives; empty means the user's runtime folder.
    explicit SingleInstance(const QString& folder = {}, QObject* parent = nullptr);
    // Closes the guard and removes its socket file.
    ~SingleInstance() override;

    // True when this copy now holds the guard, or cannot set one up (an odd
    // folder: the program then runs unguarded rather than refuse to start).
    // False when another copy runs; that copy has then been asked to come
    // forward.
    bool acquire();
    // The window brought forward when a second copy knocks.
    void setWindow(QWidget* window) { m_window = window; }
    QString guardPath() const { return m_path; }
    bool isGuarding() const { return m_listener >= 0; }

    static QString runtimeFolder();

signals:
    void knocked();

private:
    bool knockOnRunningCopy() const;
    bool listen();
    void acceptKnocks();
    void bringForward();

    QString m_path;
    int m_listener = -1;
    QSocketNotifier* m_notifier = nullptr;
    QWidget* m_window = nullptr;
};
