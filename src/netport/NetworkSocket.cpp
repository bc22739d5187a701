#include "netport/NetworkSocket.h"

#include <algorithm>
#include <vector>

#include "netport/NetworkLookup.h"

namespace orbiqa {

long long NetworkSocket::RemainingMs(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max()) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return std::clamp<long long>(left.count(), 0, 1 << 30);
}

int NetworkSocket::Connect(const NetworkPortAddress& address, int resolveTimeoutMs,
                           int connectTimeoutMs) {
    if (IsOpen()) return kBusy;
    if (const int e = SystemReady()) return e;
    std::vector<NetworkEndpoint> endpoints;
    if (const int e = ResolveNetworkAddress(address, resolveTimeoutMs, endpoints)) return e;
    const auto deadline = Clock::now() + std::chrono::milliseconds(connectTimeoutMs);
    int error = kRefused;
    for (const NetworkEndpoint& endpoint : endpoints) {
        bool pending = false;
        error = StartConnect(endpoint, pending);
        if (!IsOpen()) continue;
        if (error == 0 && pending) {
            const Wait w = WaitFor(Interest::Write, deadline);
            error = w == Wait::Ready      ? ConnectOutcome()
                    : w == Wait::TimedOut ? kTimedOut
                    : w == Wait::Stopped  ? kCancelled
                                          : kWaitFailed;
        }
        if (error == 0) {
            SetConnectedOptions();
            return 0;
        }
        Close();
        if (error == kTimedOut || error == kCancelled) break;
    }
    return error;
}

}  // namespace orbiqa
