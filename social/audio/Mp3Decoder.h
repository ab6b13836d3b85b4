#pragma once

#include "social/audio/PcmSound.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Decodes MPEG audio frames held in memory (the data chunk of a layer-3
// wave file) to 16-bit PCM with libmpg123, fed from memory. The output is
// every decoded frame, the encoder's delay at the start included: the wave
// container tells how much of it to drop and how long the sound is (an info
// frame is skipped, not decoded). Damaged frames are skipped the way the
// library resyncs; data with no decodable frame at all is refused.
class Mp3Decoder {
public:
    // The most decoded bytes accepted, against data that would unpack to
    // more than any sound of the program (about three minutes of stereo).
    static constexpr qint64 MaxOutputBytes = 32 * 1024 * 1024;

    static std::optional<PcmSound> decode(const QByteArray& frames, QString* error = nullptr);
};
