#include "net/DiscoveredText.h"

#include <QChar>
#include <QList>

#include <algorithm>

namespace {

// More than any shown name needs, so a huge one is not decoded whole.
constexpr std::size_t maxDecodedBytes = 1024;

} // namespace

bool DiscoveredText::isHidden(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format: // among them the direction marks, embeddings and overrides
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Surrogate:
        return true;
    default:
        return false;
    }
}

QString DiscoveredText::plainName(std::string_view raw, int maxLength) {
    raw = raw.substr(0, std::min(raw.size(), maxDecodedBytes));
    const QList<uint> decoded = QString::fromUtf8(raw.data(), qsizetype(raw.size())).toUcs4();
    std::u32string kept;
    bool blank = false;
    for (uint u : decoded) {
        const char32_t c = u;
        if (isHidden(c))
            continue;
        if (QChar::isSpace(c)) {
            blank = !kept.empty();
            continue;
        }
        if (blank)
            kept += U' ';
        blank = false;
        kept += c;
    }
    if (maxLength > 0 && kept.size() > std::size_t(maxLength)) {
        kept.resize(std::size_t(maxLength) - 1);
        while (!kept.empty() && kept.back() == U' ')
            kept.pop_back();
        kept += U'\u2026';
    }
    return QString::fromUcs4(kept.data(), qsizetype(kept.size()));
}

int DiscoveredText::playerCount(const std::vector<std::string>& txt) {
    constexpr std::string_view key = "players";
    for (const std::string& entry : txt) {
        const std::string_view item(entry);
        const std::size_t equals = item.find('=');
        const std::string_view name = item.substr(0, equals);
        const bool same = name.size() == key.size() &&
                          std::equal(name.begin(), name.end(), key.begin(), [](char a, char b) {
                              return QChar::toLower(char16_t(uchar(a))) == char16_t(uchar(b));
                          });
        if (!same)
            continue;
        // Only the first "players" counts, even when it is wrong.
        if (equals == std::string_view::npos)
            return -1;
        const std::string_view value = item.substr(equals + 1);
        if (value.empty() || value.size() > 2 ||
            !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return -1;
        const int count = std::stoi(std::string(value));
        return count <= maxPlayers ? count : -1;
    }
    return -1;
}
