#pragma once

#include <netinet/in.h>

// Plain loopback sockets for the benchmarks' own clients and references,
// which talk to the server without the game's transport.
namespace loopback {

// 127.0.0.1 at the port (0: any free port, for a listener).
sockaddr_in address(int port);
// A blocking TCP connection to 127.0.0.1:port, with TCP_NODELAY when asked;
// -1 (and nothing left open) when it cannot be made.
int connectTo(int port, bool noDelay = false);

} // namespace loopback
