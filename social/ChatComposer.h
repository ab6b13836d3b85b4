#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class ChatInput;
class HostSender;
class QAction;
class QMenu;
class QToolButton;
class QWidget;
struct ClientState;
class TableModel;

// Everything by which the local player puts words into the chat: the input
// line `mychat`, the nine phrase buttons, the chatter-sound button and menu,
// the smiley button and menu, and the input line's "Paste" menu. Nothing is
// shown locally: the host relays each message back to everybody, the sender
// included, and the chat shows it then.
//
// Every chat and action message carries the player's text colour as colour
// text. The phrase buttons share a gate: after a phrase they do nothing for
// two seconds; typed lines, smileys and chatter sounds pass freely.
class ChatComposer : public QObject {
    Q_OBJECT
public:
    static constexpr int phraseCount = 9;
    static constexpr int gateMs = 2000;
    static inline const QString placeholder = QStringLiteral("<Enter Chat Here>");

    // The controls are made on the board panel at their places.
    ChatComposer(const ClientState& state, const TableModel& model, HostSender& host,
                 QWidget* board);

    // Typing in the input line.
    void mychatKeyDown();
    void sendit();
    // Phrase button n (1 to 9) clicked.
    void b_phrase1Click(int n);
    // Mouse released on the chatter button: opens the chatter menu.
    void b_phrase10MouseUp();
    // A chatter menu item chosen (tag 0 is "<Cancel>").
    void wave4Click(int tag);
    void button_smiliesClick();
    // A smiley menu item chosen (tags 10 to 27).
    void N271Click(int tag);
    void Paste1Click();

    // The phrase of button n (its hint text), n = 1 to 9.
    QString phrase(int n) const;
    void setPhrase(int n, const QString& text);
    QStringList phrases() const;

    // The player's text colour, $00BBGGRR; also the input line's font colour.
    quint32 textColour() const { return m_colour; }
    void setTextColour(quint32 colour);
    QString textColourText() const;
    // False, changing nothing, when the text is no colour text.
    bool setTextColourText(const QString& text);

    bool phraseGateOpen() const;
    // The clock of the phrase gate, in milliseconds; a steady clock by default.
    void setClock(std::function<qint64()> now) { m_now = std::move(now); }

    ChatInput* input() const { return m_input; }
    QToolButton* phraseButton(int n) const;
    QToolButton* soundsButton() const { return m_soundsButton; }
    QToolButton* smiliesButton() const { return m_smiliesButton; }
    QMenu* soundsMenu() const { return m_soundsMenu; }
    QMenu* smiliesMenu() const { return m_smiliesMenu; }
    QMenu* inputMenu() const { return m_inputMenu; }

private:
    void sendText(bool action, const QString& text);
    void applyColour();
    bool eventFilter(QObject* watched, QEvent* event) override;

    const ClientState& m_state;
    const TableModel& m_model;
    HostSender& m_host;
    ChatInput* m_input = nullptr;
    QList<QToolButton*> m_phraseButtons;
    QToolButton* m_soundsButton = nullptr;
    QToolButton* m_smiliesButton = nullptr;
    QMenu* m_soundsMenu = nullptr;
    QMenu* m_smiliesMenu = nullptr;
    QMenu* m_inputMenu = nullptr;
    quint32 m_colour = 0;
    std::function<qint64()> m_now;
    qint64 m_gateClosedAt = -1; // -1: open
};
