#include "net/PortMapperWorker.h"

#include "net/RouterClient.h"

#include "net/ModuleLoader.h"

namespace {
using Create = RouterClient* (*)(int abi);
constexpr int maxText = 100;
} // namespace

PortMapperWorker::PortMapperWorker(QStringList modulePaths) : m_paths(std::move(modulePaths)) {}

// The module stays loaded to the end of the program: the client's code is in
// it, and a thread given up at exit may still be inside it.
PortMapperWorker::~PortMapperWorker() = default;

bool PortMapperWorker::load() {
    if (m_tried)
        return m_client != nullptr;
    m_tried = true;
    return ModuleLoader::load(
        m_paths, "climora_router_create", QStringLiteral("a router module"),
        [this](void* factory) {
            m_client.reset(reinterpret_cast<Create>(factory)(RouterClient::abi));
            return m_client != nullptr;
        },
        m_error);
}

void PortMapperWorker::open(quint64 serial, quint16 port, quint32 leaseSeconds, int budgetMs) {
    if (!load()) {
        emit answered(serial, int(RouterClient::Outcome::NoRouter), int(RouterClient::Method::None),
                      QString(), QString());
        return;
    }
    const RouterClient::Mapping mapping = m_client->open(port, leaseSeconds, budgetMs);
    m_openSerial = mapping.outcome == RouterClient::Outcome::Opened ? serial : 0;
    m_openPort = port;
    emit answered(serial, int(mapping.outcome), int(mapping.method),
                  QString::fromLatin1(mapping.publicAddress.data(),
                                      qMin<qsizetype>(mapping.publicAddress.size(), maxText)),
                  QString::fromLatin1(mapping.detail.data(),
                                      qMin<qsizetype>(mapping.detail.size(), maxText)));
}

void PortMapperWorker::close(quint64 serial, int budgetMs, bool announce) {
    bool confirmed = false;
    if (m_client != nullptr && serial != 0 && serial == m_openSerial) {
        m_openSerial = 0;
        confirmed = m_client->close(m_openPort, budgetMs);
    }
    emit closed(announce, confirmed);
}
