#pragma once

#include <QPoint>
#include <QRect>

#include <array>

// The fixed places of the game view, in pixels. Board places (chips, covers,
// turn buttons, labels on the board) count from the top-left corner of
// panel_gameboard; everything else counts from the main board panel.
// scripts/make-art draws the board picture on the same grid.
namespace board {

inline constexpr int firstColumn = 2;
inline constexpr int lastColumn = 12;
inline constexpr int dice = 4;
inline constexpr int markers = 3;
inline constexpr int seats = 4;

// The column's top position: 2, 4, ..., 12, ..., 4, 2 for columns 2 to 12;
// 0 for any other number.
constexpr int columnTop(int column) {
    if (column < firstColumn || column > lastColumn)
        return 0;
    return 12 - 2 * (column > 7 ? column - 7 : 7 - column);
}
// The position just below the column's top; 0 for any other number.
constexpr int gethighnum(int column) {
    return column < firstColumn || column > lastColumn ? 0 : columnTop(column) - 1;
}
constexpr bool isColumn(int column) {
    return column >= firstColumn && column <= lastColumn;
}
constexpr bool isPlace(int column, int position) {
    return isColumn(column) && position >= 0 && position <= columnTop(column);
}

// The board and its chip places.
inline constexpr QRect gameBoard{34, 2, 425, 421};
inline constexpr int chipWidth = 27;
inline constexpr int chipHeight = 28;
inline constexpr int positionStep = 31;
constexpr int chipLeft(int column) {
    return 23 + 35 * (column - 2);
}
// Position 0 of column 7 lies lowest; every column further from 7 starts one
// step higher, which gives the board its diamond outline.
constexpr int chipTop(int column, int position) {
    return 383 - positionStep * ((column > 7 ? column - 7 : 7 - column) + position);
}
// A cover lies 3 pixels right of its column's chips and, when shown, 3 pixels
// below the marker it peeks out from under.
inline constexpr int coverOffset = 3;

// Dice: the four home places (resting together below the board), the row a
// roll lays them out in, and the raised top of a selected die.
inline constexpr int dieWidth = 69;
inline constexpr int dieHeight = 70;
inline constexpr std::array<QPoint, dice> diceHome{
    {QPoint(393, 421), QPoint(417, 421), QPoint(393, 438), QPoint(417, 445)}};
inline constexpr int diceRowTop = 439;
inline constexpr int diceRaisedTop = 420;
constexpr int diceRowLeft(int die) {
    return 57 + 80 * die;
}

// The marker stock beside the board, over the own-colour backdrop.
inline constexpr QRect ownColour{1, 319, 34, 104};
inline constexpr int stockLeft = 4;
inline constexpr std::array<int, markers> stockTop{323, 356, 388};

// The turn buttons, on the board.
inline constexpr int buttonSize = 103;
inline constexpr QPoint rollButton{317, 311};
inline constexpr QPoint endButton{7, 311};
inline constexpr QPoint startButton{316, 311};

// Labels and panels on the board; their corners hold no chip place.
inline constexpr QRect workingTitle{6, 5, 112, 16};
constexpr QRect workingLabel(int marker) {
    return QRect(9 + 36 * (marker - 1), 24, 30, 20);
}
inline constexpr QRect useAllLabel{290, 6, 128, 16};
inline constexpr QRect winnerPanel{62, 150, 300, 100};

// Under the board.
inline constexpr QRect statusLine{9, 508, 480, 16};

// The logo and one row per seat on the right.
inline constexpr QPoint logo{486, 5};
inline constexpr std::array<int, seats> seatRowTop{62, 85, 109, 132};
inline constexpr int swatchLeft = 534;
inline constexpr int turnArrowLeft = 553;
inline constexpr int eyesLeft = 582;
inline constexpr int nameLeft = 592;
inline constexpr int nameWidth = 100;
inline constexpr int scoreLeft = 696;
inline constexpr int rowHeight = 20;

} // namespace board
