#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

// A game hosted on this network, as GameBrowser found it. Every text in it
// came from the network: it is plain text (show it as such, never as rich
// text), without control characters, and shortened.
struct FoundGame {
    // The DNS-SD service type and the port every hosting copy announces.
    static constexpr char serviceType[] = "_climora._tcp";
    static constexpr quint16 gamePort = 7772;

    // Stays the same while the game is listed, even when its name shows the
    // same as another's; for views to keep a selection, not for display.
    QString id;
    // The host's player name (or the alternative the network gave it, such
    // as "Ann #2"), at most 40 characters.
    QString name;
    // The DNS-SD host name of the hosting machine, such as "kitchen.local".
    QString hostName;
    // The address to join: IPv4 when there is one, else IPv6; empty while
    // none is known. addresses holds all of them, this one first.
    QString address;
    QStringList addresses;
    quint16 port = 0;
    // Seated players, or -1 when the game did not say (or said nonsense).
    int players = -1;

    bool operator==(const FoundGame& other) const = default;
};

Q_DECLARE_METATYPE(FoundGame)
