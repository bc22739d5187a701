#pragma once
// The serial device of the operating system the program is built for. Which one is decided by
// the build (one of SystemSerialDevicePosix.cpp and SystemSerialDeviceWin32.cpp is compiled), so
// that callers need neither platform headers nor #ifdef.
#include <memory>
#include <string>

#include "device/SerialDevice.h"

namespace orbiqa {

/// A new, closed device: the termios one on POSIX systems, the Win32 communications one on
/// Windows. Never null.
std::unique_ptr<SerialDevice> CreateSystemSerialDevice();

/// The name of the group whose members may use the device file at path, or empty where the
/// system has no such notion (used for the hint after a permission error).
std::string DeviceGroupName(const std::string& path);

/// Why a port could not be used, whatever the system: the few reasons a caller acts on.
enum class PortFailure {
    NotFound,    ///< no such port or device
    Permission,  ///< the user lacks the right to use it
    Busy,        ///< another program holds it
    Gone,        ///< it went away while in use (hang-up, adapter pulled out)
    Other,
};

/// The reason behind an error number of the device (errno on POSIX systems, GetLastError on
/// Windows). Each system maps its own numbers here, once.
PortFailure PortFailureOf(int systemCode);

/// Whether an error number of opening a device means the user lacks the right to use it (rather
/// than the device being missing or held by another program).
inline bool IsPermissionDenied(int systemCode) { return PortFailureOf(systemCode) == PortFailure::Permission; }

/// The system's own text of an error number of the device (errno on POSIX systems, GetLastError
/// on Windows), in UTF-8 and without a trailing full stop or line break.
std::string SystemErrorText(int systemCode);

}  // namespace orbiqa
