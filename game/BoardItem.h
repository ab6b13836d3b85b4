#pragma once

// One cell of the board as the rules report a change and as the messages
// carry it between server and clients.
struct BoardItem {
    int column = 0;
    int position = 0;
    // 0 empty, 1 to 4 the chip of that seat, Board::marker a temporary marker.
    int occupant = 0;
    // The seat whose chip lies under a temporary marker in this cell, else 0.
    int seatUnder = 0;

    friend bool operator==(const BoardItem&, const BoardItem&) = default;
};

// A change made by one placement, in the order the rules make them: the cell
// a marker left or the seat's own chip it lifted (Uncovered), another seat's
// chip the marker now covers (Covered), the marker itself (Marker), then each
// die used (DieUsed).
struct PlaceItem {
    enum class Kind : char { Uncovered = 'u', Covered = 'c', Marker = 'p', DieUsed = 'd' };
    Kind kind = Kind::Marker;
    // Uncovered: the cell shows `occupant` again. Covered: the chip of
    // `seatUnder` lies under the marker at column and position (`occupant`
    // is the marker code). Marker: the marker stands at column and position,
    // `occupant` being the marker code (`seatUnder` is 0: a Covered item
    // before it tells what lies under it).
    BoardItem cell;
    // DieUsed: the die (0 to 3) that the placement used.
    int die = 0;

    friend bool operator==(const PlaceItem&, const PlaceItem&) = default;
};

// A cell that changed when a turn ended. After a kept turn the occupant is
// the seat, and when the marker stood at the column's top, positions 0 to
// completedThrough are shown as completed (else completedThrough is 0). After
// a lost turn the occupant is what the cell shows again.
struct EndItem {
    BoardItem cell;
    int completedThrough = 0;

    friend bool operator==(const EndItem&, const EndItem&) = default;
};
