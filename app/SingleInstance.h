#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QWidget;

// One running copy per user. The first copy listens on a local socket named
// "enavro" in the user's runtime folder; a second copy finds it, asks the
// first to come forward and ends without showing anything.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // folder: where the guard lives; empty means the user's runtime folder.
    explicit SingleInstance(const QString& folder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this copy now holds the guard. False when another copy runs;
    // that copy has then been asked to come forward.
    bool acquire();
    // The window brought forward when a second copy knocks.
    void setWindow(QWidget* window) { m_window = window; }
    QString guardPath() const { return m_path; }

    static QString runtimeFolder();

signals:
    void knocked();

private:
    void bringForward();

    QString m_path;
    QLocalServer* m_server = nullptr;
    QWidget* m_window = nullptr;
};
