#pragma once

// The seats of the table, as server and clients number them. Seats 1 to 4
// play (seat 1 is the host's own client); seats 5 to 9 only watch.
namespace seats {

inline constexpr int playing = 4;
inline constexpr int last = 9;

// The caption of a playing seat that nobody holds.
inline constexpr char waiting[] = "<Waiting>";

constexpr bool isSeat(int seat) {
    return seat >= 1 && seat <= last;
}
constexpr bool isPlaying(int seat) {
    return seat >= 1 && seat <= playing;
}

// The name the server gives a playing seat that has no login name (the
// computer player of seat 2, a winner whose player left), and that no login
// may take: "Klot", "Klock", "Kling" for seats 2 to 4, empty for the others.
constexpr const char* fallbackName(int seat) {
    switch (seat) {
    case 2:
        return "Klot";
    case 3:
        return "Klock";
    case 4:
        return "Kling";
    default:
        return "";
    }
}

// The computer players' names as a client's seat labels hint at them: as
// above, except "Klick" for seat 3. Seat 1 has none.
constexpr const char* labelHintName(int seat) {
    return seat == 3 ? "Klick" : fallbackName(seat);
}

} // namespace seats
