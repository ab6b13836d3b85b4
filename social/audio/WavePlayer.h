#pragma once

#include "social/SoundOutput.h"
#include "social/audio/PcmSound.h"

#include <QAudioDevice>
#include <QBuffer>
#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QAudioSink;

// Plays the wave recordings stored in the program's resources (":/sounds/",
// upper-case names) on the default audio output, without waiting: play()
// starts the sound and returns, and a new sound stops the one playing.
//
// Files are read and decoded on their first use and kept decoded, so the
// start of the program decodes nothing and a sound played again starts at
// once. PCM goes to the sink in its own format where the device takes it,
// else converted to the device's preferred format; layer-3 recordings are
// decoded first. Without an audio device, and for a name that is no sound,
// play() does nothing at all: no error, no message, no delay.
class WavePlayer : public QObject, public SoundOutput {
    Q_OBJECT
public:
    // Tells which audio output to use; asked on every play(), so a device
    // plugged in later is found. It may give a null device.
    using DeviceSource = std::function<QAudioDevice()>;

    explicit WavePlayer(QObject* parent = nullptr);
    explicit WavePlayer(DeviceSource devices, QObject* parent = nullptr);
    ~WavePlayer() override;

    void play(const QString& name) override;
    // Stops the sound playing, if any.
    void stop();
    bool isPlaying() const;

    // The decoded sound of that name (any letter case), decoding it on first
    // use; nullptr when there is no such resource or it cannot be decoded.
    const PcmSound* sound(const QString& name);

    // ":/sounds/NAME" for a sound name, or an empty text for one that cannot
    // be a resource name (only letters, digits and '_' are).
    static QString resourcePath(const QString& name);
    // Decodes a whole wave file, PCM or layer 3. A layer-3 sound loses the
    // codec delay at its start and is cut to the sample count of its fact
    // chunk, which leaves out the encoder's padding at the end.
    static std::optional<PcmSound> decode(const QByteArray& file, QString* error = nullptr);

private:
    struct Entry {
        std::optional<PcmSound> sound;
        PcmSound converted; // the sound in m_convertedFormat, for a device that needs it
        QAudioFormat convertedFormat;
    };

    Entry& entry(const QString& key);
    // The samples to hand to this device, converted if it needs that; nullptr if it cannot play
    // them.
    const PcmSound* playable(Entry& entry, const QAudioDevice& device);
    void startSink(const QAudioDevice& device, const PcmSound& sound);
    void sinkStateChanged();

    DeviceSource m_devices;
    std::map<QString, Entry> m_cache;
    QBuffer m_buffer; // declared before the sink, which reads it, so it outlives it
    std::unique_ptr<QAudioSink> m_sink;
    QAudioDevice m_sinkDevice;
};
