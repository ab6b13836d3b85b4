#include "app/HostingNotice.h"

#include "app/OthersController.h"
#include "app/Tchat.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>

HostingNotice::HostingNotice(Tchat& chat, OthersController& others)
    : QObject(&chat), m_chat(chat), m_others(others) {}

HostingNotice::~HostingNotice() = default;

QStringList HostingNotice::localLines(const QStringList& joinTexts) {
    if (joinTexts.isEmpty())
        return {"This computer has no address on a network: only players on this computer can "
                "join, at 127.0.0.1."};
    QStringList lines;
    for (const QString& text : joinTexts)
        // The address follows a colon of its own: the chat takes a line's text up to
        // its first colon as the lead-in, which would split an IPv6 address.
        lines << "Others on your network can join this game at: " + text;
    return lines;
}

void HostingNotice::start(const QString& name, int port,
                          const QList<LocalAddresses::Entry>& addresses, bool withIpv6) {
    m_hosting = true;
    m_port = port;
    m_local.clear();
    for (const LocalAddresses::Entry& entry : LocalAddresses::reachable(addresses, withIpv6))
        m_local << LocalAddresses::joinText(entry, port, PortMapper::gamePort);
    for (const QString& line : localLines(m_local))
        m_chat.systemLine(line);
    updateAddresses();

    if (m_networkServices && port > 0 && port <= 65535) {
        m_router = std::make_unique<PortMapper>();
        connect(m_router.get(), &PortMapper::finished, this, &HostingNotice::routerFinished);
        m_router->open(quint16(port));
        m_announcer = std::make_unique<GameAnnouncer>();
        m_announcer->start(name, m_players);
    }
}

void HostingNotice::setSeatedPlayers(int players) {
    if (players == m_players)
        return;
    m_players = players;
    if (m_announcer)
        m_announcer->setPlayers(players);
}

void HostingNotice::routerFinished(const PortMapper::Result& result) {
    m_chat.systemLine(PortMapper::describe(result));
    if (result.outcome == PortMapper::Outcome::Opened && !result.publicAddress.isEmpty()) {
        m_public = result.publicAddress;
        if (m_port != PortMapper::gamePort)
            m_public += ':' + QString::number(m_port);
    }
    updateAddresses();
}

QStringList HostingNotice::joinAddresses() const {
    QStringList all;
    if (!m_public.isEmpty())
        all << m_public;
    return all + m_local;
}

QString HostingNotice::bestAddress() const {
    return joinAddresses().value(0);
}

void HostingNotice::updateAddresses() {
    m_others.setHostingAddresses(joinAddresses());
    if (QAction* copy = m_chat.action("CopyJoinAddress1"))
        copy->setEnabled(m_hosting && !bestAddress().isEmpty());
}

void HostingNotice::copyJoinAddress() {
    const QString address = bestAddress();
    if (address.isEmpty())
        return;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(address);
    m_chat.systemLine("The join address " + address + " is on the clipboard.");
}
