#pragma once
// The port devices that Windows' Device Manager lists (the Ports class), laid out as the device
// tree of the registry, so that the one scan of SorosKeres reads them. Device Manager's names
// are what a Windows user knows a port by; the registry walk stays as the fallback for a system
// that lists none.
#include <string>
#include <vector>

#include "ports/MemoryRegistry.h"

namespace orbiqa {

/// One device of the Ports class, its texts already in Windows-1250.
struct PortDeviceFacts {
    std::string instanceId;    ///< "USB\VID_0403&PID_6001\A12345", its key below the device tree
    std::string friendlyName;  ///< "USB Serial Port (COM105)"
    std::string manufacturer;  ///< "FTDI"
    std::string hardwareId;    ///< the first hardware ID, "FTDIBUS\VID_0403+PID_6001+A12345A"
};

/// "USB 0403:6001" for a hardware ID that names a USB vendor and product ("VID_0403" and
/// "PID_6001" in any letter case, after "\", "&" or "+"), empty otherwise.
std::string UsbIdsOf(const std::string& hardwareId);

/// Replaces view with one key per device: \SYSTEM\CurrentControlSet\Enum\<instanceId> with Class
/// "Ports", FriendlyName and Mfg, the manufacturer followed by " - " and the USB IDs where the
/// hardware ID has them. A device without an instance ID or a friendly name is left out.
void ShowPortDevices(const std::vector<PortDeviceFacts>& devices, MemoryRegistry& view);

}  // namespace orbiqa
