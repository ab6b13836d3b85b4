#pragma once

#include <QString>

// Where every sound of the program goes: game sounds and chatter sounds
// alike. The name is that of a recording ("dice", "wave13"), in any letter
// case. play() returns at once; a new sound cuts off the one playing. The
// program plays through WavePlayer; tests record the calls instead.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;

    virtual void play(const QString& name) = 0;
};
