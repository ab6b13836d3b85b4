#include "social/Spectators.h"

#include "client/ClientState.h"
#include "client/HostSender.h"
#include "client/MainWindowActions.h"
#include "client/SeatNames.h"
#include "client/SystemLineWriter.h"
#include "client/TableModel.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "social/Tspylist.h"

#include <QAction>
#include <QMenu>

namespace {
constexpr int watch = 1;
constexpr int playAgain = 2;
} // namespace

Spectators::Spectators(const ClientState& state, HostSender& host, SystemLineWriter& lines,
                       MainWindowActions& window, TableModel& model, QObject* parent)
    : QObject(parent), m_state(state), m_host(host), m_lines(lines), m_window(window),
      m_model(model) {
    m_seatMenu = new QMenu;
    m_seatMenu->setObjectName("popup_kick");
    m_remove = m_seatMenu->addAction("Remove From Game");
    m_remove->setObjectName("RemoveFromGame1");
    m_setWatch = m_seatMenu->addAction("Set to Just Watch");
    m_setWatch->setObjectName("SettoJustWatch1");
    m_unsetWatch = m_seatMenu->addAction("Unset Just Watch");
    m_unsetWatch->setObjectName("UnsetJustWatch1");
    connect(m_remove, &QAction::triggered, this, &Spectators::RemoveFromGame1Click);
    connect(m_setWatch, &QAction::triggered, this, &Spectators::SettoJustWatch1Click);
    connect(m_unsetWatch, &QAction::triggered, this, &Spectators::UnsetJustWatch1Click);
    connect(&m_model, &TableModel::seatChanged, this, [this](int seat) {
        if (!seats::isPlaying(seat))
            followSpectator(seat);
    });
}

Spectators::~Spectators() {
    delete m_seatMenu;
}

void Spectators::JustWatch1Click() {
    const int own = m_model.ownSeat();
    if (!m_state.loggedIn || !seats::isPlaying(own))
        return;
    const bool ticked = m_justWatch && m_justWatch->isChecked();
    sendJustWatch(own, ticked ? playAgain : watch);
}

void Spectators::openSeatMenu(int seat, bool onName, const QPoint& globalPos) {
    const bool host = m_state.host;
    m_remove->setEnabled(host);
    m_setWatch->setEnabled(host);
    m_unsetWatch->setEnabled(host);
    if (onName && m_model.seatName(seat) == QLatin1String(seats::waiting))
        m_remove->setEnabled(false);
    m_menuSeat = seats::isPlaying(seat) ? seat : 0;
    m_seatMenu->popup(globalPos);
}

void Spectators::RemoveFromGame1Click() {
    kicking(m_menuSeat);
}

void Spectators::SettoJustWatch1Click() {
    if (m_state.loggedIn && seats::isPlaying(m_menuSeat))
        sendJustWatch(m_menuSeat, watch);
}

void Spectators::UnsetJustWatch1Click() {
    if (m_state.loggedIn && seats::isPlaying(m_menuSeat))
        sendJustWatch(m_menuSeat, playAgain);
}

void Spectators::kicking(int seat) {
    const ClientState& state = m_state;
    if (state.host && state.loggedIn)
        m_host.send(cmd::kickhim_(m_model.ownSeat(), seat));
}

void Spectators::justwatching(const QByteArray& args) {
    const msg::WatchFlag mark = msg::readWatchFlag(args);
    if (!seats::isPlaying(mark.seat))
        return;
    const bool watching = mark.flag == "1";
    if (mark.seat == m_model.ownSeat())
        m_window.setJustWatchTicked(watching);
    m_lines.systemLine(
        m_model.seatName(mark.seat) +
        (watching ? QStringLiteral(" is just watching") : QStringLiteral(" is now playing again")));
    m_model.setWatching(mark.seat, watching);
}

void Spectators::SpyList1Click() {
    if (!m_spylist)
        return;
    m_spylist->show();
    m_spylist->raise();
    m_spylist->activateWindow();
}

void Spectators::attachSpyList(Tspylist* spylist) {
    m_spylist = spylist;
    if (!spylist)
        return;
    for (const QString& entry : std::as_const(m_entries))
        spylist->addSpy(entry);
    spylist->setRemoveEnabled(m_state.host);
    // Hosting may start after the window exists: the item follows it.
    connect(spylist->menu(), &QMenu::aboutToShow, this,
            [this, spylist] { spylist->setRemoveEnabled(m_state.host); });
    connect(spylist, &Tspylist::kickRequested, this, &Spectators::kicking);
}

void Spectators::setHosting(bool hosting) {
    if (m_spylist)
        m_spylist->setRemoveEnabled(hosting);
}

void Spectators::followSpectator(int seat) {
    const TableModel::Seat& now = m_model.seat(seat);
    const QString entry = now.present ? QString::number(seat) + ": " + now.name : QString();
    const QString before = m_entries.value(seat);
    if (entry == before)
        return;
    if (!before.isEmpty() && m_spylist)
        m_spylist->removeSpy(before);
    if (entry.isEmpty()) {
        m_entries.remove(seat);
        return;
    }
    m_entries.insert(seat, entry);
    if (m_spylist)
        m_spylist->addSpy(entry);
}

QStringList Spectators::spies() const {
    return m_spylist ? m_spylist->spies() : m_entries.values();
}

void Spectators::bindJustWatch(QAction* justWatch1) {
    m_justWatch = justWatch1;
    if (!justWatch1)
        return;
    justWatch1->setCheckable(true);
    // Qt ticks a checkable item as it is chosen; the tick waits for the host.
    connect(justWatch1, &QAction::triggered, this, [this, justWatch1](bool checked) {
        justWatch1->setChecked(!checked);
        JustWatch1Click();
    });
}

void Spectators::sendJustWatch(int seat, int flag) {
    m_host.send(cmd::justwatch_(seat, flag));
}
