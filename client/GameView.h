#pragma once

#include "client/BoardView.h"
#include "client/Selection.h"

#include <QByteArray>
#include <QObject>

class ClientServices;
class SeatsView;
class QWidget;

// The client's picture of the game. The client keeps no board model and
// applies no rule: the server decides and tells every client, players and
// spectators alike, what changed; each handler below paints one message
// (its argument text, after the command name) onto the view, sets the
// status and asks for a sound.
//
// A handler reads and checks every field of its message before it changes
// anything: a number that does not parse raises EConvertError, and a seat,
// column, position, die or picture the view does not have raises EViewError,
// so a bad message leaves the view as it was.
//
// A turn as seen here: getnextplayer, rolldice, any number of placechip,
// invalid and rolldice, possibly mustmove or useall, then endturn and
// postscores, and finally winner. A client that joins during a game starts
// from gamestats.
class GameView : public QObject {
    Q_OBJECT
public:
    GameView(QWidget* panelBoard, ClientServices& services);

    BoardView& board() { return m_board; }
    SeatsView& seats() { return *m_seats; }
    Selection& selection() { return m_selection; }
    // Temporary markers taken from the stock this turn, as far as seen here.
    int markersInUse() const { return m_markersInUse; }
    // A game has started (or was under way when this client joined) and no
    // winner has been announced since. A winner counts only then, once.
    bool gameRunning() const { return m_gameRunning; }

    void startthegame(const QByteArray& args);
    void getnextplayer(const QByteArray& args);
    void rolldice(const QByteArray& args);
    void placechip(const QByteArray& args);
    void invalid(const QByteArray& args);
    void mustmove(const QByteArray& args);
    void useall(const QByteArray& args);
    void endturn(const QByteArray& args);
    void postscores(const QByteArray& args);
    void winner(const QByteArray& args);
    void gamestats(const QByteArray& args);

    // Empties the board: covers hidden, the stock full, the dice home and
    // every chip place blank.
    void clearboard();

public slots:
    // File > "Start Game".
    void StartGame1Click() { m_selection.StartGame1Click(); }

signals:
    // A click on the logo, which links to the maker's web site.
    void logoClicked();

private:
    // The stock marker (1 to 3) that works on the column, or 0.
    int markerOn(int column) const;
    // Takes a marker from the stock for the column unless one works on it.
    void takeMarker(int column, bool writeLabel);
    void refusedEnd(const QByteArray& args, const QString& status);
    void showUseAll(const QByteArray& flag);
    void showOwnColour();
    void showTurnButtons();
    bool isOwn(int seat) const;

    ClientServices& m_services;
    BoardView m_board;
    SeatsView* m_seats = nullptr;
    Selection m_selection;
    int m_markersInUse = 0;
    bool m_gameRunning = false;
};
