#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The "Play with Others" window: host a game others can join, or join one,
// picked from the games found on this network or by the host's address.
// It only collects and checks the player's choice; hostRequested and
// joinRequested hand it on to whoever switches the program over.
//
// Keyboard: Tab goes name, "Host a Game", the games list, the address,
// "Join", "Close". Enter in the name field hosts (the field and the button
// share a row), Enter in the address field joins that address, Enter or a
// double click on a listed game joins that game, Escape closes the window.
//
// Everything shown from the network (game names, addresses) is plain text,
// stripped of control characters and shortened.
class PlayWithOthers : public QDialog {
    Q_OBJECT
public:
    static constexpr int maxGames = 50;
    static constexpr int maxShownName = 40;
    static constexpr int maxShownHost = 64;

    // A game found on this network.
    struct Game {
        QString name;     // the host's player name, untrusted
        QString host;     // where to join it, untrusted
        int players = -1; // seated players, -1 when not told
    };
    // Whether games on this network can be found at all.
    enum class Discovery { Looking, Unavailable };

    explicit PlayWithOthers(QWidget* parent = nullptr);

    void setPlayerName(const QString& name);
    QString playerName() const;
    // The hosts joined last, most recent first, offered in the address field.
    void setRecentHosts(const QStringList& hosts);
    QStringList recentHosts() const;
    // The games found, newest news first; at most maxGames are listed.
    void showGames(const QList<Game>& games);
    void setDiscovery(Discovery discovery);
    // Where others can join this copy while it hosts; empty hides the line.
    void setHostingAddresses(const QStringList& addresses);

    // An untrusted text made fit to show: control and format characters
    // become blanks, blanks at either end go, and it is cut to at most
    // `limit` characters (the last one then "…").
    static QString plain(const QString& untrusted, int limit);

    // Makes the window just as high as the controls shown need, at its
    // width (the narrowest before it was first shown).
    void fitHeight();
    // Puts the keyboard focus where the player types first: the name while
    // it is empty, else the address.
    void focusFirstEmpty();

signals:
    void hostRequested(const QString& name);
    void joinRequested(const QString& name, const QString& host);

public slots:
    void hostClicked();
    void joinClicked();
    void gameActivated(QListWidgetItem* item);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    // The name when it is usable; otherwise tells why and returns empty.
    QString checkedName();
    void join(const QString& address, QWidget* fieldAtFault);
    void showProblem(const QString& text, QWidget* fieldAtFault);
    void updateGamesLabel();

    Discovery m_discovery = Discovery::Looking;
    QBoxLayout* m_layout = nullptr;
    QLineEdit* m_name = nullptr;
    QPushButton* m_host = nullptr;
    QLabel* m_hosting = nullptr;
    QLabel* m_gamesLabel = nullptr;
    QListWidget* m_games = nullptr;
    QComboBox* m_address = nullptr;
    QPushButton* m_join = nullptr;
    QLabel* m_problem = nullptr;
    QPushButton* m_close = nullptr;
};
