#pragma once

#include "social/audio/PcmSound.h"

// Converts decoded audio to the format an audio device asks for, when the
// device cannot take the sound's own: any of the four sample formats, any
// channel count (mono is copied to every channel, more channels are mixed
// down to mono, otherwise channels are taken in turn), and any rate (linear
// interpolation, which is plenty for short effect sounds).
class PcmConverter {
public:
    // The converted sound; empty when either format is unusable.
    static PcmSound convert(const PcmSound& sound, const QAudioFormat& target);
};
