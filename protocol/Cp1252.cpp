#include "protocol/Cp1252.h"

#include <QList>

#include <array>

namespace {
// Unicode values of the bytes 0x80 to 0x9F; 0 marks the five unassigned bytes,
// which are taken as the C1 control of the same number.
constexpr std::array<char16_t, 32> high = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
} // namespace

QByteArray cp1252::fromUnicode(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    const auto units = text.toUcs4();
    for (char32_t c : units) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.append(char(c));
            continue;
        }
        char byte = '?';
        for (int i = 0; i < 32; ++i) {
            // An unassigned byte read in as its C1 control goes back as itself,
            // so a name the server sent keeps its bytes when it is sent again.
            if ((high[i] != 0 && high[i] == c) || (high[i] == 0 && c == char32_t(0x80 + i))) {
                byte = char(0x80 + i);
                break;
            }
        }
        out.append(byte);
    }
    return out;
}

QString cp1252::toUnicode(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b <= 0x9F && high[b - 0x80] != 0)
            out.append(QChar(high[b - 0x80]));
        else
            out.append(QChar(b));
    }
    return out;
}
