#include "social/ChatComposer.h"

#include "client/ClientState.h"
#include "client/HostSender.h"
#include "client/TableModel.h"
#include "protocol/Commands.h"
#include "protocol/Cp1252.h"
#include "social/ChatInput.h"
#include "social/ChatterSounds.h"
#include "social/ColourText.h"
#include "social/SocialArt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QToolTip>

#include <array>
#include <chrono>

namespace {

constexpr std::array<const char*, ChatComposer::phraseCount> defaultPhrases{
    "Way To Go!", "Good One!", "Nice Try!",         "Excellent!",          "Brilliant!",
    "Wow, WTG!",  "Thanks!",   "Way To Go Teamie!", "Good Game Everyone!",
};

// The places on the board panel: ten buttons from 488 to 754 above the chat,
// the input line under it and the smiley button at its right end.
constexpr int buttonsLeft = 488;
constexpr int buttonsRight = 754;
constexpr int buttonsTop = 162;
constexpr int buttonWidth = 26;
constexpr int buttonHeight = 20;
constexpr QRect inputPlace{488, 500, 239, 21};
constexpr QRect smiliesPlace{729, 502, 24, 19};

qint64 steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QToolButton* pictureButton(QWidget* board, const QString& name, const QString& picture,
                           const QString& hint, const QRect& place) {
    auto* button = new QToolButton(board);
    button->setObjectName(name);
    button->setIcon(QIcon(picture));
    button->setIconSize(QSize(20, 14));
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(place);
    return button;
}

} // namespace

ChatComposer::ChatComposer(const ClientState& state, const TableModel& model, HostSender& host,
                           QWidget* board)
    : QObject(board), m_state(state), m_model(model), m_host(host), m_now(steadyMs) {
    setObjectName("chatcomposer");

    m_input = new ChatInput(board);
    m_input->setObjectName("mychat");
    m_input->setGeometry(inputPlace);
    QFont font("Arial");
    font.setPixelSize(13);
    m_input->setFont(font);
    m_input->setText(placeholder);
    m_input->setAccessibleName("Chat message");
    m_input->setAccessibleDescription("Enter sends the message; Escape gives the keys back to "
                                      "the game.");
    applyColour();
    connect(m_input, &ChatInput::keyDown, this, &ChatComposer::mychatKeyDown);
    connect(m_input, &ChatInput::enterPressed, this, &ChatComposer::sendit);
    connect(m_input, &ChatInput::pasteRequested, this, &ChatComposer::Paste1Click);

    m_inputMenu = new QMenu(board);
    m_inputMenu->setObjectName("popup_mychat");
    QAction* paste = m_inputMenu->addAction("Paste");
    paste->setObjectName("Paste1");
    paste->setShortcut(QKeySequence("Ctrl+V"));
    connect(paste, &QAction::triggered, this, &ChatComposer::Paste1Click);
    m_input->setContextMenu(m_inputMenu);

    const double step = double(buttonsRight - buttonsLeft - buttonWidth) / phraseCount;
    auto place = [&](int i) {
        return QRect(buttonsLeft + int(i * step + 0.5), buttonsTop, buttonWidth, buttonHeight);
    };
    for (int n = 1; n <= phraseCount; ++n) {
        QToolButton* button =
            pictureButton(board, QString("b_phrase%1").arg(n), SocialArt::phrase(n),
                          QString::fromLatin1(defaultPhrases[size_t(n - 1)]), place(n - 1));
        connect(button, &QToolButton::clicked, this, [this, n] { b_phrase1Click(n); });
        button->installEventFilter(this);
        m_phraseButtons << button;
    }

    m_soundsButton = pictureButton(board, "b_phrase10", SocialArt::chatter(), "Chatter Sounds",
                                   place(phraseCount));
    m_soundsButton->installEventFilter(this);
    m_soundsMenu = new QMenu(board);
    m_soundsMenu->setObjectName("popup_sounds");
    m_soundsMenu->setToolTipsVisible(true);
    for (int tag = 0; tag <= ChatterSounds::count; ++tag) {
        QAction* item = m_soundsMenu->addAction(ChatterSounds::caption(tag));
        item->setObjectName(tag == 0 ? QString("Cancel1") : ChatterSounds::name(tag));
        item->setData(tag);
        // Items without a hint of their own would show the caption anyway.
        item->setToolTip(tag == 0 ? QString() : ChatterSounds::caption(tag));
        connect(item, &QAction::triggered, this, [this, tag] { wave4Click(tag); });
    }

    m_smiliesButton = new QToolButton(board);
    m_smiliesButton->setObjectName("button_smilies");
    m_smiliesButton->setIcon(QIcon(SocialArt::smilies()));
    m_smiliesButton->setIconSize(QSize(16, 16));
    m_smiliesButton->setFocusPolicy(Qt::NoFocus);
    m_smiliesButton->setGeometry(smiliesPlace);
    connect(m_smiliesButton, &QToolButton::clicked, this, &ChatComposer::button_smiliesClick);
    m_smiliesMenu = new QMenu(board);
    m_smiliesMenu->setObjectName("popup_smilies");
    for (int k = 0; k < SocialArt::smileyCount; ++k) {
        const int tag = SocialArt::firstSmileyTag + k;
        QAction* item = m_smiliesMenu->addAction(QString(":)#%1").arg(tag));
        item->setObjectName(QString("N%1").arg(tag));
        item->setData(tag);
        connect(item, &QAction::triggered, this, [this, tag] { N271Click(tag); });
    }
    // The smileys' pictures are read when the menu first opens: an icon
    // decodes its file as soon as it is made.
    connect(m_smiliesMenu, &QMenu::aboutToShow, this, [this] {
        for (QAction* item : m_smiliesMenu->actions()) {
            if (item->icon().isNull())
                item->setIcon(
                    QIcon(SocialArt::smiley(item->data().toInt() - SocialArt::firstSmileyTag)));
        }
    });
}

