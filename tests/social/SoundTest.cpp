// The recorded sounds, the wave reader, the layer-3 decoder, the format
// converter and the player.
#include "social/SoundModule.h"
#include "social/audio/Mp3Decoder.h"
#include "social/audio/PcmConverter.h"
#include "social/audio/RiffWave.h"
#include "social/audio/WavePlayer.h"

#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <functional>

namespace {

QByteArray resource(const QString& name) {
    QFile file(":/sounds/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Recording {
    const char* name;
    quint16 tag;
    int bits; // 0 for layer 3
    int channels;
    int rate;
    double seconds;
};

constexpr quint16 Pcm = RiffWave::TagPcm;
constexpr quint16 Mp3 = RiffWave::TagMpegLayer3;

// The game's sounds and their formats; the chatter sounds' lengths are the
// ones the recordings were made with.
const Recording recordings[] = {
    {"CLICKDICE", Pcm, 8, 1, 11025, 0.14},   {"UNSET", Pcm, 16, 1, 11025, 0.29},
    {"INVALID", Pcm, 8, 1, 11025, 0.25},     {"DICE", Pcm, 8, 1, 22050, 0.76},
    {"TURNOVERBAD", Pcm, 8, 1, 11025, 0.78}, {"PLACECHIP", Pcm, 16, 1, 44100, 0.22},
    {"ROWCOMPLETE", Pcm, 8, 1, 22050, 1.00}, {"TURNOVERGOOD", Pcm, 8, 1, 22050, 1.06},
    {"TURN", Pcm, 16, 2, 11025, 0.57},       {"TURNNEW", Pcm, 8, 1, 44100, 0.43},
    {"WINNER", Pcm, 16, 1, 22050, 2.79},     {"ENTERED", Pcm, 8, 1, 11025, 0.79},
    {"WAVE1", Pcm, 8, 1, 11025, 0.56},       {"WAVE2", Pcm, 8, 1, 11025, 0.70},
    {"WAVE3", Pcm, 8, 1, 11025, 0.75},       {"WAVE4", Pcm, 8, 1, 11025, 0.88},
    {"WAVE5", Pcm, 8, 1, 11025, 1.15},       {"WAVE6", Mp3, 0, 1, 22050, 4.97},
    {"WAVE7", Pcm, 8, 1, 11025, 1.50},       {"WAVE8", Pcm, 8, 1, 11025, 0.70},
    {"WAVE9", Pcm, 8, 1, 11025, 0.85},       {"WAVE10", Pcm, 8, 1, 11025, 0.80},
    {"WAVE11", Pcm, 8, 1, 11025, 0.70},      {"WAVE12", Pcm, 8, 1, 11025, 0.80},
    {"WAVE13", Pcm, 8, 1, 11025, 3.50},      {"WAVE14", Pcm, 8, 1, 11025, 0.24},
    {"WAVE15", Mp3, 0, 1, 22050, 1.30},      {"WAVE16", Mp3, 0, 1, 22050, 1.20},
    {"WAVE17", Mp3, 0, 1, 22050, 2.60},      {"WAVE18", Pcm, 8, 1, 11025, 1.20},
    {"WAVE19", Pcm, 8, 1, 11025, 1.25},      {"WAVE20", Mp3, 0, 1, 22050, 2.60},
};

// Peak and RMS of 16-bit samples, as fractions of full scale.
std::pair<double, double> levels(const PcmSound& sound) {
    const auto* s = reinterpret_cast<const qint16*>(sound.samples.constData());
    const qsizetype n = sound.samples.size() / 2;
    double peak = 0, sum = 0;
    for (qsizetype i = 0; i < n; ++i) {
        peak = std::max(peak, std::abs(double(s[i])));
        sum += double(s[i]) * s[i];
    }
    return {peak / 32768.0, n ? std::sqrt(sum / n) / 32768.0 : 0.0};
}

// A wave file put together field by field, for headers the tools would never write.
struct WaveBuilder {
    quint16 tag = 1, channels = 1, blockAlign = 1, bits = 8;
    quint32 rate = 11025, byteRate = 11025;
    QByteArray fmtExtra;
    QByteArray before, after; // chunks around fmt and data
    QByteArray data = QByteArray(100, char(0x80));
    bool withFmt = true, withData = true;

    static QByteArray chunk(const char* id, const QByteArray& body) {
        QByteArray out(id, 4);
        char size[4];
        qToLittleEndian<quint32>(quint32(body.size()), size);
        out.append(size, 4).append(body);
        if (body.size() % 2)
            out.append('\0');
        return out;
    }
    QByteArray build() const {
        QByteArray fmt(16, '\0');
        qToLittleEndian<quint16>(tag, fmt.data());
        qToLittleEndian<quint16>(channels, fmt.data() + 2);
        qToLittleEndian<quint32>(rate, fmt.data() + 4);
        qToLittleEndian<quint32>(byteRate, fmt.data() + 8);
        qToLittleEndian<quint16>(blockAlign, fmt.data() + 12);
        qToLittleEndian<quint16>(bits, fmt.data() + 14);
        QByteArray body = "WAVE" + before;
        if (withFmt)
            body += chunk("fmt ", fmt + fmtExtra);
        if (withData)
            body += chunk("data", data);
        body += after;
        char size[4];
        qToLittleEndian<quint32>(quint32(body.size()), size);
        return "RIFF" + QByteArray(size, 4) + body;
    }
};

} // namespace

// Each recording the game asks for is in the program with the format and
// length it was made with; a missing or re-encoded file would play wrongly
// or not at all.
TEST(SoundCatalogue, EveryRecordingHasItsFormatAndLength) {
    for (const Recording& r : recordings) {
        SCOPED_TRACE(r.name);
        QString error;
        const QByteArray file = resource(r.name);
        ASSERT_FALSE(file.isEmpty());
        const auto wave = RiffWave::parse(file, &error);
        ASSERT_TRUE(wave) << error.toStdString();
        EXPECT_EQ(wave->formatTag(), r.tag);
        EXPECT_EQ(wave->bitsPerSample(), r.bits);
        EXPECT_EQ(wave->channels(), r.channels);
        EXPECT_EQ(wave->sampleRate(), r.rate);
        EXPECT_NEAR(wave->seconds(), r.seconds, r.seconds * 0.1);
        if (r.tag == Pcm) {
            EXPECT_NEAR(wave->pcm().seconds(), r.seconds, r.seconds * 0.1);
        }
    }
    EXPECT_EQ(std::size(recordings), 32u);
}

// The five compressed chatter sounds decode to audible, unclipped speech-level
// PCM of their stated length, and their declared sample count matches what
// the decoder yields once the encoder delay is dropped (a lost last frame
// shows here, and so does a delay dropped twice or not at all).
TEST(SoundCatalogue, LayerThreeRecordingsDecodeToPlausiblePcm) {
    int compressed = 0;
    for (const Recording& r : recordings) {
        if (r.tag != Mp3)
            continue;
        SCOPED_TRACE(r.name);
        ++compressed;
        const QByteArray file = resource(r.name);
        const auto wave = RiffWave::parse(file);
        ASSERT_TRUE(wave && wave->factSamples());

        QString error;
        const auto raw = Mp3Decoder::decode(wave->data(), &error);
        ASSERT_TRUE(raw) << error.toStdString();
        EXPECT_EQ(raw->format.sampleFormat(), QAudioFormat::Int16);
        EXPECT_EQ(raw->format.sampleRate(), r.rate);
        EXPECT_EQ(raw->format.channelCount(), r.channels);
        // lame's delay: a granule of 576 samples plus the decoder's 529.
        EXPECT_EQ(wave->codecDelay(), 1105);
        const qint64 wanted = qint64(*wave->factSamples()) + wave->codecDelay();
        EXPECT_GE(raw->frames(), wanted);
        EXPECT_LT(raw->frames(), wanted + 2 * 576);

        const auto sound = WavePlayer::decode(file, &error);
        ASSERT_TRUE(sound) << error.toStdString();
        EXPECT_EQ(sound->frames(), qint64(*wave->factSamples()));
        // The delay is gone: the sound starts within a few milliseconds.
        const auto* s = reinterpret_cast<const qint16*>(sound->samples.constData());
        int firstLoud = 0;
        while (firstLoud < sound->frames() && std::abs(s[firstLoud]) < 300)
            ++firstLoud;
        EXPECT_LT(firstLoud, r.rate / 10);
        EXPECT_NEAR(sound->seconds(), r.seconds, r.seconds * 0.1);
        const auto [peak, rms] = levels(*sound);
        EXPECT_GT(peak, 0.25);
        EXPECT_LT(peak, 1.0);
        EXPECT_GT(rms, 0.01);
    }
    EXPECT_EQ(compressed, 5);
}

// Names arrive in lower case from the game and the network; they find the
// upper-case resources, and nothing outside the sound folder can be named.
TEST(SoundCatalogue, NamesMatchWithoutRegardToCase) {
    WavePlayer player([] { return QAudioDevice(); });
    const PcmSound* dice = player.sound("dice");
    ASSERT_NE(dice, nullptr);
    EXPECT_EQ(player.sound("DICE"), dice);
    EXPECT_EQ(player.sound("DiCe"), dice);
    EXPECT_EQ(dice->format.sampleFormat(), QAudioFormat::UInt8);
    EXPECT_EQ(WavePlayer::resourcePath("wave13"), ":/sounds/WAVE13");
    for (const char* bad : {"", "nosuch", "../sounds/DICE", "dice.wav", "di ce", "wave13/"})
        EXPECT_EQ(player.sound(bad), nullptr) << bad;
}

// A file cut off anywhere, as a damaged resource would be, is refused rather
// than read past its end.
TEST(RiffWaveReader, EveryTruncationIsRefused) {
    for (const char* name : {"WAVE1", "UNSET", "WAVE16"}) {
        const QByteArray file = resource(name);
        ASSERT_TRUE(RiffWave::parse(file)) << name;
        for (qsizetype cut = 0; cut < file.size(); ++cut)
            ASSERT_FALSE(RiffWave::parse(file.left(cut))) << name << " cut at " << cut;
    }
}

// Random bytes, random chunk sizes behind a valid header, and damaged copies
// of real files never crash the reader or the decoders; whatever the reader
// accepts is consistent with itself.
TEST(RiffWaveReader, GarbageNeverCrashes) {
    QRandomGenerator random(1234);
    auto noise = [&](int size) {
        QByteArray bytes(size, '\0');
        for (char& b : bytes)
            b = char(random.bounded(256));
        return bytes;
    };
    for (int i = 0; i < 300; ++i) {
        EXPECT_FALSE(RiffWave::parse(noise(random.bounded(200))));
        Mp3Decoder::decode(noise(random.bounded(2000))); // must merely return
        QByteArray riff = "RIFF" + noise(4) + "WAVE" + noise(random.bounded(300));
        RiffWave::parse(riff);
    }
    const QByteArray originals[] = {resource("WAVE3"), resource("TURN"), resource("WAVE15")};
    for (const QByteArray& original : originals) {
        for (int i = 0; i < 400; ++i) {
            QByteArray damaged = original;
            for (int k = 0; k < 1 + i % 6; ++k) {
                // Mostly the header, sometimes the audio.
                const int limit = k % 2 ? int(damaged.size()) : 80;
                damaged[random.bounded(limit)] = char(random.bounded(256));
            }
            const auto wave = RiffWave::parse(damaged);
            if (wave) {
                EXPECT_GE(wave->channels(), 1);
                EXPECT_LE(wave->channels(), RiffWave::MaxChannels);
                EXPECT_GT(wave->sampleRate(), 0);
                if (wave->encoding() == RiffWave::Encoding::Pcm) {
                    EXPECT_EQ(wave->data().size() % (wave->channels() * wave->bitsPerSample() / 8),
                              0);
                }
            }
            WavePlayer::decode(damaged);
        }
    }
}

// Headers that are well-formed RIFF but describe nothing playable, or lie
// about sizes, are refused with a reason; unusual but valid layouts are read.
TEST(RiffWaveReader, HeadersAreCheckedFieldByField) {
    struct Case {
        const char* what;
        std::function<void(WaveBuilder&)> change;
        bool accepted;
    };
    const Case cases[] = {
        {"plain 8-bit mono", [](WaveBuilder&) {}, true},
        {"16-bit stereo", [](WaveBuilder& w) { w.bits = 16, w.channels = 2, w.blockAlign = 4; },
         true},
        {"unknown chunks before and after",
         [](WaveBuilder& w) {
             w.before = WaveBuilder::chunk("LIST", "odd");
             w.after = WaveBuilder::chunk("junk", "xx");
         },
         true},
        {"zero sample rate", [](WaveBuilder& w) { w.rate = 0; }, false},
        {"absurd sample rate", [](WaveBuilder& w) { w.rate = 4000000000u; }, false},
        {"no channels", [](WaveBuilder& w) { w.channels = 0; }, false},
        {"24-bit samples", [](WaveBuilder& w) { w.bits = 24, w.blockAlign = 3; }, false},
        {"block align lies", [](WaveBuilder& w) { w.bits = 16, w.blockAlign = 1; }, false},
        {"unknown tag", [](WaveBuilder& w) { w.tag = 0x0011; }, false},
        {"no format chunk", [](WaveBuilder& w) { w.withFmt = false; }, false},
        {"no data chunk", [](WaveBuilder& w) { w.withData = false; }, false},
        {"three-channel layer 3", [](WaveBuilder& w) { w.tag = 0x55, w.channels = 3; }, false},
    };
    for (const Case& c : cases) {
        WaveBuilder builder;
        c.change(builder);
        QString error;
        EXPECT_EQ(RiffWave::parse(builder.build(), &error).has_value(), c.accepted) << c.what;
        EXPECT_EQ(error.isEmpty(), c.accepted) << c.what << ": " << error.toStdString();
    }

    // A chunk claiming 4 GiB inside a small file.
    QByteArray huge = WaveBuilder().build();
    qToLittleEndian<quint32>(0xFFFFFFF0u, huge.data() + 40);
    EXPECT_FALSE(RiffWave::parse(huge));

    // A short format chunk.
    WaveBuilder shortFmt;
    QByteArray file = shortFmt.build();
    qToLittleEndian<quint32>(14, file.data() + 16);
    EXPECT_FALSE(RiffWave::parse(file));
}

// Odd data sizes are cut to whole frames, and an extensible format chunk
// naming PCM is read as PCM.
TEST(RiffWaveReader, PcmIsReadInWholeFrames) {
    WaveBuilder stereo;
    stereo.bits = 16, stereo.channels = 2, stereo.blockAlign = 4;
    stereo.data = QByteArray(7, '\x01');
    const auto wave = RiffWave::parse(stereo.build());
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->data().size(), 4);
    const PcmSound pcm = wave->pcm();
    EXPECT_EQ(pcm.format.sampleFormat(), QAudioFormat::Int16);
    EXPECT_EQ(pcm.frames(), 1);
    EXPECT_EQ(qFromLittleEndian<qint16>(pcm.samples.constData()), 0x0101);

