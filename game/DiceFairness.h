#pragma once

#include <array>
#include <cstdint>
#include <string>

// Whether six face counts look like a fair die: Pearson's chi-square against
// an even sixth per face, and the chance of a value at least that large from
// fair dice (five degrees of freedom).
class DiceFairness {
public:
    static constexpr double threshold = 0.05;
    // Beyond this the verdict says "more than" instead of a number.
    static constexpr double largestOdds = 1e18;

    explicit DiceFairness(const std::array<std::uint64_t, 6>& counts);

    double total() const { return m_total; }
    // 0 when nothing was counted.
    double chiSquare() const { return m_chiSquare; }
    // 1 when nothing was counted; never NaN.
    double pValue() const { return m_pValue; }
    // "nothing unusual" when the p-value is at least 0.05, else
    // "unusual, 1 in N" with N the nearest whole number to 1/p (halves
    // upward).
    std::string verdict() const;

    // The regularized upper incomplete gamma function Q(a, x) for a > 0 and
    // x >= 0; 1 for x <= 0 or NaN.
    static double upperGamma(double a, double x);

private:
    double m_total = 0;
    double m_chiSquare = 0;
    double m_pValue = 1;
};
