#include "game/DiceFairness.h"

#include <cmath>
#include <limits>

namespace {

constexpr int degreesOfFreedom = 5;
constexpr int maxIterations = 500;
constexpr double epsilon = 1e-15;

// P(a, x) by its power series; converges quickly for x < a + 1.
double lowerSeries(double a, double x) {
    double term = 1.0 / a;
    double sum = term;
    for (int n = 1; n < maxIterations; ++n) {
        term *= x / (a + n);
        sum += term;
        if (std::fabs(term) < std::fabs(sum) * epsilon)
            break;
    }
    return sum * std::exp(-x + a * std::log(x) - std::lgamma(a));
}

// Q(a, x) by its continued fraction (modified Lentz); for x >= a + 1.
double upperFraction(double a, double x) {
    constexpr double tiny = 1e-300;
    double b = x + 1.0 - a;
    double c = 1.0 / tiny;
    double d = 1.0 / b;
    double h = d;
    for (int n = 1; n < maxIterations; ++n) {
        const double an = -n * (n - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < tiny)
            d = tiny;
        c = b + an / c;
        if (std::fabs(c) < tiny)
            c = tiny;
        d = 1.0 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1.0) < epsilon)
            break;
    }
    return std::exp(-x + a * std::log(x) - std::lgamma(a)) * h;
}

} // namespace

double DiceFairness::upperGamma(double a, double x) {
    if (!(x > 0) || !(a > 0))
        return 1.0;
    if (std::isinf(x))
        return 0.0;
    const double q = x < a + 1.0 ? 1.0 - lowerSeries(a, x) : upperFraction(a, x);
    return std::fmin(1.0, std::fmax(0.0, q));
}

DiceFairness::DiceFairness(const std::array<std::uint64_t, 6>& counts) {
    // Summed as doubles: six counts near 2^64 would overflow a 64-bit total,
    // and a double keeps far more precision than the verdict needs.
    for (std::uint64_t count : counts)
        m_total += double(count);
    if (m_total <= 0)
        return;
    const double expected = m_total / 6.0;
    for (std::uint64_t count : counts) {
        const double difference = double(count) - expected;
        m_chiSquare += difference / expected * difference;
    }
    m_pValue = upperGamma(degreesOfFreedom / 2.0, m_chiSquare / 2.0);
}

std::string DiceFairness::verdict() const {
    if (m_pValue >= threshold)
        return "nothing unusual";
    const double odds = 1.0 / m_pValue; // infinite when p underflowed to 0
    if (!(odds <= largestOdds))
        return "unusual, 1 in more than 1000000000000000000";
    return "unusual, 1 in " + std::to_string(static_cast<long long>(std::floor(odds + 0.5)));
}
