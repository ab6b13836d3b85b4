// The entry of the audio module: the program loads this shared object when
// it plays its first sound (see SoundModule), so that Qt Multimedia and the
// sound server's client libraries are not loaded on every start.
#include "social/SoundModule.h"
#include "social/audio/WavePlayer.h"

extern "C" Q_DECL_EXPORT SoundOutput* climora_audio_create(int abi) {
    if (abi != SoundModule::abi)
        return nullptr;
    return new WavePlayer;
}
