#pragma once

#include "social/audio/PcmSound.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A RIFF WAVE file read from memory: its format chunk, the sample count of
// an optional fact chunk and the bytes of the data chunk. Every length and
// offset is checked against the buffer, so damaged or hostile input is
// refused with a reason and never read out of bounds. Accepted are PCM of 8
// or 16 bits (also inside an extensible format chunk) and MPEG layer-3
// frames (format tag 0x55), which Mp3Decoder turns into PCM.
class RiffWave {
public:
    enum class Encoding { Pcm, MpegLayer3 };

    static constexpr quint16 TagPcm = 0x0001;
    static constexpr quint16 TagMpegLayer3 = 0x0055;
    static constexpr quint16 TagExtensible = 0xFFFE;
    static constexpr int MaxChannels = 8;
    static constexpr int MaxSampleRate = 384000;

    // The parsed file, or nothing with the reason in *error.
    static std::optional<RiffWave> parse(const QByteArray& file, QString* error = nullptr);

    Encoding encoding() const { return m_encoding; }
    // The tag as written; an extensible chunk reports its sub-format's tag.
    quint16 formatTag() const { return m_formatTag; }
    int channels() const { return m_channels; }
    int sampleRate() const { return m_sampleRate; }
    // 8 or 16 for PCM; 0 for layer 3, whose frames have no fixed sample size.
    int bitsPerSample() const { return m_bitsPerSample; }
    quint32 averageBytesPerSecond() const { return m_averageBytesPerSecond; }
    // For layer 3: the samples of decoder output that come before the sound
    // (nCodecDelay of the format chunk); 0 when not given.
    int codecDelay() const { return m_codecDelay; }
    // Samples per channel declared by the fact chunk, if there is one.
    std::optional<quint32> factSamples() const { return m_factSamples; }
    // The data chunk; for PCM cut to whole frames.
    const QByteArray& data() const { return m_data; }

    // The playing time: from the frames for PCM; for layer 3 from the fact
    // chunk or, without one, from the average byte rate.
    double seconds() const;
    // The samples of a PCM file in a sink's terms (8-bit unsigned or 16-bit
    // signed); empty for layer 3.
    PcmSound pcm() const;

private:
    RiffWave() = default; // only parse() makes one, always valid

    Encoding m_encoding = Encoding::Pcm;
    quint16 m_formatTag = 0;
    int m_channels = 0;
    int m_sampleRate = 0;
    int m_bitsPerSample = 0;
    quint32 m_averageBytesPerSecond = 0;
    int m_codecDelay = 0;
    std::optional<quint32> m_factSamples;
    QByteArray m_data;
};
