#pragma once

#include "client/BoardView.h"
#include "client/Selection.h"

#include <QObject>

class SeatsView;
class TableModel;
class QWidget;

// The client's picture of the game: the board view and the seats on the
// main board panel, painted from the table model as it changes, and the
// selection that turns the player's clicks into requests. The model is the
// only place a value lives; nothing here is read back from a widget.
class GameView : public QObject {
    Q_OBJECT
public:
    // The view reads the state (whether this process hosts); its selection
    // takes the rest.
    GameView(QWidget* panelBoard, const Selection::Needs& needs, TableModel& model);

    BoardView& board() { return m_board; }
    SeatsView& seats() { return *m_seats; }
    Selection& selection() { return m_selection; }
    TableModel& model() { return m_model; }
    bool gameRunning() const;

public slots:
    // File > "Start Game".
    void StartGame1Click() { m_selection.StartGame1Click(); }

signals:
    // A click on the logo, which links to the maker's web site.
    void logoClicked();

private:
    void showCell(int column, int position);
    void showColumnCover(int column);
    void showBoard();
    void showDice();
    void showMarkers();
    void showTurn();
    void showPhase();
    void showWinner(const QString& name, bool ownWin);

    const ClientState& m_state;
    TableModel& m_model;
    BoardView m_board;
    SeatsView* m_seats = nullptr;
    Selection m_selection;
};
