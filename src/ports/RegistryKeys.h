#pragma once
// The registry keys the port scan reads, shared by the scan and by every reader that presents a
// system's devices in that shape.
namespace orbiqa::registry_keys {

inline constexpr const char* kEnumRoot = "\\SYSTEM\\CurrentControlSet\\Enum";
inline constexpr const char* kOldEnumRoot = "\\Enum";
inline constexpr const char* kClassRoot = "\\SYSTEM\\CurrentControlSet\\Control\\Class";
inline constexpr const char* kServicesRoot = "\\SYSTEM\\CurrentControlSet\\Services";
inline constexpr const char* kSerialCommMap = "\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
// Older systems spell the map this way; both are tried.
inline constexpr const char* kSerialCommMapOld = "\\Hardware\\DeviceMap\\SerialComm";

}  // namespace orbiqa::registry_keys
