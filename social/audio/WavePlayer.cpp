#include "social/audio/WavePlayer.h"

#include "social/audio/Mp3Decoder.h"
#include "social/audio/PcmConverter.h"
#include "social/audio/RiffWave.h"

#include <QAudioSink>
#include <QFile>
#include <QMediaDevices>

WavePlayer::WavePlayer(QObject* parent)
    : WavePlayer([] { return QMediaDevices::defaultAudioOutput(); }, parent) {}

WavePlayer::WavePlayer(DeviceSource devices, QObject* parent)
    : QObject(parent), m_devices(std::move(devices)) {}

WavePlayer::~WavePlayer() {
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
        m_sink.reset();
    }
}

QString WavePlayer::resourcePath(const QString& name) {
    if (name.isEmpty() || name.size() > 64)
        return {};
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != '_')
            return {};
    }
    return ":/sounds/" + name.toUpper();
}

std::optional<PcmSound> WavePlayer::decode(const QByteArray& file, QString* error) {
    const std::optional<RiffWave> wave = RiffWave::parse(file, error);
    if (!wave)
        return std::nullopt;
    if (wave->encoding() == RiffWave::Encoding::Pcm)
        return wave->pcm();

    std::optional<PcmSound> sound = Mp3Decoder::decode(wave->data(), error);
    if (!sound)
        return sound;
    const qint64 frameBytes = sound->format.bytesPerFrame();
    const qint64 skip = qMin(qint64(wave->codecDelay()) * frameBytes, sound->samples.size());
    sound->samples.remove(0, skip);
    if (wave->factSamples()) {
        const qint64 bytes = qint64(*wave->factSamples()) * frameBytes;
        if (bytes < sound->samples.size())
            sound->samples.truncate(bytes);
    }
    return sound;
}

WavePlayer::Entry& WavePlayer::entry(const QString& key) {
    auto found = m_cache.find(key);
    if (found != m_cache.end())
        return found->second;
    // A failed read is remembered too, so a broken sound costs one attempt only.
    Entry& fresh = m_cache[key];
    QFile file(resourcePath(key));
    if (file.open(QIODevice::ReadOnly))
        fresh.sound = decode(file.readAll());
    return fresh;
}

const PcmSound* WavePlayer::sound(const QString& name) {
    if (resourcePath(name).isEmpty())
        return nullptr;
    Entry& e = entry(name.toUpper());
    return e.sound ? &*e.sound : nullptr;
}

const PcmSound* WavePlayer::playable(Entry& e, const QAudioDevice& device) {
    if (!e.sound || e.sound->samples.isEmpty())
        return nullptr;
    if (device.isFormatSupported(e.sound->format))
        return &*e.sound;
    const QAudioFormat preferred = device.preferredFormat();
    if (!preferred.isValid())
        return nullptr;
    if (e.convertedFormat != preferred) {
        e.converted = PcmConverter::convert(*e.sound, preferred);
        e.convertedFormat = preferred;
    }
    return e.converted.samples.isEmpty() ? nullptr : &e.converted;
}

void WavePlayer::play(const QString& name) {
    if (resourcePath(name).isEmpty())
        return;
    const QAudioDevice device = m_devices ? m_devices() : QAudioDevice();
    if (device.isNull())
        return;
    const PcmSound* samples = playable(entry(name.toUpper()), device);
    if (!samples)
        return;
    startSink(device, *samples);
}

void WavePlayer::startSink(const QAudioDevice& device, const PcmSound& sound) {
    // A sink of the same device and format is restarted, anything else replaced.
    if (m_sink)
        m_sink->stop();
    if (m_sink && (m_sinkDevice != device || m_sink->format() != sound.format)) {
        m_sink->disconnect(this);
        m_sink.reset();
    }
    m_buffer.close();
    m_buffer.setData(sound.samples); // shares the cached bytes, no copy
    m_buffer.open(QIODevice::ReadOnly);
    if (!m_sink) {
        m_sink = std::make_unique<QAudioSink>(device, sound.format);
        m_sinkDevice = device;
        connect(m_sink.get(), &QAudioSink::stateChanged, this, &WavePlayer::sinkStateChanged);
    }
    m_sink->start(&m_buffer);
    if (m_sink->error() != QAudio::NoError)
        stop(); // playback failures are not reported
}

void WavePlayer::sinkStateChanged() {
    // Once the sound has played out the sink is stopped, which gives the
    // device back. The state is checked again later, since a new sound may
    // have been started in the meantime.
    if (!m_sink || m_sink->state() != QAudio::IdleState || !m_buffer.atEnd())
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_sink && m_sink->state() == QAudio::IdleState && m_buffer.atEnd())
                stop();
        },
        Qt::QueuedConnection);
}

void WavePlayer::stop() {
    if (m_sink)
        m_sink->stop();
    m_buffer.close();
}

bool WavePlayer::isPlaying() const {
    return m_sink && m_sink->state() == QAudio::ActiveState;
}
