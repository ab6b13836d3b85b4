#pragma once

#include <QObject>

class BoardView;
class GameSoundPlayer;
class HostSender;
class MainWindowActions;
class Prompter;
class QPoint;
class TableModel;
struct ClientState;

// What the local player does with the mouse during a game: picking two of
// the four dice into the slots A and B, clicking a column to place a marker
// there, and the roll, end and start buttons. Each action is checked against
// the table model (whose turn, which phase, the dice values) and becomes at
// most one message; the server's answer changes the model. Nothing is sent
// before login.
class Selection : public QObject {
    Q_OBJECT
public:
    // A slot holds a die number 0 to 3, or this for "empty".
    static constexpr int empty = 10;

    // What a selection reads and asks for beyond the table and the board.
    struct Needs {
        const ClientState& state;
        HostSender& host;
        GameSoundPlayer& sounds;
        MainWindowActions& window;
        Prompter& prompter;
    };

    Selection(const Needs& needs, TableModel& model, BoardView& view, QObject* parent = nullptr);

    int slotA() const;
    int slotB() const;

    // A click on die dice_{die}.
    void dice_0Click(int die);
    // A click on any chip place of the column.
    void chip_711Click(int column);
    // Whether the two selected dice add up to the column.
    bool checkformatch(int column) const;

    // Releases on the turn buttons, pos from the button's top-left corner.
    void button_rollMouseUp(const QPoint& pos);
    void button_endMouseUp(const QPoint& pos);
    void button_startMouseUp(const QPoint& pos);

    // What a release on the active half of a turn button does, for the
    // keyboard as well as the mouse.
    void rollPressed();
    void endPressed();
    // Places the two selected dice in the column of their sum, as a click on
    // that column does; with fewer than two selected it gives the same
    // refusal as a column click.
    void placeSelected();

public slots:
    // File > "Start Game": opens the game start dialog once logged in.
    void StartGame1Click();

private:
    void refuse(const QString& status);

    Needs m_needs;
    TableModel& m_model;
    BoardView& m_view;
};
