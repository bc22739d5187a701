#include "platform/SystemSerialDevice.h"
#include "platform/Win32SerialDevice.h"

namespace orbiqa {

std::unique_ptr<SerialDevice> CreateSystemSerialDevice() {
    return std::make_unique<Win32SerialDevice>();
}

}  // namespace orbiqa
