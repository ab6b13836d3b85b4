#include "net/DnssdModule.h"

#include "net/DnssdBackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <dlfcn.h>

#ifndef CLIMORA_MODULE_SUBDIR
#define CLIMORA_MODULE_SUBDIR "../lib/climora"
#endif

namespace {
constexpr char moduleName[] = "climora-dnssd.so";
using Create = DnssdBackend* (*)(int abi);
} // namespace

DnssdModule::DnssdModule(QStringList candidates) : m_candidates(std::move(candidates)) {}

DnssdModule::DnssdModule(DnssdBackend& backend) : m_tried(true), m_backend(&backend) {}

DnssdModule& DnssdModule::shared() {
    static DnssdModule module;
    return module;
}

QStringList DnssdModule::defaultPaths() {
    const QString here =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return {QDir(here).filePath(moduleName),
            QDir::cleanPath(
                QDir(here).filePath(QStringLiteral(CLIMORA_MODULE_SUBDIR "/") + moduleName))};
}

// The module stays loaded to the end of the program: the backend it made is
// a static object of it, and it is never closed.
DnssdBackend* DnssdModule::backend() {
    if (m_tried)
        return m_backend;
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
        auto create = reinterpret_cast<Create>(dlsym(handle, "climora_dnssd_create"));
        DnssdBackend* backend = create ? create(DnssdBackend::abi) : nullptr;
        if (backend == nullptr) {
            failures << path + QStringLiteral(": not a DNS-SD module of this version");
            continue;
        }
        m_backend = backend;
        m_error.clear();
        return m_backend;
    }
    m_error = failures.isEmpty() ? QStringLiteral("no %1 found").arg(moduleName)
                                 : failures.join(QStringLiteral("; "));
    return nullptr;
}
