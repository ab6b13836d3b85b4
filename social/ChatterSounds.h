#pragma once

#include <QString>

// The twenty chatter sounds: their numbers, the names of their recordings
// ("wave1" to "wave20", also the names of their items in the chatter menu)
// and the captions of those items. Number 0 is the menu's "<Cancel>".
class ChatterSounds {
public:
    ChatterSounds() = delete;

    static constexpr int count = 20;

    // The caption of item n (0 to 20); empty for any other number.
    static QString caption(int n);
    // "wave" and the number.
    static QString name(int n) { return QStringLiteral("wave") + QString::number(n); }
    // The number of a sound name "wave1" to "wave20", in any letter case;
    // 0 for any other text.
    static int number(const QString& name);
};
