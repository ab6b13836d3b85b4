#include "social/audio/RiffWave.h"

#include <QtEndian>

namespace {

// Little-endian reads at an offset the caller has checked.
quint16 u16(const QByteArray& bytes, qint64 at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}
quint32 u32(const QByteArray& bytes, qint64 at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// Where a chunk's body lies in the file.
struct Span {
    qint64 offset = -1;
    qint64 size = 0;
    bool found() const { return offset >= 0; }
};

} // namespace

std::optional<RiffWave> RiffWave::parse(const QByteArray& file, QString* error) {
    auto refuse = [error](const QString& reason) -> std::optional<RiffWave> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (file.size() < 12)
        return refuse("too short for a RIFF header");
    if (!file.startsWith("RIFF") || file.mid(8, 4) != "WAVE")
        return refuse("not a RIFF WAVE file");
    const qint64 end = 8 + qint64(u32(file, 4));
    if (end > file.size())
        return refuse("truncated: the RIFF size exceeds the file");

    Span fmt, fact, data;
    qint64 at = 12;
    while (at + 8 <= end) {
        const QByteArray id = file.mid(at, 4);
        const qint64 size = u32(file, at + 4);
        const qint64 body = at + 8;
        if (body + size > end)
            return refuse("truncated: chunk '" + QString::fromLatin1(id) + "' runs past the end");
        // The first chunk of each kind counts; repeats are ignored.
        Span* span = id == "fmt " ? &fmt : id == "fact" ? &fact : id == "data" ? &data : nullptr;
        if (span && !span->found())
            *span = {body, size};
        // Chunks start on even offsets; a missing pad byte after the last chunk is tolerated.
        at = body + size + (size & 1);
    }
    if (!fmt.found())
        return refuse("no format chunk");
    if (!data.found())
        return refuse("no data chunk");
    if (fmt.size < 16)
        return refuse("format chunk too short");

    RiffWave wave;
    const qint64 f = fmt.offset;
    quint16 tag = u16(file, f);
    wave.m_channels = u16(file, f + 2);
    const quint32 rate = u32(file, f + 4);
    wave.m_averageBytesPerSecond = u32(file, f + 8);
    const int blockAlign = u16(file, f + 12);
    const int bits = u16(file, f + 14);
    if (tag == TagExtensible) {
        // WAVEFORMATEXTENSIBLE: cbSize 22, then valid bits, channel mask and
        // the sub-format GUID, whose first two bytes are the actual tag.
        if (fmt.size < 40 || u16(file, f + 16) < 22)
            return refuse("extensible format chunk too short");
        tag = u16(file, f + 24);
    }
    wave.m_formatTag = tag;

    if (wave.m_channels < 1 || wave.m_channels > MaxChannels)
        return refuse(QString("unsupported channel count %1").arg(wave.m_channels));
    if (rate < 1 || rate > quint32(MaxSampleRate))
        return refuse(QString("unsupported sample rate %1").arg(rate));
    wave.m_sampleRate = int(rate);

    if (fact.found() && fact.size >= 4)
        wave.m_factSamples = u32(file, fact.offset);

    if (tag == TagPcm) {
        if (bits != 8 && bits != 16)
            return refuse(QString("unsupported sample size %1 bits").arg(bits));
        if (blockAlign != wave.m_channels * bits / 8)
            return refuse("block alignment does not match the sample format");
        wave.m_encoding = Encoding::Pcm;
        wave.m_bitsPerSample = bits;
        wave.m_data = file.mid(data.offset, data.size - data.size % blockAlign);
    } else if (tag == TagMpegLayer3) {
        if (wave.m_channels > 2)
            return refuse("layer-3 audio has at most two channels");
        wave.m_encoding = Encoding::MpegLayer3;
        wave.m_bitsPerSample = 0;
        // MPEGLAYER3WAVEFORMAT: cbSize 12, wID, fdwFlags, nBlockSize,
        // nFramesPerBlock, nCodecDelay.
        if (fmt.size >= 30 && u16(file, f + 16) >= 12)
            wave.m_codecDelay = u16(file, f + 28);
        wave.m_data = file.mid(data.offset, data.size);
    } else {
        return refuse(QString("unsupported format tag 0x%1").arg(tag, 4, 16, QChar('0')));
    }
    return wave;
}

double RiffWave::seconds() const {
    if (m_encoding == Encoding::Pcm) {
        const int frameBytes = m_channels * m_bitsPerSample / 8;
        return double(m_data.size() / frameBytes) / m_sampleRate;
    }
    if (m_factSamples)
        return double(*m_factSamples) / m_sampleRate;
    return m_averageBytesPerSecond ? double(m_data.size()) / m_averageBytesPerSecond : 0.0;
}

PcmSound RiffWave::pcm() const {
    PcmSound sound;
    if (m_encoding != Encoding::Pcm)
        return sound;
    sound.format.setSampleRate(m_sampleRate);
    sound.format.setChannelCount(m_channels);
    sound.format.setSampleFormat(m_bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    sound.samples = m_data;
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    if (m_bitsPerSample == 16) {
        auto* s = reinterpret_cast<quint16*>(sound.samples.data());
        for (qsizetype i = 0; i < sound.samples.size() / 2; ++i)
            s[i] = qFromLittleEndian(s[i]);
    }
#endif
    return sound;
}
