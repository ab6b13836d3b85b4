#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class RouterClient;

// The worker-thread side of PortMapper: loads the router module on first use
// and makes its blocking calls. Lives on PortMapper's worker thread; its slots
// are reached by queued calls only, and its answers go back as signals.
class PortMapperWorker : public QObject {
    Q_OBJECT
public:
    explicit PortMapperWorker(QStringList modulePaths);
    ~PortMapperWorker() override;

    void open(quint64 serial, quint16 port, quint32 leaseSeconds, int budgetMs);
    // Removes the forwarding made by the open() numbered `serial`, unless a
    // later open() has made the one in place; says closed() either way.
    void close(quint64 serial, int budgetMs, bool announce);

    // Why the module could not be loaded, or empty.
    QString loadError() const { return m_error; }

signals:
    // outcome and method are RouterClient's values; the texts are untrusted.
    void answered(quint64 serial, int outcome, int method, const QString& address,
                  const QString& detail);
    void closed(bool announce, bool confirmed);

private:
    bool load();

    QStringList m_paths;
    bool m_tried = false;
    QString m_error;
    std::unique_ptr<RouterClient> m_client;
    // The open() whose forwarding is in place, or 0.
    quint64 m_openSerial = 0;
    quint16 m_openPort = 0;
};
