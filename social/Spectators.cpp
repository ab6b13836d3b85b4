#include "social/Spectators.h"

#include "client/ClientServices.h"
#include "client/Picture.h"
#include "protocol/Commands.h"
#include "protocol/FieldReader.h"
#include "social/SocialArt.h"
#include "social/Tspylist.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QVariant>

namespace {
const QString waiting = QStringLiteral("<Waiting>");
constexpr int watch = 1;
constexpr int playAgain = 2;
} // namespace

Spectators::Spectators(ClientServices& services, QWidget* board, QObject* parent)
    : QObject(parent), m_services(services), m_board(board) {
    m_seatMenu = new QMenu(board);
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
    attachSeatLabels();
}

void Spectators::attachSeatLabels() {
    if (!m_board)
        return;
    for (int seat = 1; seat <= ClientState::playerSeats; ++seat) {
        for (const QString& prefix :
             {QStringLiteral("label_playername"), QStringLiteral("label_score")}) {
            QWidget* label = m_board->findChild<QWidget*>(prefix + QString::number(seat));
            if (!label || label->property("climoraSeatMenu").toBool())
                continue;
            label->setProperty("climoraSeatMenu", true);
            label->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(label, &QWidget::customContextMenuRequested, this,
                    [this, label](const QPoint& pos) {
                        label_playername1ContextPopup(label, label->mapToGlobal(pos));
                    });
        }
        QWidget* eyes = m_board->findChild<QWidget*>("image_eyes" + QString::number(seat));
        if (!eyes || eyes->property("climoraEyes").toBool())
            continue;
        eyes->setProperty("climoraEyes", true);
        if (auto* picture = qobject_cast<Picture*>(eyes); picture && picture->isBlank())
            picture->setPicture(QPixmap(SocialArt::eyes()));
        else if (auto* label = qobject_cast<QLabel*>(eyes); label && label->pixmap().isNull())
            label->setPixmap(QPixmap(SocialArt::eyes()));
        eyes->hide();
    }
}

void Spectators::JustWatch1Click() {
    const ClientState& state = m_services.state();
    if (!state.loggedIn || state.ownSeat < 1 || state.ownSeat > ClientState::playerSeats)
        return;
    const bool ticked = m_justWatch && m_justWatch->isChecked();
    sendJustWatch(state.ownSeat, ticked ? playAgain : watch);
}

void Spectators::label_playername1ContextPopup(QWidget* label, const QPoint& globalPos) {
    const bool host = m_services.state().host;
    m_remove->setEnabled(host);
    m_setWatch->setEnabled(host);
    m_unsetWatch->setEnabled(host);
    if (label->property("text").toString() == waiting)
        m_remove->setEnabled(false);
    // The label's seat is the digit its name ends with.
    const QString name = label->objectName();
    m_menuSeat = name.isEmpty() ? 0 : name.right(1).toInt();
    m_seatMenu->popup(globalPos);
}

void Spectators::RemoveFromGame1Click() {
    kicking(m_menuSeat);
}

void Spectators::SettoJustWatch1Click() {
    if (m_services.state().loggedIn && m_menuSeat >= 1 && m_menuSeat <= ClientState::playerSeats)
        sendJustWatch(m_menuSeat, watch);
}

void Spectators::UnsetJustWatch1Click() {
    if (m_services.state().loggedIn && m_menuSeat >= 1 && m_menuSeat <= ClientState::playerSeats)
        sendJustWatch(m_menuSeat, playAgain);
}

void Spectators::kicking(int seat) {
    const ClientState& state = m_services.state();
    if (state.host && state.loggedIn)
        m_services.send(cmd::kickhim_(state.ownSeat, seat));
}

void Spectators::justwatching(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    const QByteArray flag = reader.rest();
    if (seat < 1 || seat > ClientState::playerSeats)
        return;
    const bool watching = flag == "1";
    if (seat == m_services.state().ownSeat)
        m_services.setJustWatchTicked(watching);
    m_services.systemLine(nameOf(seat) + (watching ? QStringLiteral(" is just watching")
                                                   : QStringLiteral(" is now playing again")));
    if (m_board)
        if (QWidget* eyes = m_board->findChild<QWidget*>("image_eyes" + QString::number(seat)))
            eyes->setVisible(watching);
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
    for (const QString& entry : m_pending)
        spylist->addSpy(entry);
    m_pending.clear();
    spylist->setRemoveEnabled(m_services.state().host);
    // Hosting may start after the window exists: the item follows it.
    connect(spylist->menu(), &QMenu::aboutToShow, this,
            [this, spylist] { spylist->setRemoveEnabled(m_services.state().host); });
    connect(spylist, &Tspylist::kickRequested, this, &Spectators::kicking);
}

void Spectators::setHosting(bool hosting) {
    if (m_spylist)
        m_spylist->setRemoveEnabled(hosting);
}

void Spectators::addSpy(const QString& entry) {
    if (m_spylist)
        m_spylist->addSpy(entry);
    else
        m_pending << entry;
}

bool Spectators::removeSpy(const QString& entry) {
    if (m_spylist)
        return m_spylist->removeSpy(entry);
    return m_pending.removeOne(entry);
}

QStringList Spectators::spies() const {
    return m_spylist ? m_spylist->spies() : m_pending;
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

QString Spectators::nameOf(int seat) const {
    const QWidget* label =
        m_board ? m_board->findChild<QWidget*>("label_playername" + QString::number(seat))
                : nullptr;
    return label ? label->property("text").toString() : QString();
}

void Spectators::sendJustWatch(int seat, int flag) {
    m_services.send(cmd::justwatch_(seat, flag));
}
