#pragma once
// The network ports the port chooser remembers, most recent first. One rule for the chooser's
// list and for the file that keeps it between runs: only real network port addresses, each in
// its canonical form and listed once, where it first appears.
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace orbiqa {

/// How many network ports the chooser remembers; adding another forgets the least recent.
inline constexpr std::size_t kRememberedNetworkPorts = 8;

/// The canonical addresses among texts, in order, each once; texts that are no network port
/// address are skipped. At most limit are kept.
std::vector<std::string> NetworkPortList(const std::vector<std::string>& texts,
                                         std::size_t limit = std::numeric_limits<std::size_t>::max());

/// Puts address first among ports (moving it when it is there already) and forgets the least
/// recent beyond kRememberedNetworkPorts.
void RememberNetworkPort(std::vector<std::string>& ports, const std::string& address);

}  // namespace orbiqa
