#include "social/SoundModule.h"

#include "net/ModuleLoader.h"

namespace {
constexpr char moduleName[] = "climora-audio.so";
using Create = SoundOutput* (*)(int abi);
} // namespace

SoundModule::SoundModule(QStringList candidates) : m_candidates(std::move(candidates)) {}

// The module's code stays loaded to the end of the program: Qt keeps
// pointers into a library that made objects (their meta-objects), so it is
// never closed.
SoundModule::~SoundModule() = default;

QStringList SoundModule::defaultPaths() {
    return ModuleLoader::defaultPaths(moduleName);
}

bool SoundModule::load() {
    if (m_tried)
        return isLoaded();
    m_tried = true;
    return ModuleLoader::load(
        m_candidates, "climora_audio_create", QStringLiteral("an audio module"),
        [this](void* factory) {
            m_output.reset(reinterpret_cast<Create>(factory)(abi));
            return m_output != nullptr;
        },
        m_error);
}

void SoundModule::play(const QString& name) {
    if (load())
        m_output->play(name);
}
