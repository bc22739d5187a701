#pragma once
// Where a COM name leads on this machine: a link named COMn in the port-link folder
// ($XDG_CONFIG_HOME/orbiqa/ports, by default ~/.config/orbiqa/ports), else the fixed rule
// ttyS0..31 -> COM1..32, ttyUSB0..31 -> COM33..64, ttyACM0..31 -> COM65..96.
#include <optional>
#include <string>

namespace orbiqa {

/// The port-link folder (not created here).
std::string PortLinkFolder();

/// Whether a file name is one a port can be opened by: "COM7" (1..256), not "COM07" or "COM+7".
bool IsPortLinkName(const std::string& fileName);

/// The device path of "COM<n>" by the fixed rule, or nothing for a number outside 1..96 or a
/// name not of that form.
std::optional<std::string> FixedDeviceForPort(const std::string& comName);

/// The COM name of a device by the fixed rule ("/dev/ttyUSB0" -> "COM33"), or nothing.
std::optional<std::string> FixedPortForDevice(const std::string& devicePath);

/// Whether path (links followed) is a terminal device a port can be: a character device that a
/// terminal driver of the kernel serves (a serial port, a USB adapter, a pseudo-terminal), not
/// /dev/null or /dev/zero, nor the controlling terminal /dev/tty, the console or /dev/ptmx.
/// Told from /proc/tty/drivers without opening the device; where that list cannot be read,
/// every character device counts.
bool IsTerminalDevice(const std::string& path);

/// The device path a COM name opens: the port-link folder's link when one exists (whether or not
/// its target exists), else the fixed rule. Nothing for a link whose maker has ended
/// (PortLinkOwner.h). On Windows, where only this function is built (in
/// SystemSerialDeviceWin32.cpp), the device path "\\.\COM<n>".
std::optional<std::string> ResolvePortDevice(const std::string& comName);

}  // namespace orbiqa
