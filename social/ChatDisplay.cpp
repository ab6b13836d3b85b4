#include "social/ChatDisplay.h"

#include "client/SettingsStore.h"
#include "protocol/Cp1252.h"
#include "social/ChatView.h"
#include "social/ColourText.h"
#include "social/EChatLine.h"
#include "social/SocialArt.h"
#include "ui/Prompter.h"

#include <QAction>
#include <QDesktopServices>
#include <QMenu>

namespace {

constexpr QLatin1String smileyMark(":)#");
constexpr int smileyCodeLength = 2;

// A strict decimal number: an optional "-" and digits only.
bool isDecimal(const QString& text) {
    const qsizetype start = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (start >= text.size())
        return false;
    for (qsizetype i = start; i < text.size(); ++i)
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return false;
    return true;
}

// A word that the chat shows as a link. The letters must be lower case.
bool isLink(const QString& word) {
    return word.contains(QLatin1String("http://")) || word.contains(QLatin1String("https://")) ||
           word.contains(QLatin1String("www."));
}

} // namespace

ChatDisplay::ChatDisplay(Prompter& prompter, SettingsStore& settings, QWidget* parent)
    : QFrame(parent), m_prompter(prompter), m_settings(settings),
      m_opener([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setObjectName("panel_chat");
    setGeometry(488, 184, 265, 313);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);

    m_view = new ChatView(this);
    m_view->setObjectName("mainchat");
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setGeometry(1, 1, 263, 311);
    m_view->setImageList(SocialArt::smileys());
    connect(m_view, &ChatView::linkClicked, this, &ChatDisplay::mainchatJump);

    // The styles at creation. 5 to 14 are rewritten by each line of their source.
    auto setup = [this](int n, quint32 colour, bool bold, bool italic, bool underline) {
        ChatStyle style;
        style.colour = colour;
        style.bold = bold;
        style.italic = italic;
        style.underline = underline;
        m_view->setStyle(n, style);
    };
    setup(0, ColourText::blue, false, false, false);
    setup(1, ColourText::blue, true, false, false);
    setup(2, ColourText::navy, true, false, false);
    setup(3, ColourText::maroon, false, true, false);
    setup(4, ColourText::green, false, false, true);
    setup(5, ColourText::green, false, false, true);
    setup(6, ColourText::silver, false, false, false);
    setup(7, ColourText::silver, false, false, false);
    for (int n = 8; n < ChatView::styleCount; ++n)
        setup(n, ColourText::windowText, false, false, false);
    m_view->format();

    for (int k = 0; k < linkEntries; ++k)
        m_links << QString();

    m_menu = new QMenu(this);
    m_menu->setObjectName("popup_mainchat");
    QAction* selectAll = m_menu->addAction("Select All");
    selectAll->setObjectName("SelectAll1");
    QAction* copy = m_menu->addAction("Copy");
    copy->setObjectName("Copy1");
    copy->setShortcut(QKeySequence("Ctrl+C"));
    QAction* clear = m_menu->addAction("Clear Main Chat");
    clear->setObjectName("ClearMainChat2");
    m_scrollOffItem = m_menu->addAction("Scroll Chat Off");
    m_scrollOffItem->setObjectName("ScrollChatOff2");
    m_scrollOffItem->setCheckable(true);
    m_scrollOffItem->setShortcut(QKeySequence("Ctrl+S"));
    connect(selectAll, &QAction::triggered, this, &ChatDisplay::SelectAll1Click);
    connect(copy, &QAction::triggered, this, &ChatDisplay::Copy1Click);
    connect(clear, &QAction::triggered, this, &ChatDisplay::ClearMainChat1Click);
    connect(m_scrollOffItem, &QAction::triggered, this, &ChatDisplay::ScrollChatOff1Click);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_menu->popup(m_view->mapToGlobal(pos)); });
}

void ChatDisplay::chatrecieved(const QByteArray& args) {
    const QString payload = cp1252::toUnicode(args);
    const qsizetype bar = payload.indexOf(QLatin1Char('|'));
    if (bar < 0) {
        addlinetochat(payload, ColourText::red);
        return;
    }
    const std::optional<quint32> colour = ColourText::fromText(payload.mid(bar + 1));
    addlinetochat(payload.left(bar), colour.value_or(ColourText::red));
}

void ChatDisplay::addlinetochat(const QString& line, quint32 colour) {
    const qsizetype plus = line.indexOf(QLatin1Char('+'));
    const QString field = plus < 0 ? QString() : line.left(plus);
    bool ok = false;
    const int source = isDecimal(field) ? field.toInt(&ok) : 0;
    if (!ok)
        throw EChatLine::notANumber(field);
    // Only sources 0 to 9 have a speaker's style; a lower number would
    // reach the link style and the styles below it.
    if (source < 0 || source > maxSource)
        throw EChatLine::noSuchSource(source);
    const int style = source + firstSpeakerStyle;

    QString rest = line.mid(plus + 1);
    const bool cut = rest.size() > maxLineLength;
    if (cut)
        rest.truncate(maxLineLength);
    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    const QString leadIn = colon < 0 ? QString() : rest.left(colon + 1);
    rest.remove(0, leadIn.size());

    ChatStyle speaker = m_view->style(style);
    speaker.colour = colour;
    speaker.bold = true;
    speaker.italic = false;
    speaker.underline = false;
    m_view->setStyle(style, speaker);

    m_view->addText(leadIn + QLatin1Char(' '), style, true);
    m_lineRuns = 1;
    for (qsizetype mark = rest.indexOf(smileyMark); mark >= 0; mark = rest.indexOf(smileyMark)) {
        const QString piece = rest.left(mark);
        const QString code = rest.mid(mark + smileyMark.size(), smileyCodeLength);
        rest.remove(0, mark + smileyMark.size() + code.size());
        addWords(piece, style);
        bool read = false;
        int value = isDecimal(code) ? code.toInt(&read) : 0;
        if (!read || value - SocialArt::firstSmileyTag < 0 ||
            value - SocialArt::firstSmileyTag >= SocialArt::smileyCount)
            value = SocialArt::firstSmileyTag;
        m_view->addPicture(value - SocialArt::firstSmileyTag);
        ++m_lineRuns;
    }
    if (!rest.isEmpty())
        addWords(rest, style);
    if (cut)
        m_view->addText(QString(ellipsis), style, false);

    m_view->format();
    if (!m_scrollOff)
        m_view->scrollToEnd();
}

