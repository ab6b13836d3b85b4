#pragma once

#include <array>
#include <cstdint>

// What the dice did for one player or for the whole table: how often each
// face came up, how many rolls there were and how many of them fitted no
// column, how many such rolls the odds expected, and the columns completed.
//
// The expected busts are kept as a whole number: for every roll, the number
// of the 1296 outcomes that would have fitted nothing in the position it was
// made in. Summed that way they stay exact over any number of games.
struct DiceCounts {
    // Every count stays within the integers a double holds exactly.
    static constexpr std::uint64_t maxCount = std::uint64_t(1) << 53;
    static constexpr int outcomes = 1296;

    std::array<std::uint64_t, 6> faces{}; // faces[0] counts the ones
    std::uint64_t rolls = 0;
    std::uint64_t busts = 0;
    std::uint64_t bustingOutcomes = 0;
    std::uint64_t columns = 0;

    double expectedBusts() const { return double(bustingOutcomes) / outcomes; }
    // Expected busts minus busts: above 0 the dice were kinder than the
    // odds, below 0 harsher.
    double luck() const { return expectedBusts() - double(busts); }

    // The counts agree with each other: none beyond maxCount, four faces per
    // roll, no more busts than rolls and no more busting outcomes than a
    // roll has outcomes.
    bool consistent() const {
        std::uint64_t faceSum = 0;
        for (std::uint64_t face : faces) {
            if (face > maxCount)
                return false;
            faceSum += face;
        }
        return rolls <= maxCount && busts <= rolls && columns <= maxCount && faceSum == 4 * rolls &&
               bustingOutcomes <= outcomes * rolls;
    }

    // Adds the other counts; false, changing nothing, when a count would
    // pass maxCount.
    bool add(const DiceCounts& other) {
        DiceCounts sum = *this;
        bool fits = true;
        const auto plus = [&fits](std::uint64_t& into, std::uint64_t more) {
            fits = fits && more <= maxCount && into <= maxCount - more;
            into += fits ? more : 0;
        };
        for (int face = 0; face < 6; ++face)
            plus(sum.faces[face], other.faces[face]);
        plus(sum.rolls, other.rolls);
        plus(sum.busts, other.busts);
        plus(sum.columns, other.columns);
        // Up to 1296 per roll: bounded by the rolls' own bound times 1296.
        fits = fits && other.bustingOutcomes <= outcomes * maxCount &&
               sum.bustingOutcomes <= outcomes * maxCount - other.bustingOutcomes;
        if (!fits)
            return false;
        sum.bustingOutcomes += other.bustingOutcomes;
        *this = sum;
        return true;
    }

    friend bool operator==(const DiceCounts&, const DiceCounts&) = default;
};
