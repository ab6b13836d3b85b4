#pragma once

#include <QString>
#include <QStringList>

class DnssdBackend;

// The DNS-SD module (climora-dnssd.so, the code on the Avahi client
// library), loaded when a game is first announced or looked for: a solo
// start or a joining client never loads the library and its D-Bus client.
//
// The module is looked for beside the program and in the installed library
// folder. Without it (or without the library it needs) there is no backend:
// games are neither announced nor found, and nothing fails. A failed load is
// not tried again.
class DnssdModule {
public:
    // candidates: the module's paths, tried in order.
    explicit DnssdModule(QStringList candidates = defaultPaths());
    // A backend already at hand instead of the module (tests).
    explicit DnssdModule(DnssdBackend& backend);

    // The one the program's announcer and browser share.
    static DnssdModule& shared();

    // Loads the module on the first call; nullptr when it cannot be loaded.
    DnssdBackend* backend();
    bool isLoaded() const { return m_backend != nullptr; }
    // Why the load failed, or empty.
    QString loadError() const { return m_error; }

    // Beside the program, then the installed place relative to it.
    static QStringList defaultPaths();

private:
    QStringList m_candidates;
    bool m_tried = false;
    QString m_error;
    DnssdBackend* m_backend = nullptr;
};
