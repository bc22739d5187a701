#include "platform/PosixSerialDevice.h"
#include "platform/SystemSerialDevice.h"

namespace orbiqa {

std::unique_ptr<SerialDevice> CreateSystemSerialDevice() {
    return std::make_unique<PosixSerialDevice>();
}

}  // namespace orbiqa
