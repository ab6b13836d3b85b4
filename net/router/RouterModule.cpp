// The entry of the router module: the program loads this shared object when
// a host first asks for its port to be forwarded (see PortMapper), so that
// the UPnP and NAT-PMP libraries are not loaded on every start.
#include "net/RouterClient.h"
#include "net/router/GatewayClient.h"

extern "C" __attribute__((visibility("default"))) RouterClient* climora_router_create(int abi) {
    if (abi != RouterClient::abi)
        return nullptr;
    return new GatewayClient;
}