// Cuts the piece into words, each with its trailing blank (a blank alone is a
// word too), and shows each as a run; a word holding a web address is a link.
// Once the line has maxWordRuns runs, consecutive plain words go into one
// run: they show the same, but lay out and take room as one.
void ChatDisplay::addWords(QString piece, int style) {
    piece += QLatin1Char(' ');
    QString merged;
    auto flush = [&] {
        if (merged.isEmpty())
            return;
        m_view->addText(merged, style, false);
        ++m_lineRuns;
        merged.clear();
    };
    qsizetype from = 0;
    while (from < piece.size()) {
        const qsizetype blank = piece.indexOf(QLatin1Char(' '), from);
        const QString word = piece.mid(from, blank + 1 - from);
        from = blank + 1;
        if (isLink(word)) {
            flush();
            ++m_linkCounter;
            if (m_linkCounter > linkEntries - 1)
                m_linkCounter = 1;
            m_links[m_linkCounter] = word;
            m_view->addText(word, ChatView::linkStyle, false);
            ++m_lineRuns;
        } else if (m_lineRuns + 1 >= maxWordRuns) {
            merged += word;
        } else {
            m_view->addText(word, style, false);
            ++m_lineRuns;
        }
    }
    flush();
}

// The address comes from the link as the view shows it, so every link opens
// its own address however many links came after it.
void ChatDisplay::mainchatJump(int number) {
    QString address = m_view->linkText(number);
    if (address.endsWith(QLatin1Char(' ')))
        address.chop(1);
    QString url;
    if (address.left(7).compare(QLatin1String("http://"), Qt::CaseInsensitive) == 0)
        url = address.mid(7).isEmpty() ? QString() : "http://" + address.mid(7);
    else if (address.left(8).compare(QLatin1String("https://"), Qt::CaseInsensitive) == 0)
        url = address.mid(8).isEmpty() ? QString() : "https://" + address.mid(8);
    else if (!address.isEmpty())
        url = "http://" + address;
    const QUrl target(url, QUrl::TolerantMode);
    if (url.isEmpty() || !target.isValid() || target.host().isEmpty()) {
        m_prompter.message("Cannot open Webpage");
        return;
    }
    m_opener(target); // a failure of the web handler itself is not reported
}

void ChatDisplay::SelectAll1Click() {
    m_view->selectAll();
}

void ChatDisplay::Copy1Click() {
    m_view->copy();
}

void ChatDisplay::ClearMainChat1Click() {
    m_view->clear();
    m_linkCounter = -1;
    for (QString& entry : m_links)
        entry.clear();
    m_view->format();
    if (m_input)
        m_input->setFocus();
}

void ChatDisplay::ScrollChatOff1Click() {
    m_scrollOff = !m_scrollOff;
    m_scrollOffItem->setChecked(m_scrollOff);
    if (m_optionsScrollOff)
        m_optionsScrollOff->setChecked(m_scrollOff);
}

void ChatDisplay::N14Click(int size) {
    for (int n = 0; n < ChatView::styleCount; ++n) {
        ChatStyle s = m_view->style(n);
        s.size = size;
        m_view->setStyle(n, s);
    }
    tickTextSize(size);
    m_settings.saveSettings();
}

int ChatDisplay::textSize() const {
    return m_view->style(0).size;
}

void ChatDisplay::setTextSize(int points) {
    for (int n = 0; n < ChatView::styleCount; ++n) {
        ChatStyle s = m_view->style(n);
        s.size = points;
        m_view->setStyle(n, s);
    }
    tickTextSize(points);
    m_view->format();
    if (!m_scrollOff)
        m_view->scrollToEnd();
}

const ChatStyle& ChatDisplay::style(int n) const {
    return m_view->style(n);
}

void ChatDisplay::setStyle(int n, const ChatStyle& style) {
    m_view->setStyle(n, style);
}

void ChatDisplay::tickTextSize(int size) {
    for (QAction* item : m_textSizes)
        item->setChecked(item->data().toInt() == size);
}

void ChatDisplay::bindOptionsMenu(QAction* scrollChatOff, QAction* clearMainChat,
                                  const QList<QAction*>& textSizes) {
    m_optionsScrollOff = scrollChatOff;
    if (scrollChatOff) {
        scrollChatOff->setChecked(m_scrollOff);
        connect(scrollChatOff, &QAction::triggered, this, &ChatDisplay::ScrollChatOff1Click);
    }
    if (clearMainChat)
        connect(clearMainChat, &QAction::triggered, this, &ChatDisplay::ClearMainChat1Click);
    m_textSizes.clear();
    for (QAction* item : textSizes) {
        if (!item)
            continue;
        m_textSizes << item;
        connect(item, &QAction::triggered, this, [this, item] { N14Click(item->data().toInt()); });
    }
    tickTextSize(textSize());
}
