#pragma once

#include <QAudioFormat>
#include <QByteArray>

// Decoded audio ready for an audio sink: interleaved samples in the given
// format (native byte order).
struct PcmSound {
    QAudioFormat format;
    QByteArray samples;

    qint64 frames() const {
        const int frameBytes = format.bytesPerFrame();
        return frameBytes > 0 ? samples.size() / frameBytes : 0;
    }
    double seconds() const {
        return format.sampleRate() > 0 ? double(frames()) / format.sampleRate() : 0.0;
    }
};
