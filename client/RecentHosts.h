#pragma once

#include <QStringList>

// The hosts this player joined last, most recent first: at most five, each
// once (host names compare without regard to letter case), every one a
// valid join address. The settings file keeps them; what it holds is
// untrusted and cleaned on reading.
class RecentHosts {
public:
    static constexpr int capacity = 5;

    RecentHosts() = default;
    // Keeps the valid entries of a stored list, in order, without repeats.
    static RecentHosts fromStored(const QStringList& stored);

    // Puts the host first; an earlier mention of it goes, and the oldest
    // falls off beyond five.
    void remember(const QString& host);
    const QStringList& hosts() const { return m_hosts; }

private:
    QStringList m_hosts;
};
