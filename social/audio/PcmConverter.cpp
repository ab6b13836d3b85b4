#include "social/audio/PcmConverter.h"

#include <QtGlobal>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

bool usable(const QAudioFormat& format) {
    return format.sampleRate() > 0 && format.channelCount() > 0 &&
           format.sampleFormat() != QAudioFormat::Unknown;
}

float readSample(const char* at, QAudioFormat::SampleFormat format) {
    switch (format) {
    case QAudioFormat::UInt8:
        return (float(quint8(*at)) - 128.0f) / 128.0f;
    case QAudioFormat::Int16: {
        qint16 v;
        std::memcpy(&v, at, sizeof v);
        return float(v) / 32768.0f;
    }
    case QAudioFormat::Int32: {
        qint32 v;
        std::memcpy(&v, at, sizeof v);
        return float(double(v) / 2147483648.0);
    }
    case QAudioFormat::Float: {
        float v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    default:
        return 0.0f;
    }
}

void writeSample(char* at, QAudioFormat::SampleFormat format, float value) {
    value = qBound(-1.0f, value, 1.0f);
    switch (format) {
    case QAudioFormat::UInt8:
        *at = char(quint8(qBound(0, int(std::lround(value * 128.0f + 128.0f)), 255)));
        break;
    case QAudioFormat::Int16: {
        const auto v = qint16(qBound(-32768L, std::lround(value * 32768.0f), 32767L));
        std::memcpy(at, &v, sizeof v);
        break;
    }
    case QAudioFormat::Int32: {
        const auto v =
            qint32(qBound(-2147483648.0, std::round(double(value) * 2147483648.0), 2147483647.0));
        std::memcpy(at, &v, sizeof v);
        break;
    }
    case QAudioFormat::Float:
        std::memcpy(at, &value, sizeof value);
        break;
    default:
        break;
    }
}

} // namespace

PcmSound PcmConverter::convert(const PcmSound& sound, const QAudioFormat& target) {
    PcmSound out;
    if (!usable(sound.format) || !usable(target))
        return out;
    out.format = target;

    // Read into float frames of the target's channel layout.
    const int inChannels = sound.format.channelCount();
    const int outChannels = target.channelCount();
    const int inSampleBytes = sound.format.bytesPerSample();
    const qint64 inFrames = sound.frames();
    std::vector<float> mixed(size_t(inFrames) * size_t(outChannels));
    for (qint64 i = 0; i < inFrames; ++i) {
        const char* frame = sound.samples.constData() + i * sound.format.bytesPerFrame();
        float* dest = &mixed[size_t(i) * size_t(outChannels)];
        if (outChannels == 1 && inChannels > 1) {
            float sum = 0.0f;
            for (int c = 0; c < inChannels; ++c)
                sum += readSample(frame + c * inSampleBytes, sound.format.sampleFormat());
            dest[0] = sum / float(inChannels);
        } else {
            for (int c = 0; c < outChannels; ++c)
                dest[c] = readSample(frame + (c % inChannels) * inSampleBytes,
                                     sound.format.sampleFormat());
        }
    }

    // Resample and write.
    const double step = double(sound.format.sampleRate()) / target.sampleRate();
    const qint64 outFrames =
        inFrames == 0 ? 0 : qMax<qint64>(1, std::llround(double(inFrames) / step));
    const int outSampleBytes = target.bytesPerSample();
    out.samples.resize(outFrames * target.bytesPerFrame());
    for (qint64 j = 0; j < outFrames; ++j) {
        const double pos = double(j) * step;
        const qint64 i0 = qMin<qint64>(qint64(pos), inFrames - 1);
        const qint64 i1 = qMin<qint64>(i0 + 1, inFrames - 1);
        const float t = float(pos - double(i0));
        char* frame = out.samples.data() + j * target.bytesPerFrame();
        for (int c = 0; c < outChannels; ++c) {
            const float a = mixed[size_t(i0) * size_t(outChannels) + size_t(c)];
            const float b = mixed[size_t(i1) * size_t(outChannels) + size_t(c)];
            writeSample(frame + c * outSampleBytes, target.sampleFormat(), a + (b - a) * t);
        }
    }
    return out;
}
