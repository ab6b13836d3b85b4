#pragma once

#include "social/SoundOutput.h"

#include <QString>
#include <QStringList>

#include <memory>

// The program's sound output: the audio module (climora-audio.so, a
// WavePlayer on Qt Multimedia), loaded when the first sound is played.
// Loading the audio stack costs several milliseconds that every start would
// otherwise pay before its window appears.
//
// The module is looked for beside the program and in the installed library
// folder. Without it, sounds are silent, as without an audio device: no
// error and no message. A failed load is not tried again.
class SoundModule : public SoundOutput {
public:
    // The version of the module's entry, climora_audio_create(abi); a module
    // of another version refuses to start.
    static constexpr int abi = 1;

    // candidates: the module's paths, tried in order.
    explicit SoundModule(QStringList candidates = defaultPaths());
    ~SoundModule() override;

    void play(const QString& name) override;

    // Loads the module now, if it has not been tried yet; true when it plays.
    bool load();
    bool isLoaded() const { return m_output != nullptr; }
    // Why the last attempt failed, or empty.
    QString loadError() const { return m_error; }

    // Beside the program, then the installed place relative to it.
    static QStringList defaultPaths();

private:
    QStringList m_candidates;
    bool m_tried = false;
    QString m_error;
    std::unique_ptr<SoundOutput> m_output;
};
