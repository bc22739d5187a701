#pragma once
// Builders for registries shaped like a Windows machine's: port devices in the device tree,
// attached modems, and the map of ports present now.
#include <string>

#include "ports/MemoryRegistry.h"

namespace orbiqa::test {

inline const std::string kEnum = "\\SYSTEM\\CurrentControlSet\\Enum";
inline const std::string kClass = "\\SYSTEM\\CurrentControlSet\\Control\\Class";
inline const std::string kServices = "\\SYSTEM\\CurrentControlSet\\Services";
inline const std::string kSerialComm = "\\HARDWARE\\DEVICEMAP\\SERIALCOMM";

inline void AddPortDevice(MemoryRegistry& r, const std::string& key, const std::string& friendlyName,
                          const std::string& maker, const std::string& root = kEnum) {
    r.SetString(root + "\\" + key, "Class", "Ports");
    r.SetString(root + "\\" + key, "FriendlyName", friendlyName);
    r.SetString(root + "\\" + key, "Mfg", maker);
}

inline void MarkPresent(MemoryRegistry& r, const std::string& device, const std::string& comName) {
    r.SetString(kSerialComm, "\\Device\\" + device, comName);
}

}  // namespace orbiqa::test