    WaveBuilder extensible;
    extensible.tag = RiffWave::TagExtensible;
    extensible.bits = 16, extensible.blockAlign = 2;
    extensible.fmtExtra = QByteArray(24, '\0');
    qToLittleEndian<quint16>(22, extensible.fmtExtra.data());    // cbSize
    qToLittleEndian<quint16>(1, extensible.fmtExtra.data() + 8); // sub-format PCM
    const auto ext = RiffWave::parse(extensible.build());
    ASSERT_TRUE(ext);
    EXPECT_EQ(ext->formatTag(), RiffWave::TagPcm);
    EXPECT_EQ(ext->data().size(), 100);
}

// The decoder refuses input with no MPEG frame in it instead of producing
// noise, and a damaged stream yields at most what was decodable.
TEST(Mp3DecoderTest, RefusesDataWithoutFrames) {
    QString error;
    EXPECT_FALSE(Mp3Decoder::decode(QByteArray(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(Mp3Decoder::decode(QByteArray(5000, '\0')));
    EXPECT_FALSE(Mp3Decoder::decode(QByteArray(5000, '\xFF')));

    const auto wave = RiffWave::parse(resource("WAVE6"));
    ASSERT_TRUE(wave);
    const auto half = Mp3Decoder::decode(wave->data().left(wave->data().size() / 2));
    ASSERT_TRUE(half);
    EXPECT_NEAR(half->seconds(), 4.97 / 2, 0.2);
}

// When a device cannot take a sound's own format the sound is converted:
// the values, the channel layout and the length must survive.
TEST(PcmConverterTest, ConvertsSampleFormatChannelsAndRate) {
    PcmSound mono;
    mono.format.setSampleFormat(QAudioFormat::UInt8);
    mono.format.setChannelCount(1);
    mono.format.setSampleRate(11025);
    mono.samples = QByteArray("\x80\xC0\x00\xFF", 4);

    QAudioFormat target;
    target.setSampleFormat(QAudioFormat::Int16);
    target.setChannelCount(2);
    target.setSampleRate(22050);
    const PcmSound out = PcmConverter::convert(mono, target);
    ASSERT_EQ(out.frames(), 8);
    const auto* s = reinterpret_cast<const qint16*>(out.samples.constData());
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[2], 8192); // halfway between 0x80 and 0xC0
    EXPECT_EQ(s[4], 16384);
    EXPECT_EQ(s[8], -32768);
    EXPECT_EQ(s[12], 32512);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(s[2 * i], s[2 * i + 1]) << "frame " << i;

    PcmSound stereo;
    stereo.format = target;
    stereo.format.setSampleRate(48000);
    const qint16 pair[] = {1000, 3000, -32768, 32767};
    stereo.samples = QByteArray(reinterpret_cast<const char*>(pair), sizeof pair);
    QAudioFormat floatMono;
    floatMono.setSampleFormat(QAudioFormat::Float);
    floatMono.setChannelCount(1);
    floatMono.setSampleRate(48000);
    const PcmSound down = PcmConverter::convert(stereo, floatMono);
    ASSERT_EQ(down.frames(), 2);
    float f[2];
    std::memcpy(f, down.samples.constData(), sizeof f);
    EXPECT_NEAR(f[0], 2000.0 / 32768, 1e-6);
    EXPECT_NEAR(f[1], 0.0, 1e-4);

    EXPECT_TRUE(PcmConverter::convert(mono, QAudioFormat()).samples.isEmpty());
}

// Without an audio device the game goes on in silence: play() returns at
// once, decodes nothing it does not need and never reports anything.
TEST(WavePlayerTest, WithoutADeviceEveryPlayReturnsAtOnce) {
    int asked = 0;
    WavePlayer player([&] {
        ++asked;
        return QAudioDevice();
    });
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 50; ++i) {
        for (const Recording& r : recordings)
            player.play(QString(r.name).toLower());
    }
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_EQ(asked, 50 * int(std::size(recordings)));
    EXPECT_FALSE(player.isPlaying());
    player.stop();
}

// Unknown and malformed names are ignored without even asking for a device,
// whatever the machine's audio.
TEST(WavePlayerTest, UnknownNamesAreIgnored) {
    WavePlayer player;
    QElapsedTimer clock;
    clock.start();
    for (const char* name : {"", "nosuch", "wave21", "../etc/passwd", ":/sounds/DICE", "dice "})
        player.play(name);
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_FALSE(player.isPlaying());
}

// With a real device a sound starts without blocking, the next one replaces
// it, and the sink is let go once the sound has played out. Skipped where
// the machine has no audio output.
TEST(WavePlayerTest, ANewSoundCutsOffTheOnePlaying) {
    if (QMediaDevices::defaultAudioOutput().isNull())
        GTEST_SKIP() << "no audio output on this machine";
    WavePlayer player;
    QElapsedTimer clock;
    clock.start();
    player.play("winner");
    EXPECT_LT(clock.elapsed(), 300);
    EXPECT_TRUE(waitUntil([&] { return player.isPlaying(); }, 1000));
    player.play("clickdice");
    EXPECT_TRUE(player.isPlaying());
    // The click lasts 0.14 s; had the fanfare (2.79 s) gone on, this would time out.
    EXPECT_TRUE(waitUntil([&] { return !player.isPlaying(); }, 2000));

    player.play("wave6"); // layer 3, decoded on first use
    EXPECT_TRUE(player.isPlaying());
    player.stop();
    EXPECT_FALSE(player.isPlaying());
}

// The program's output loads the audio module on its first sound, once; a
// missing or foreign module leaves the game silent instead of failing.
TEST(SoundModuleTest, LoadsTheModuleOnTheFirstSoundOnly) {
    SoundModule output({QStringLiteral(CLIMORA_AUDIO_MODULE)});
    EXPECT_FALSE(output.isLoaded());
    output.play("nosuchsound"); // the module's player ignores it
    EXPECT_TRUE(output.isLoaded()) << output.loadError().toStdString();
    EXPECT_TRUE(output.loadError().isEmpty());
    EXPECT_TRUE(output.load());
}

TEST(SoundModuleTest, WithoutAUsableModuleEverySoundIsSilent) {
    QTemporaryDir folder;
    const QString notELF = folder.filePath("climora-audio.so");
    QFile junk(notELF);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a shared object");
    junk.close();

    SoundModule missing({folder.filePath("absent.so")});
    missing.play("dice");
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_FALSE(missing.loadError().isEmpty());

    // A shared object without the module's entry is refused as well.
    Dl_info libc{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&::strlen), &libc), 0);
    SoundModule foreign({notELF, QString::fromLocal8Bit(libc.dli_fname)});
    foreign.play("dice");
    foreign.play("dice");
    EXPECT_FALSE(foreign.isLoaded());
    EXPECT_TRUE(foreign.loadError().contains("not an audio module"))
        << foreign.loadError().toStdString();

    // Beside the program first, then the installed place.
    const QStringList paths = SoundModule::defaultPaths();
    ASSERT_EQ(paths.size(), 2);
    EXPECT_TRUE(paths[0].endsWith("/climora-audio.so"));
    EXPECT_TRUE(paths[1].endsWith("/lib/climora/climora-audio.so") ||
                paths[1].contains("/climora/climora-audio.so"));
}
