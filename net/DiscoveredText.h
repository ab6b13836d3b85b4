#pragma once

#include <QChar>
#include <QString>

#include <string>
#include <string_view>
#include <vector>

// Turns what a game's announcement says into what may be shown and used.
// Everything heard on the network is untrusted: names are made plain,
// printable and short; numbers are taken only when they are plainly numbers
// in range.
class DiscoveredText {
public:
    static constexpr int maxNameLength = 40;
    static constexpr int maxHostNameLength = 64;
    static constexpr int maxPlayers = 4;

    // Characters never shown from untrusted text: controls, format
    // characters (the direction marks and overrides among them), line and
    // paragraph separators, lone surrogates.
    static bool isHidden(char32_t c);
    // The same for one UTF-16 unit of a text; a surrogate half is part of a
    // character, not hidden by itself.
    static bool isHidden(QChar unit) {
        return !unit.isSurrogate() && isHidden(char32_t(unit.unicode()));
    }

    // The text as UTF-8 (invalid sequences replaced) without control, bidi
    // override and line separator characters, blanks run together and
    // trimmed; longer than maxLength characters it is cut and ends with "…".
    static QString plainName(std::string_view raw, int maxLength = maxNameLength);

    // The value of "players=" among the TXT strings (the key in any case,
    // the first one counting): a count of 0 to maxPlayers in decimal digits,
    // or -1 when there is none or it is anything else.
    static int playerCount(const std::vector<std::string>& txt);
};
