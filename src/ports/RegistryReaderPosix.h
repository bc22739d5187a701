#pragma once
// The machine's serial devices presented as the Windows registry would show them, so that port
// discovery runs its one set of rules on Linux too:
//   \SYSTEM\CurrentControlSet\Enum\TTY\<device>    one key per serial device (udev)
//   \SYSTEM\CurrentControlSet\Enum\PORTLINK\COM<n> one key per link in the port-link folder
//       each with Class "Ports", FriendlyName "<model> - <Linux name> (COM<n>)" and Mfg
//   \HARDWARE\DEVICEMAP\SERIALCOMM                 one value per port that exists now
// COM numbers follow the fixed device rule; a link named COM<n> takes the place of the device
// that the rule gives that number, as it does when the port is opened.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ports/MemoryRegistry.h"

struct udev_device;

namespace orbiqa {

/// What the system tells about one serial device (UTF-8).
struct SerialDeviceFacts {
    std::string devNode;  ///< "/dev/ttyUSB0"
    std::string model;    ///< "FT232R USB UART"; may be empty
    std::string vendor;   ///< "FTDI"; may be empty
};

/// The serial devices that exist now.
using SerialDeviceSource = std::function<std::vector<SerialDeviceFacts>()>;

/// The facts of one tty device as udev knows them.
SerialDeviceFacts UdevSerialFacts(udev_device* tty);

/// Serial devices from udev: tty devices driven by a real serial driver, leaving out the
/// built-in ttyS ports whose UART the kernel did not find. Empty when udev is unavailable.
std::vector<SerialDeviceFacts> UdevSerialDevices();

class RegistryReaderPosix : public RegistryReader {
public:
    /// source lists the devices (udev by default; tests pass a fixture). The port-link folder
    /// is looked up on each refresh.
    explicit RegistryReaderPosix(SerialDeviceSource source = UdevSerialDevices);

    /// Opening the device tree's root gathers the devices again, and opening the SERIALCOMM map
    /// checks which ports exist now; every other key shows the last gathering. Devices seen once
    /// stay listed (absent) for the reader's life, as Windows remembers unplugged adapters.
    std::unique_ptr<RegistryKey> OpenKey(const std::string& path) override;
    bool KeyExists(const std::string& path) override;
    /// Remembers a removed device that no gathering has seen, so that it is listed absent.
    void NoteDeviceEvent(const DeviceEvent& event) override;

private:
    struct PortLink {
        std::string comName;
        std::string target;  // as the link holds it, made absolute
        bool present = false;
    };
    struct KnownDevice {
        std::string comName;
        std::string friendlyName;  // Windows-1250
        std::string maker;         // Windows-1250
    };

    void RefreshDevices();
    void RefreshPresence();
    std::vector<PortLink> ReadPortLinks() const;

    SerialDeviceSource source_;
    MemoryRegistry view_;
    std::map<std::string, KnownDevice> known_;  // by key path below the device tree root
    bool gathered_ = false;
};

}  // namespace orbiqa
