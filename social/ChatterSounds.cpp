#include "social/ChatterSounds.h"

#include <array>

namespace {
constexpr std::array<const char*, ChatterSounds::count + 1> captions{
    "<Cancel>",       "Doh",          "Cough",  "Hello",   "Thank You", "Where have you been?",
    "Snoring",        "Sneezing",     "Sorry",  "Welcome", "Yeehaa",    "Yippee",
    "Oh No",          "Applause",     "Honk",   "Oooh",    "Razzberry", "Cheer",
    "Woman Laughing", "Man Laughing", "Crying",
};
} // namespace

QString ChatterSounds::caption(int n) {
    if (n < 0 || n > count)
        return QString();
    return QString::fromLatin1(captions[size_t(n)]);
}

int ChatterSounds::number(const QString& name) {
    for (int n = 1; n <= count; ++n)
        if (name.compare(ChatterSounds::name(n), Qt::CaseInsensitive) == 0)
            return n;
    return 0;
}