void ChatComposer::mychatKeyDown() {
    if (m_input->text() == placeholder)
        m_input->clear();
}

void ChatComposer::sendit() {
    if (!m_state.loggedIn)
        return; // the text stays for later
    const QString text = m_input->text();
    if (!text.isEmpty()) {
        if (!text.startsWith(QLatin1Char('/')))
            sendText(false, text);
        else if (text.startsWith(QLatin1String("/me")))
            sendText(true, text.mid(4)); // the first four characters go, whatever the fourth is
        // Any other "/" line is dropped: there are no other commands.
    }
    m_input->clear();
}

void ChatComposer::b_phrase1Click(int n) {
    if (n < 1 || n > phraseCount)
        return;
    const QString text = phrase(n);
    if (!phraseGateOpen())
        return;
    if (text.startsWith(QLatin1String("/me ")))
        sendText(true, text.mid(4));
    else
        sendText(true, "says: " + text);
    m_gateClosedAt = m_now();
}

bool ChatComposer::phraseGateOpen() const {
    return m_gateClosedAt < 0 || m_now() - m_gateClosedAt >= gateMs;
}

void ChatComposer::b_phrase10MouseUp() {
    m_soundsMenu->popup(
        m_soundsButton->mapToGlobal(QPoint(m_soundsButton->width(), m_soundsButton->height())));
}

void ChatComposer::wave4Click(int tag) {
    if (tag <= 0 || tag > ChatterSounds::count || !m_state.loggedIn)
        return;
    m_host.send(cmd::playasound_(m_model.ownSeat(), tag));
}

void ChatComposer::button_smiliesClick() {
    m_smiliesMenu->popup(
        m_smiliesButton->mapToGlobal(QPoint(m_smiliesButton->width(), m_smiliesButton->height())));
}

void ChatComposer::N271Click(int tag) {
    if (m_input->text() == placeholder)
        m_input->clear();
    m_input->setText(m_input->text() + QString(":)#%1").arg(tag));
    m_input->deselect();
    m_input->end(false);
}

// Appends the clipboard's text to the end; the selection stays as text.
void ChatComposer::Paste1Click() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (data && data->hasText() && !data->text().isEmpty()) {
        if (m_input->text() == placeholder)
            m_input->clear();
        m_input->setText(m_input->text() + data->text());
    }
    m_input->deselect();
    m_input->end(false);
}

QString ChatComposer::phrase(int n) const {
    if (n < 1 || n > phraseCount)
        return QString();
    return m_phraseButtons[n - 1]->toolTip();
}

void ChatComposer::setPhrase(int n, const QString& text) {
    if (n >= 1 && n <= phraseCount)
        m_phraseButtons[n - 1]->setToolTip(text);
}

QStringList ChatComposer::phrases() const {
    QStringList out;
    for (int n = 1; n <= phraseCount; ++n)
        out << phrase(n);
    return out;
}

void ChatComposer::setTextColour(quint32 colour) {
    m_colour = colour;
    applyColour();
}

QString ChatComposer::textColourText() const {
    return ColourText::toText(m_colour);
}

bool ChatComposer::setTextColourText(const QString& text) {
    const std::optional<quint32> colour = ColourText::fromText(text);
    if (!colour)
        return false;
    setTextColour(*colour);
    return true;
}

void ChatComposer::applyColour() {
    // Flat: the same colour focused or not, a black border (the font, Arial
    // 13 px, is set once).
    m_input->setColours(QColor(0xD2, 0xCA, 0xAE), ColourText::toQColor(m_colour));
}

void ChatComposer::sendText(bool action, const QString& text) {
    const int seat = m_model.ownSeat();
    const QByteArray bytes = cp1252::fromUnicode(text);
    const QByteArray colour = ColourText::toText(m_colour).toLatin1();
    m_host.send(action ? cmd::action_(seat, bytes, colour) : cmd::chat_(seat, bytes, colour));
}

QToolButton* ChatComposer::phraseButton(int n) const {
    return n >= 1 && n <= phraseCount ? m_phraseButtons[n - 1] : nullptr;
}

bool ChatComposer::eventFilter(QObject* watched, QEvent* event) {
    // Any mouse button released on the chatter button opens its menu.
    if (watched == m_soundsButton && event->type() == QEvent::MouseButtonRelease) {
        b_phrase10MouseUp();
        return false;
    }
    // A phrase comes from the settings file: its hint shows it as the
    // characters it is made of, never as markup naming pictures to load.
    auto* button = qobject_cast<QToolButton*>(watched);
    if (event->type() == QEvent::ToolTip && m_phraseButtons.contains(button)) {
        const QString shown =
            "<p style='white-space:pre'>" + button->toolTip().toHtmlEscaped() + "</p>";
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), shown, button);
        return true;
    }
    return QObject::eventFilter(watched, event);
}
