#pragma once
// The serial device of the operating system the program is built for. Which one is decided by
// the build (one of SystemSerialDevicePosix.cpp and SystemSerialDeviceWin32.cpp is compiled), so
// that callers need neither platform headers nor #ifdef.
#include <memory>
#include <string>

#include "link/SerialDevice.h"

namespace orbiqa {

/// A new, closed device: the termios one on POSIX systems, the Win32 communications one on
/// Windows. Never null.
std::unique_ptr<SerialDevice> CreateSystemSerialDevice();

/// The name of the group whose members may use the device file at path, or empty where the
/// system has no such notion (used for the hint after a permission error).
std::string DeviceGroupName(const std::string& path);

}  // namespace orbiqa
