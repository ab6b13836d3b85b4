// Playing with others on the main window: the File menu's "Play with
// Others..." and "Copy Join Address", the watch over a joining copy's
// connection, what a copy hosting by name tells, and the restart into a new
// role.
#include "app/HostingNotice.h"
#include "app/OthersController.h"
#include "app/Tchat.h"
#include "client/ClientConnection.h"
#include "client/ConnectionWatch.h"
#include "game/Seats.h"
#include "net/TSock.h"
#include "protocol/Commands.h"
#include "server/TServer.h"
#include "ui/Prompter.h"

#include <QAction>

void Tchat::buildOthers() {
    m_others = new OthersController(*this, m_prompter);
    m_hostingNotice = new HostingNotice(*this, *m_others);
    m_others->setNetworkServices(m_networkServices);
    m_watch = new ConnectionWatch(*m_sock, m_state, this);
    // The host refusing this client as the game is full closes the
    // connection; the client's own handling of that says why.
    m_watch->setCloseExpected([this] {
        if (m_refusedAsFull)
            return true;
        for (const QByteArray& message : m_connection->receivedlist())
            if (message.startsWith(cmd::full))
                return true;
        return false;
    });
    connect(m_watch, &ConnectionWatch::joinFailed, m_others, &OthersController::joinFailed);
    connect(m_watch, &ConnectionWatch::connectionEnded, m_others,
            &OthersController::connectionEnded);
    connect(action("PlayWithOthers1"), &QAction::triggered, this, &Tchat::openPlayWithOthers);
    connect(action("CopyJoinAddress1"), &QAction::triggered, m_hostingNotice,
            &HostingNotice::copyJoinAddress);
}

void Tchat::setNetworkServices(bool on) {
    m_networkServices = on;
    m_others->setNetworkServices(on);
}

void Tchat::openPlayWithOthers() {
    m_others->openWindow();
}

void Tchat::hostingByNameStarted() {
    m_hostingNotice->setNetworkServices(m_networkServices);
    if (!m_windows.server)
        return;
    const TSock& listener = m_windows.server->Sock1();
    m_hostingNotice->start(m_state.playerName, listener.localPort(), LocalAddresses::current(),
                           listener.acceptsIpv6());
    seatsChanged();
}

void Tchat::seatsChanged() {
    if (!m_hostingNotice->isHosting() || !m_windows.server)
        return;
    int seated = 0;
    for (int seat = 1; seat <= seats::playing; ++seat)
        seated += m_windows.server->seats().inUse(seat) ? 1 : 0;
    m_hostingNotice->setSeatedPlayers(seated);
}

void Tchat::requestRestart(const QStringList& arguments) {
    m_restartRequested = true;
    m_restartArguments = arguments;
    close();
}
