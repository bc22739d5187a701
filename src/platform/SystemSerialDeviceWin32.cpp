#include "platform/SystemSerialDevice.h"
#include "platform/Win32SerialDevice.h"

namespace orbiqa {

std::unique_ptr<SerialDevice> CreateSystemSerialDevice() {
    return std::make_unique<Win32SerialDevice>();
}

// Windows grants access to serial devices without group membership.
std::string DeviceGroupName(const std::string&) { return {}; }

}  // namespace orbiqa
