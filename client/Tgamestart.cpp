#include "client/Tgamestart.h"

#include "client/ClientState.h"
#include "client/EViewError.h"
#include "client/HostSender.h"
#include "client/ImageList.h"
#include "client/Picture.h"
#include "client/SettingsStore.h"
#include "client/TableModel.h"
#include "protocol/Commands.h"
#include "protocol/Cp1252.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

Tgamestart::Tgamestart(const ClientState& state, const TableModel& model, HostSender& host,
                       SettingsStore& settings, QWidget* parent, const DeferredPixmap& background)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_state(state), m_model(model), m_host(host), m_settings(settings), m_background(background) {
    setObjectName("Tgamestart");
    setWindowTitle("Climora - Game Start");
    setFixedSize(257, 154);
    setModal(false);

    auto* title = new QLabel("Game Option", this);
    title->setObjectName("label_title");
    title->setGeometry(0, 4, 257, 24);
    title->setAlignment(Qt::AlignCenter);
    QFont titleFont = title->font();
    titleFont.setPixelSize(17);
    titleFont.setBold(true);
    titleFont.setUnderline(true);
    title->setFont(titleFont);

    m_box = new Picture(this, "box_useall", QRect(18, 54, 32, 19));
    m_box->setCursor(Qt::PointingHandCursor);
    changebox("box_useall", 0);
    connect(m_box, &Picture::clicked, this, &Tgamestart::box_useallClick);

    auto* text = new QLabel("Play All Markers Before Ending Turn", this);
    text->setObjectName("label_useall");
    text->setGeometry(60, 40, 186, 46);
    text->setWordWrap(true);
    QFont textFont = text->font();
    textFont.setPixelSize(16);
    textFont.setBold(true);
    text->setFont(textFont);

    m_computer = new QLabel(this);
    m_computer->setObjectName("label_computer");
    m_computer->setGeometry(0, 88, 257, 18);
    m_computer->setAlignment(Qt::AlignCenter);
    m_computer->setTextFormat(Qt::PlainText);
    showComputerLevel(BotLevel::Classic);

    auto* start = new Picture(this, "button_start", QRect(66, 110, 124, 28));
    start->setPicture(ImageList::deferred("startbutton"));
    start->setCursor(Qt::PointingHandCursor);
    connect(start, &Picture::clicked, this, &Tgamestart::button_startClick);
}

void Tgamestart::changebox(const QString& name, int value) {
    // The dialog's one switch.
    if (name != m_box->objectName())
        throw EViewError::missingControl(name);
    m_useAll = value;
    m_box->draw(ImageList::box(), value);
}

void Tgamestart::showComputerLevel(BotLevel level) {
    const std::string_view title = botlevel::title(level);
    m_computer->setText("Computer Player: " +
                        QString::fromLatin1(title.data(), qsizetype(title.size())));
}

int Tgamestart::optionValue() const {
    return m_useAll;
}

void Tgamestart::box_useallClick() {
    changebox("box_useall", optionValue() == 0 ? 1 : 0);
}

void Tgamestart::button_startClick() {
    // The starter's name as the server knows it, as every other name shown.
    const QString own = m_model.ownName();
    const QString name = own.isEmpty() ? m_state.playerName : own;
    m_host.send(cmd::startgame_(cp1252::fromUnicode(name), QByteArray::number(optionValue())));
    hide();
    m_settings.saveSettings();
}

void Tgamestart::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        button_startClick();
        break;
    case Qt::Key_Space:
        box_useallClick();
        break;
    default:
        QDialog::keyPressEvent(event); // Escape closes
        return;
    }
    event->accept();
}

void Tgamestart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_background.isNull())
        painter.drawPixmap(0, 0, m_background.get());
}

void Tgamestart::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget())
        move(owner->frameGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void Tgamestart::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // The keyboard goes back to the game (the main window) at once.
    if (QWidget* owner = parentWidget(); owner && owner->isVisible())
        owner->activateWindow();
}
