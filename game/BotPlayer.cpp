#include "game/BotPlayer.h"

#include <cctype>

std::optional<BotLevel> botlevel::fromKey(std::string_view text) {
    auto same = [text](std::string_view key) {
        if (text.size() != key.size())
            return false;
        for (std::size_t i = 0; i < key.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(text[i])) != key[i])
                return false;
        return true;
    };
    for (BotLevel level : {BotLevel::Classic, BotLevel::Strong})
        if (same(key(level)))
            return level;
    return std::nullopt;
}
