#pragma once

#include "social/ChatStyle.h"

#include <QFrame>
#include <QStringList>
#include <QUrl>

#include <functional>

class ChatView;
class Prompter;
class SettingsStore;
class QAction;
class QMenu;

// The chat view `mainchat` and everything that fills it. Every line, from
// players or from the client itself, goes through addlinetochat: a source
// number (0 for the client's own lines, else the speaker's seat), "+", and the
// body. The source picks the line's style (source + 5), which takes the
// line's colour and bold face, so a speaker's earlier lines follow a change of
// colour at the next layout. The body's part up to its first ":" is the
// lead-in (the speaker's name); the rest may hold smiley codes (":)#" and two
// digits) and web addresses, which become links.
//
// A line from a peer is bounded before it is shown: its text after the
// source is cut at maxLineLength characters, ending in an ellipsis, and
// after maxWordRuns runs the words of a piece are shown as one run (links
// still as runs of their own), so a line of thousands of words costs what a
// long ordinary line costs.
class ChatDisplay : public QFrame {
    Q_OBJECT
public:
    static constexpr int linkEntries = 101;
    static constexpr int firstSpeakerStyle = 5;
    static constexpr int maxSource = 9;
    static constexpr int maxLineLength = 1000;
    static constexpr int maxWordRuns = 200;
    static constexpr QChar ellipsis = QChar(0x2026);

    ChatDisplay(Prompter& prompter, SettingsStore& settings, QWidget* parent = nullptr);

    // Shows one chat line in the colour ($00BBGGRR). Raises EChatLine, before
    // anything is shown, when the source is not a number from 0 to 9.
    void addlinetochat(const QString& line, quint32 colour);
    // A relayed CMD_chat or CMD_action: source "+" body "|" colour text.
    // Without "|", or with a colour that does not read, the line is red.
    void chatrecieved(const QByteArray& args);
    // Opens link number n (as the view counts them) in the web browser.
    void mainchatJump(int number);

    // The menu items.
    void SelectAll1Click();
    void Copy1Click();
    void ClearMainChat1Click();
    void ScrollChatOff1Click();
    // A "Text Size" item: all 15 styles take the size (shown at the next
    // layout), the item is ticked alone, the settings are saved.
    void N14Click(int size);

    // The size of the chat styles in points (style 0's). Setting it from the
    // settings file also ticks the matching "Text Size" item (none when no
    // item has that size) and lays the chat out again.
    int textSize() const;
    void setTextSize(int points);
    const ChatStyle& style(int n) const;
    void setStyle(int n, const ChatStyle& style);

    bool scrollOff() const { return m_scrollOff; }
    ChatView* view() const { return m_view; }
    QMenu* contextMenu() const { return m_menu; }
    // The context menu's own "Scroll Chat Off" item.
    QAction* scrollOffItem() const { return m_scrollOffItem; }

    // Connects the Options menu items: "Scroll Chat Off", "Clear Main Chat"
    // and the four "Text Size" items (their data is the size).
    void bindOptionsMenu(QAction* scrollChatOff, QAction* clearMainChat,
                         const QList<QAction*>& textSizes);
    // Where "Clear Main Chat" puts the keyboard focus.
    void setInputLine(QWidget* input) { m_input = input; }
    // How a web address is opened; QDesktopServices::openUrl by default.
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { m_opener = std::move(opener); }

    // The link record: entry k is the k-th link since the last clear, the
    // counter wraps to 1 after 100.
    const QStringList& linkTable() const { return m_links; }
    int linkCounter() const { return m_linkCounter; }

private:
    void addWords(QString piece, int style);
    void tickTextSize(int size);

    Prompter& m_prompter;
    SettingsStore& m_settings;
    ChatView* m_view = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_scrollOffItem = nullptr;
    QAction* m_optionsScrollOff = nullptr;
    QList<QAction*> m_textSizes;
    QWidget* m_input = nullptr;
    std::function<bool(const QUrl&)> m_opener;
    QStringList m_links;
    int m_lineRuns = 0; // runs of the line being appended
    int m_linkCounter = -1;
    bool m_scrollOff = false;
};
