#include "net/DnssdModule.h"

#include "net/DnssdBackend.h"
#include "net/ModuleLoader.h"

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
    return ModuleLoader::defaultPaths(moduleName);
}

// The module stays loaded to the end of the program: the backend it made is
// a static object of it, and it is never closed.
DnssdBackend* DnssdModule::backend() {
    if (m_tried)
        return m_backend;
    m_tried = true;
    ModuleLoader::load(
        m_candidates, "climora_dnssd_create", QStringLiteral("a DNS-SD module"),
        [this](void* factory) {
            m_backend = reinterpret_cast<Create>(factory)(DnssdBackend::abi);
            return m_backend != nullptr;
        },
        m_error);
    return m_backend;
}
