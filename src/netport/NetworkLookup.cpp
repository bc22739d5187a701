#include "netport/NetworkLookup.h"
#include "netport/NetworkPortError.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace orbiqa {

void AddEndpoint(const void* address, std::size_t length, std::vector<NetworkEndpoint>& endpoints) {
    NetworkEndpoint e;
    e.length = static_cast<int>(std::min(length, sizeof e.address));
    std::copy_n(static_cast<const std::uint8_t*>(address), e.length, e.address);
    endpoints.push_back(e);
}

namespace {

struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int result = 0;
    std::vector<NetworkEndpoint> endpoints;
};

void RunLookup(const std::shared_ptr<Lookup>& lookup, const std::string& host,
               const std::string& port, bool numbersOnly) {
    std::vector<NetworkEndpoint> endpoints;
    const int result = LookUpHost(host, port, numbersOnly, endpoints);
    std::lock_guard lock(lookup->mutex);
    lookup->result = result;
    lookup->endpoints = std::move(endpoints);
    lookup->finished = true;
    lookup->done.notify_all();
}

}  // namespace

int ResolveNetworkAddress(const NetworkPortAddress& address, int timeoutMs,
                          std::vector<NetworkEndpoint>& endpoints) {
    auto lookup = std::make_shared<Lookup>();
    const std::string port = std::to_string(address.port);
    // An address in numbers needs no name server: looked up here, at once.
    RunLookup(lookup, address.host, port, true);
    if (lookup->result != 0) {
        lookup = std::make_shared<Lookup>();
        // A lookup that outlives its bound finishes unobserved.
        std::thread(RunLookup, lookup, address.host, port, false).detach();
        std::unique_lock lock(lookup->mutex);
        if (!lookup->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return lookup->finished; }))
            return kNetResolveTimedOut;
    }
    if (lookup->result != 0) return lookup->result;
    endpoints = lookup->endpoints;
    return 0;
}

}  // namespace orbiqa
