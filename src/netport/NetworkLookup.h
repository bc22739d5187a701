#pragma once
// The host lookup both systems' sockets make before they connect: an address in numbers at
// once, a name on a thread of its own within a bound, so that a silent name server cannot hold
// the caller longer. Only the system's lookup call differs (LookUpHost, in NetworkSocketPosix.cpp
// and NetworkSocketWin32.cpp).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "netport/NetworkPortError.h"
#include "serial/PortName.h"

namespace orbiqa {

/// One address to connect to, in the system's own form: a sockaddr of `length` bytes.
struct NetworkEndpoint {
    static constexpr std::size_t kCapacity = 128;  // sockaddr_storage on both systems
    alignas(8) std::uint8_t address[kCapacity]{};
    int length = 0;
};

/// Adds the system's address of `length` bytes as an endpoint (cut to the endpoint's capacity).
void AddEndpoint(const void* address, std::size_t length, std::vector<NetworkEndpoint>& endpoints);

/// The system's lookup of a host and a decimal port, in numbers only or by name too: 0 with at
/// least one endpoint, kNetNameNotFound or kNetResolveFailed. Called on any thread.
int LookUpHost(const std::string& host, const std::string& port, bool numbersOnly,
               std::vector<NetworkEndpoint>& endpoints);

/// 0 with the endpoints, or kNetResolveTimedOut, kNetNameNotFound, kNetResolveFailed.
int ResolveNetworkAddress(const NetworkPortAddress& address, int timeoutMs,
                          std::vector<NetworkEndpoint>& endpoints);

}  // namespace orbiqa
