#include "net/ModuleLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

#ifndef CLIMORA_MODULE_SUBDIR
#define CLIMORA_MODULE_SUBDIR "../lib/climora"
#endif

QStringList ModuleLoader::defaultPaths(const QString& fileName) {
    const QString here =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return {
        QDir(here).filePath(fileName),
        QDir::cleanPath(QDir(here).filePath(QStringLiteral(CLIMORA_MODULE_SUBDIR "/") + fileName))};
}

bool ModuleLoader::load(const QStringList& candidates, const char* symbol, const QString& kind,
                        const std::function<bool(void* factory)>& make, QString& error) {
    QStringList failures;
    for (const QString& path : candidates) {
        if (!QFile::exists(path))
            continue;
        void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            failures << QString::fromLocal8Bit(dlerror());
            continue;
        }
        void* factory = dlsym(handle, symbol);
        if (factory == nullptr || !make(factory)) {
            failures << path + QStringLiteral(": not %1 of this version").arg(kind);
            continue;
        }
        error.clear();
        return true;
    }
    const QString names = candidates.isEmpty() ? kind : QFileInfo(candidates.first()).fileName();
    error = failures.isEmpty() ? QStringLiteral("no %1 found").arg(names)
                               : failures.join(QStringLiteral("; "));
    return false;
}
