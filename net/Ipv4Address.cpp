#include "net/Ipv4Address.h"

#include <array>

namespace {

struct Range {
    std::uint32_t base;
    int prefix;
};

constexpr std::uint32_t address(int a, int b, int c, int d) {
    return std::uint32_t(a) << 24 | std::uint32_t(b) << 16 | std::uint32_t(c) << 8 |
           std::uint32_t(d);
}

// The IANA special-purpose ranges that are not globally reachable.
constexpr std::array<Range, 16> notPublic = {{
    {address(0, 0, 0, 0), 8},       // "this network"
    {address(10, 0, 0, 0), 8},      // private
    {address(100, 64, 0, 0), 10},   // shared address space (carrier-grade NAT)
    {address(127, 0, 0, 0), 8},     // loopback
    {address(169, 254, 0, 0), 16},  // link-local
    {address(172, 16, 0, 0), 12},   // private
    {address(192, 0, 0, 0), 24},    // protocol assignments
    {address(192, 0, 2, 0), 24},    // documentation
    {address(192, 31, 196, 0), 24}, // AS112
    {address(192, 52, 193, 0), 24}, // AMT
    {address(192, 168, 0, 0), 16},  // private
    {address(198, 18, 0, 0), 15},   // benchmarking
    {address(198, 51, 100, 0), 24}, // documentation
    {address(203, 0, 113, 0), 24},  // documentation
    {address(224, 0, 0, 0), 4},     // multicast
    {address(240, 0, 0, 0), 4},     // reserved and broadcast
}};

bool inRange(std::uint32_t value, const Range& range) {
    const std::uint32_t mask = range.prefix == 0 ? 0 : ~std::uint32_t(0) << (32 - range.prefix);
    return (value & mask) == (range.base & mask);
}

} // namespace

std::optional<Ipv4Address> Ipv4Address::parse(std::string_view text) {
    if (text.empty() || text.size() > 15)
        return std::nullopt;
    std::uint32_t value = 0;
    int parts = 0;
    std::size_t i = 0;
    while (true) {
        const std::size_t start = i;
        int number = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3) {
            number = number * 10 + (text[i] - '0');
            ++i;
        }
        const std::size_t digits = i - start;
        if (digits == 0 || number > 255 || (digits > 1 && text[start] == '0'))
            return std::nullopt;
        value = value << 8 | std::uint32_t(number);
        ++parts;
        if (parts == 4)
            break;
        if (i >= text.size() || text[i] != '.')
            return std::nullopt;
        ++i;
    }
    if (i != text.size())
        return std::nullopt;
    return Ipv4Address(value);
}

bool Ipv4Address::isPublic() const {
    for (const Range& range : notPublic) {
        if (inRange(m_value, range))
            return false;
    }
    return true;
}

bool Ipv4Address::isCarrierGrade() const {
    return inRange(m_value, {address(100, 64, 0, 0), 10});
}

std::string Ipv4Address::toString() const {
    return std::to_string(m_value >> 24) + '.' + std::to_string(m_value >> 16 & 0xFF) + '.' +
           std::to_string(m_value >> 8 & 0xFF) + '.' + std::to_string(m_value & 0xFF);
}
