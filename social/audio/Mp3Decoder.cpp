#include "social/audio/Mp3Decoder.h"

#include <mpg123.h>

#include <memory>

namespace {

struct HandleDeleter {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

// Library versions before 1.27 need this once per process; later ones ignore it.
bool initialiseLibrary() {
    static const bool ok = mpg123_init() == MPG123_OK;
    return ok;
}

// A decoder that writes nothing to the terminal and always gives 16-bit
// samples at the stream's own rate and channel count.
Handle openDecoder() {
    int status = MPG123_OK;
    Handle handle(mpg123_new(nullptr, &status));
    if (!handle)
        return nullptr;
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // The library's own gapless trimming depends on how it is built and fed;
    // the container's delay and length are used instead, the same everywhere.
    mpg123_param(handle.get(), MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    mpg123_format_none(handle.get());
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        mpg123_format(handle.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(handle.get()) != MPG123_OK)
        return nullptr;
    return handle;
}

} // namespace

std::optional<PcmSound> Mp3Decoder::decode(const QByteArray& frames, QString* error) {
    auto refuse = [error](const QString& reason) -> std::optional<PcmSound> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (frames.isEmpty())
        return refuse("no audio frames");
    if (!initialiseLibrary())
        return refuse("the MPEG decoder library cannot start");
    Handle handle = openDecoder();
    if (!handle)
        return refuse("the MPEG decoder cannot be opened");

    PcmSound sound;
    bool formatKnown = false;
    unsigned char buffer[16384];
    // The whole input goes in with the first call; later calls only drain.
    auto input = reinterpret_cast<const unsigned char*>(frames.constData());
    size_t inputSize = size_t(frames.size());
    int idleCalls = 0; // calls that neither gave samples nor asked for input
    for (;;) {
        size_t done = 0;
        const int status =
            mpg123_decode(handle.get(), input, inputSize, buffer, sizeof buffer, &done);
        input = nullptr;
        inputSize = 0;
        if (status == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(handle.get(), &rate, &channels, &encoding);
            if (formatKnown &&
                (rate != sound.format.sampleRate() || channels != sound.format.channelCount()))
                break; // a second stream glued on: keep the first
            sound.format.setSampleRate(int(rate));
            sound.format.setChannelCount(channels);
            sound.format.setSampleFormat(QAudioFormat::Int16);
            formatKnown = true;
        }
        if (done > 0 && formatKnown) {
            if (sound.samples.size() + qint64(done) > MaxOutputBytes)
                return refuse("the decoded audio is too long");
            sound.samples.append(reinterpret_cast<const char*>(buffer), qsizetype(done));
        }
        if (status == MPG123_NEED_MORE || status == MPG123_DONE)
            break;
        if (status == MPG123_ERR)
            break; // keep what was decoded before the fault
        if (done == 0 && status != MPG123_NEW_FORMAT && ++idleCalls > 16)
            break;
    }
    if (!formatKnown || sound.samples.isEmpty())
        return refuse("no decodable MPEG audio frame");
    return sound;
}
