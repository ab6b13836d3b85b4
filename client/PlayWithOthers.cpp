#include "client/PlayWithOthers.h"

#include "client/JoinAddress.h"
#include "client/PlayerName.h"
#include "net/DiscoveredText.h"
#include "ui/NamedControls.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char* const gamesLooking = "Games on this network:";
const char* const gamesNone = "Games on this network: none found yet.";
const char* const gamesUnavailable =
    "Games on this network cannot be found automatically here (no Avahi daemon runs on this "
    "machine). Joining by address below still works.";

} // namespace

PlayWithOthers::PlayWithOthers(QWidget* parent) : QDialog(parent) {
    setObjectName("playwithothers");
    setWindowTitle("Play with Others");
    buildControls();
}

void PlayWithOthers::buildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(namedLabel(this, "label_intro",
                                 "Host a game that others join, or join someone else's game. "
                                 "Either way the game on this screen ends and Climora starts "
                                 "again for the new one."));

    auto* nameRow = new QHBoxLayout;
    m_name = new QLineEdit(this);
    m_name->setObjectName("edit_playername");
    m_name->setMaxLength(PlayerName::maxLength + 8);
    m_name->setPlaceholderText("the name others see");
    auto* nameLabel = namedLabel(this, "label_playername", "Your &name:");
    nameLabel->setTextFormat(Qt::AutoText);
    nameLabel->setBuddy(m_name);
    nameLabel->setWordWrap(false);
    m_host = namedButton(this, "button_host", "&Host a Game");
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(m_name, 1);
    nameRow->addWidget(m_host);
    layout->addLayout(nameRow);
    layout->addWidget(namedLabel(this, "label_hostnote",
                                 "Others on this network find your game in their list; others "
                                 "join with your address on port 7772, which Climora asks your "
                                 "router to open."));
    m_hosting = namedLabel(this, "label_hosting", QString());
    m_hosting->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_hosting->setStyleSheet("font-weight: bold;");
    m_hosting->hide();
    layout->addWidget(m_hosting);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    m_gamesLabel = namedLabel(this, "label_games", gamesNone);
    layout->addWidget(m_gamesLabel);
    m_games = new QListWidget(this);
    m_games->setObjectName("list_games");
    m_games->setSelectionMode(QAbstractItemView::SingleSelection);
    m_games->setUniformItemSizes(true);
    m_games->setMinimumHeight(120);
    m_gamesLabel->setBuddy(m_games);
    layout->addWidget(m_games, 1);

    auto* addressRow = new QHBoxLayout;
    m_address = new QComboBox(this);
    m_address->setObjectName("edit_address");
    m_address->setEditable(true);
    m_address->setInsertPolicy(QComboBox::NoInsert);
    m_address->setMaxCount(8);
    m_address->lineEdit()->setMaxLength(JoinAddress::maxLength + 8);
    m_address->lineEdit()->setPlaceholderText("host name or IP address");
    m_address->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* addressLabel = namedLabel(this, "label_address", "Host's &address:");
    addressLabel->setTextFormat(Qt::AutoText);
    addressLabel->setWordWrap(false);
    addressLabel->setBuddy(m_address);
    m_join = namedButton(this, "button_join", "&Join");
    addressRow->addWidget(addressLabel);
    addressRow->addWidget(m_address, 1);
    addressRow->addWidget(m_join);
    layout->addLayout(addressRow);

    m_problem = namedLabel(this, "label_problem", QString());
    m_problem->setStyleSheet("color: #b00000;");
    m_problem->hide();
    layout->addWidget(m_problem);
    // Takes the height the list would take while there is no list.
    layout->addStretch(0);
    m_layout = layout;

    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    m_close = namedButton(this, "button_close", "Close");
    closeRow->addWidget(m_close);
    layout->addLayout(closeRow);

    setTabOrder(m_name, m_host);
    setTabOrder(m_host, m_games);
    setTabOrder(m_games, m_address);
    setTabOrder(m_address, m_join);
    setTabOrder(m_join, m_close);

    connect(m_host, &QPushButton::clicked, this, &PlayWithOthers::hostClicked);
    connect(m_name, &QLineEdit::returnPressed, this, &PlayWithOthers::hostClicked);
    connect(m_join, &QPushButton::clicked, this, &PlayWithOthers::joinClicked);
    connect(m_address->lineEdit(), &QLineEdit::returnPressed, this, &PlayWithOthers::joinClicked);
    connect(m_games, &QListWidget::itemActivated, this, &PlayWithOthers::gameActivated);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
    setMinimumWidth(480);
}

void PlayWithOthers::setPlayerName(const QString& name) {
    m_name->setText(name);
}

QString PlayWithOthers::playerName() const {
    return PlayerName::cleaned(m_name->text());
}

void PlayWithOthers::setRecentHosts(const QStringList& hosts) {
    const QString typed = m_address->currentText();
    m_address->clear();
    m_address->addItems(hosts);
    m_address->setEditText(typed.isEmpty() ? hosts.value(0) : typed);
}

