#include "ports/RecentNetworkPorts.h"

#include <algorithm>

#include "serial/PortName.h"

namespace orbiqa {

std::vector<std::string> NetworkPortList(const std::vector<std::string>& texts, std::size_t limit) {
    std::vector<std::string> ports;
    for (const std::string& text : texts) {
        if (ports.size() == limit) break;
        const auto address = ParseNetworkPort(text);
        if (!address) continue;
        std::string canonical = address->Text();
        if (std::find(ports.begin(), ports.end(), canonical) == ports.end()) ports.push_back(std::move(canonical));
    }
    return ports;
}

void RememberNetworkPort(std::vector<std::string>& ports, const std::string& address) {
    std::erase(ports, address);
    ports.insert(ports.begin(), address);
    if (ports.size() > kRememberedNetworkPorts) ports.resize(kRememberedNetworkPorts);
}

}  // namespace orbiqa
