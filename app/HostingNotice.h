#pragma once

#include "net/GameAnnouncer.h"
#include "net/LocalAddresses.h"
#include "net/PortMapper.h"

#include <QObject>
#include <QStringList>

#include <memory>

class OthersController;
class Tchat;

// What a copy that hosts by name tells about itself: system lines in the
// chat saying where others can join (this machine's addresses on its
// networks, and the router's public address once the router forwards the
// game's port), the best of them for File > "Copy Join Address", the
// router's forwarding (taken back when hosting ends, by PortMapper's
// destructor) and the game's announcement on the local network, with the
// number of players seated, kept up to date.
//
// The solo game does none of this: it takes no players from the network.
class HostingNotice : public QObject {
    Q_OBJECT
public:
    HostingNotice(Tchat& chat, OthersController& others);
    ~HostingNotice() override;

    // Without them the router is not asked and the game not announced
    // (tests, and runs that must not touch the network).
    void setNetworkServices(bool on) { m_networkServices = on; }

    // Hosting by name as `name` started on `port`: tells where to join, asks
    // the router, announces the game. `addresses` are this machine's
    // addresses (LocalAddresses::current()); the IPv6 ones are told only when
    // the listener takes IPv6 connections.
    void start(const QString& name, int port, const QList<LocalAddresses::Entry>& addresses,
               bool withIpv6);
    bool isHosting() const { return m_hosting; }
    // The number of players seated changed.
    void setSeatedPlayers(int players);
    int seatedPlayers() const { return m_players; }

    // The router's answer: its one line goes into the chat.
    void routerFinished(const PortMapper::Result& result);

    // Every address others can join at: the public one first once known.
    QStringList joinAddresses() const;
    // The public address when the router forwards the port, else the first
    // local one; empty when there is none.
    QString bestAddress() const;
    // Puts bestAddress() on the clipboard and says so in the chat.
    void copyJoinAddress();

    // The system lines about the local addresses (tested on their own).
    static QStringList localLines(const QStringList& joinTexts);

private:
    void updateAddresses();

    Tchat& m_chat;
    OthersController& m_others;
    bool m_networkServices = true;
    bool m_hosting = false;
    int m_port = 0;
    int m_players = 1;
    QStringList m_local;
    QString m_public;
    std::unique_ptr<PortMapper> m_router;
    std::unique_ptr<GameAnnouncer> m_announcer;
};