QStringList PlayWithOthers::recentHosts() const {
    QStringList hosts;
    for (int i = 0; i < m_address->count(); ++i)
        hosts << m_address->itemText(i);
    return hosts;
}

void PlayWithOthers::showGames(const QList<Game>& games) {
    // The selection follows its game when the list is renewed.
    const QString selected =
        m_games->currentItem()
            ? m_games->currentItem()->data(Qt::UserRole).toString() + m_games->currentItem()->text()
            : QString();
    m_games->clear();
    for (const Game& game : games.mid(0, maxGames)) {
        const QString name = plain(game.name, maxShownName);
        const QString host = plain(game.host, maxShownHost);
        QString text = name.isEmpty() ? QString("(no name)") : name;
        if (game.players == 1)
            text += "  -  1 player";
        else if (game.players >= 0 && game.players <= 9)
            text += QString("  -  %1 players").arg(game.players);
        text += "  -  " + host;
        auto* item = new QListWidgetItem(text, m_games);
        item->setData(Qt::UserRole, game.host.left(JoinAddress::maxLength + 1));
        item->setToolTip(host);
        if (!selected.isEmpty() && item->data(Qt::UserRole).toString() + text == selected)
            m_games->setCurrentItem(item);
    }
    updateGamesLabel();
}

void PlayWithOthers::setDiscovery(Discovery discovery) {
    m_discovery = discovery;
    // Without discovery the list would only ever be empty: the label says
    // why, and the address field is what is left.
    if (discovery == Discovery::Unavailable)
        m_games->clear();
    m_games->setVisible(discovery != Discovery::Unavailable);
    m_layout->setStretch(m_layout->count() - 2, discovery == Discovery::Unavailable ? 1 : 0);
    updateGamesLabel();
    fitHeight();
}

void PlayWithOthers::updateGamesLabel() {
    if (m_discovery == Discovery::Unavailable)
        m_gamesLabel->setText(gamesUnavailable);
    else
        m_gamesLabel->setText(m_games->count() > 0 ? gamesLooking : gamesNone);
}

void PlayWithOthers::setHostingAddresses(const QStringList& addresses) {
    if (addresses.isEmpty()) {
        m_hosting->hide();
        return;
    }
    QStringList shown;
    for (const QString& address : addresses)
        shown << plain(address, maxShownHost);
    m_hosting->setText("You are hosting. Others can join at " + shown.join(", ") + ".");
    m_hosting->show();
    fitHeight();
}

void PlayWithOthers::fitHeight() {
    // The wrapped labels' height depends on the width, which stays.
    m_layout->invalidate();
    m_layout->activate();
    const int width = isVisible() ? qMax(this->width(), minimumWidth()) : minimumWidth();
    const int height = hasHeightForWidth() ? heightForWidth(width) : sizeHint().height();
    resize(width, qMax(height, minimumSizeHint().height()));
}

void PlayWithOthers::keyPressEvent(QKeyEvent* event) {
    // Enter belongs to the field, list or button that has the focus, which
    // has acted on it already; a dialog would also click its default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QString PlayWithOthers::checkedName() {
    const QString problem = PlayerName::problem(m_name->text());
    if (!problem.isEmpty()) {
        showProblem(problem, m_name);
        return {};
    }
    return PlayerName::cleaned(m_name->text());
}

void PlayWithOthers::hostClicked() {
    const QString name = checkedName();
    if (name.isEmpty())
        return;
    m_problem->hide();
    emit hostRequested(name);
}

void PlayWithOthers::joinClicked() {
    join(m_address->currentText(), m_address);
}

void PlayWithOthers::gameActivated(QListWidgetItem* item) {
    if (item)
        join(item->data(Qt::UserRole).toString(), m_games);
}

void PlayWithOthers::join(const QString& text, QWidget* fieldAtFault) {
    const QString name = checkedName();
    if (name.isEmpty())
        return;
    const JoinAddress address = JoinAddress::parse(text);
    if (!address.isValid()) {
        showProblem(address.problem(), fieldAtFault);
        return;
    }
    m_problem->hide();
    emit joinRequested(name, address.host());
}

void PlayWithOthers::showProblem(const QString& text, QWidget* fieldAtFault) {
    m_problem->setText(text);
    m_problem->show();
    if (fieldAtFault)
        fieldAtFault->setFocus();
}

QString PlayWithOthers::plain(const QString& untrusted, int limit) {
    // Looked at only as far as could be shown, so a huge text costs little.
    QString text = untrusted.left(limit * 4);
    for (QChar& c : text)
        if (DiscoveredText::isHidden(c))
            c = QChar(' ');
    text = text.simplified();
    if (text.size() > limit) {
        text.truncate(limit - 1);
        if (text.back().isHighSurrogate())
            text.chop(1);
        text += QChar(0x2026);
    }
    return text;
}

void PlayWithOthers::focusFirstEmpty() {
    if (playerName().isEmpty())
        m_name->setFocus();
    else
        m_address->setFocus();
}
