#include "social/SoundModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <dlfcn.h>

#ifndef CLIMORA_MODULE_SUBDIR
#define CLIMORA_MODULE_SUBDIR "../lib/climora"
#endif

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
    const QString here =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return {QDir(here).filePath(moduleName),
            QDir::cleanPath(
                QDir(here).filePath(QStringLiteral(CLIMORA_MODULE_SUBDIR "/") + moduleName))};
}

bool SoundModule::load() {
    if (m_tried)
        return isLoaded();
    m_tried = true;
    QStringList failures;
    for (const QString& path : m_candidates) {
        if (!QFile::exists(path))
            continue;
        void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            failures << QString::fromLocal8Bit(dlerror());
            continue;
        }
        auto create = reinterpret_cast<Create>(dlsym(handle, "climora_audio_create"));
        SoundOutput* output = create ? create(abi) : nullptr;
        if (output == nullptr) {
            failures << path + QStringLiteral(": not an audio module of this version");
            continue;
        }
        m_output.reset(output);
        m_error.clear();
        return true;
    }
    m_error = failures.isEmpty() ? QStringLiteral("no %1 found").arg(moduleName)
                                 : failures.join(QStringLiteral("; "));
    return false;
}

void SoundModule::play(const QString& name) {
    if (load())
        m_output->play(name);
}
