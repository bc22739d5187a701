#pragma once
// The Windows registry under HKEY_LOCAL_MACHINE, read only, through the wide-character
// functions: names and texts are converted once between the registry's UTF-16 and the program's
// Windows-1250. Each key opened is its own handle, closed when the key object goes.
//
// The device tree (\SYSTEM\CurrentControlSet\Enum) shows the port devices that Device Manager
// lists, with its names, whenever it lists any; the tree itself is walked only when it lists
// none. Opening the tree's root asks Device Manager again.
#include <functional>
#include <vector>

#include "ports/DeviceManagerPorts.h"
#include "ports/MemoryRegistry.h"
#include "ports/RegistryReader.h"

namespace orbiqa {

/// The devices of the Ports class, from SetupAPI; those Windows remembers but that are not
/// plugged in now included, as the registry keeps them. Empty when SetupAPI gives nothing.
std::vector<PortDeviceFacts> SetupApiPortDevices();

using PortDeviceSource = std::function<std::vector<PortDeviceFacts>()>;

class RegistryReaderWin32 : public RegistryReader {
public:
    explicit RegistryReaderWin32(PortDeviceSource devices = SetupApiPortDevices);

    /// A key that cannot be opened (missing, no access) comes back empty.
    std::unique_ptr<RegistryKey> OpenKey(const std::string& path) override;
    bool KeyExists(const std::string& path) override;

private:
    bool ShownFromDeviceManager(const std::string& path);

    PortDeviceSource devices_;
    MemoryRegistry deviceManagerView_;
    bool useDeviceManager_ = false;
};

}  // namespace orbiqa
