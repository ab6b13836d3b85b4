#pragma once

#include <QString>

#include <array>

class QLabel;
class QWidget;
class Picture;
class TurnButton;

// The controls of the game view on the main board panel, each under its
// composed name: the board with its chip places and covers, the dice, the
// marker stock, the labels, the winner panel and the turn buttons. It only
// builds and addresses them; GameView decides what they show.
//
// The addressing functions raise EViewError for a control that does not
// exist, so a bad message stops before it changes anything.
class BoardView {
public:
    explicit BoardView(QWidget* panelBoard);

    QWidget* gameBoard() const { return m_gameBoard; }
    Picture& chip(int column, int position) const;
    Picture& cover(int column) const;
    // The cover laid over the whole of a column once a seat has won it.
    Picture& claim(int column) const;
    Picture& die(int index) const;
    Picture& extra(int marker) const;
    QLabel& working(int marker) const;
    // The own-colour backdrop of a seat 1 to 4; null for any other seat.
    Picture* ownColour(int seat) const;
    QLabel* status() const { return m_status; }
    QLabel* useAll() const { return m_useAll; }
    Picture* winnerPanel() const { return m_winnerPanel; }
    QLabel* winner1() const { return m_winner1; }
    QLabel* winner2() const { return m_winner2; }
    TurnButton* rollButton() const { return m_roll; }
    TurnButton* endButton() const { return m_end; }
    TurnButton* startButton() const { return m_start; }

    // Raise EViewError unless the control exists.
    static void requireChip(int column, int position);
    static void requireColumn(int column);
    static void requireDie(int index);
    // Raises EViewError unless the occupant code has a chip picture: 0
    // (nothing), 1 to 9, or 10 (the temporary marker, drawn with image 0).
    static void requireOccupant(int occupant);

    // Draws the occupant's picture on the chip place, or blanks it for 0.
    void drawChip(int column, int position, int occupant);
    // Shows the column's cover 3 pixels below the place, with the seat's
    // chip picture (blank for 0).
    void showCover(int column, int position, int seat);
    void hideCovers();
    // Lays the seat's cover over the column (seat 1 to 4), or takes it away
    // (any other seat).
    void showClaim(int column, int seat);
    void dieHome(int index);
    void dieToRow(int index, int top);
    void setStatus(const QString& text);

private:
    QWidget* m_gameBoard = nullptr;
    // [column][position]; only the places of a column exist.
    std::array<std::array<Picture*, 13>, 13> m_chips{};
    std::array<Picture*, 13> m_covers{};
    std::array<Picture*, 13> m_claims{};
    std::array<Picture*, 4> m_dice{};
    std::array<Picture*, 3> m_extras{};
    std::array<QLabel*, 3> m_working{};
    std::array<Picture*, 4> m_ownColour{};
    QLabel* m_status = nullptr;
    QLabel* m_useAll = nullptr;
    Picture* m_winnerPanel = nullptr;
    QLabel* m_winner1 = nullptr;
    QLabel* m_winner2 = nullptr;
    TurnButton* m_roll = nullptr;
    TurnButton* m_end = nullptr;
    TurnButton* m_start = nullptr;
};
