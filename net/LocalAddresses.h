#pragma once

#include <QList>
#include <QString>

// The addresses of this machine on its networks, for telling other players
// where to join a game hosted here.
class LocalAddresses {
public:
    struct Entry {
        QString address; // dotted IPv4, or IPv6 with "%interface" when link-local
        bool ipv6 = false;
        bool loopback = false;
        bool linkLocal = false; // 169.254.0.0/16 or fe80::/10
    };

    // Every address of every interface that is up, as the system lists them.
    static QList<Entry> current();

    // The ones others can use: never loopback; link-local ones only when
    // there is nothing else; IPv6 ones only when asked for (a listener that
    // takes IPv4 only cannot be reached on them). IPv4 first, each once, in
    // the system's order otherwise.
    static QList<Entry> reachable(const QList<Entry>& all, bool withIpv6);

    // The text to type in to join: the address, with ":port" when the game
    // does not run on the usual port (an IPv6 address then in brackets).
    static QString joinText(const Entry& entry, int port, int usualPort = 7772);
};
