#include "net/router/UpnpGateway.h"

#include "net/Ipv4Address.h"

#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>

#include <cstring>
#include <string>

namespace {

// UPnP error codes that matter here.
constexpr int errorActionFailed = 501;
constexpr int errorConflictInMappingEntry = 718;
constexpr int errorConflictWithOtherMechanisms = 729;

// Strings copied out of the library's answers are cut to these lengths.
constexpr std::size_t maxAddress = 45;
constexpr std::size_t maxDetail = 100;

std::string bounded(const char* text, std::size_t limit) {
    if (text == nullptr)
        return {};
    return std::string(text, strnlen(text, limit));
}

} // namespace

UpnpGateway::~UpnpGateway() {
    forget();
}

void UpnpGateway::forget() {
    if (m_found)
        FreeUPNPUrls(&m_urls);
    m_found = false;
    m_urls = {};
    m_data = {};
    m_lanAddress[0] = '\0';
}

bool UpnpGateway::discover(int discoverMs) {
    forget();
    // All kinds asked for at once and one wait for every answer: asking kind
    // by kind would wait discoverMs for each when no router answers.
    static const char* const kinds[] = {"urn:schemas-upnp-org:device:InternetGatewayDevice:1",
                                        "urn:schemas-upnp-org:device:InternetGatewayDevice:2",
                                        "urn:schemas-upnp-org:service:WANIPConnection:1",
                                        "urn:schemas-upnp-org:service:WANIPConnection:2",
                                        "urn:schemas-upnp-org:service:WANPPPConnection:1",
                                        nullptr};
    int error = 0;
    UPNPDev* devices = upnpDiscoverDevices(kinds, discoverMs, nullptr, nullptr, UPNP_LOCAL_PORT_ANY,
                                           0, 2, &error, 1);
    if (devices == nullptr)
        return false;
    const int kind =
        UPNP_GetValidIGD(devices, &m_urls, &m_data, m_lanAddress, int(sizeof m_lanAddress));
    freeUPNPDevlist(devices);
    m_lanAddress[sizeof m_lanAddress - 1] = '\0';
    if (kind == 0)
        return false;
    // Structures are filled for every non-zero answer and must be freed.
    m_found = true;
    // 1: a connected router; 2: a router that says it is not connected
    // (it may still forward). 3: some other UPnP device, no router.
    if (kind != 1 && kind != 2) {
        forget();
        return false;
    }
    return m_urls.controlURL != nullptr && m_data.first.servicetype[0] != '\0';
}

RouterClient::Mapping UpnpGateway::open(std::uint16_t port, std::uint32_t leaseSeconds,
                                        int discoverMs) {
    RouterClient::Mapping result;
    if (!discover(discoverMs))
        return result;

    char external[64] = {};
    const int addressError =
        UPNP_GetExternalIPAddress(m_urls.controlURL, m_data.first.servicetype, external);
    external[sizeof external - 1] = '\0';
    if (addressError < 0) {
        // Not a SOAP answer at all: whatever answered is no router we can use.
        forget();
        return result;
    }
    result.publicAddress = addressError == 0 ? bounded(external, maxAddress) : std::string();
    const auto parsed = Ipv4Address::parse(result.publicAddress);
    if (parsed && !parsed->isPublic()) {
        result.outcome = RouterClient::Outcome::NoPublicAddress;
        result.method = RouterClient::Method::Upnp;
        return result;
    }

    const std::string portText = std::to_string(port);
    const std::string leaseText = std::to_string(leaseSeconds);
    const int mapError = UPNP_AddPortMapping(m_urls.controlURL, m_data.first.servicetype,
                                             portText.c_str(), portText.c_str(), m_lanAddress,
                                             "Climora", "TCP", nullptr, leaseText.c_str());
    result.method = RouterClient::Method::Upnp;
    if (mapError == 0) {
        result.outcome = RouterClient::Outcome::Opened;
    } else if (mapError < 0) {
        // An answer that is no UPnP answer: treat the device as no router.
        forget();
        result.method = RouterClient::Method::None;
        result.outcome = RouterClient::Outcome::NoRouter;
    } else if (mapError == errorConflictWithOtherMechanisms ||
               (mapError == errorActionFailed && !parsed)) {
        // A router that cannot tell its own outside address and then fails
        // the forwarding has none it could forward from: miniupnpd answers
        // so when its outside address is private or shared.
        result.outcome = RouterClient::Outcome::NoPublicAddress;
    } else {
        result.outcome = RouterClient::Outcome::Refused;
        result.detail = bounded(strupnperror(mapError), maxDetail);
        if (result.detail.empty())
            result.detail = "error " + std::to_string(mapError);
        if (mapError == errorConflictInMappingEntry)
            result.detail = "the port is forwarded to another computer";
    }
    return result;
}

bool UpnpGateway::close(std::uint16_t port) {
    if (!m_found)
        return false;
    const std::string portText = std::to_string(port);
    return UPNP_DeletePortMapping(m_urls.controlURL, m_data.first.servicetype, portText.c_str(),
                                  "TCP", nullptr) == 0;
}
