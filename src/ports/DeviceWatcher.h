#pragma once
// Serial devices that come and go, as the system reports them: an adapter plugged in or pulled
// out, a port link made or removed. The port chooser follows these reports to keep its list live
// and the open port to notice at once that its device was pulled. The periodic presence check
// stays: a report can be missed (a system without device events, a pseudo-terminal that ends
// without one), the check cannot.
#include <functional>
#include <string>

namespace orbiqa {

struct DeviceEvent {
    enum class Kind { Arrived, Removed };
    Kind kind = Kind::Arrived;
    /// "COM33"; the COM name the device is opened by. Reports of devices without one are not
    /// passed on.
    std::string comName;
    /// "/dev/ttyUSB0", a port link's path, or "\\.\COM3".
    std::string devicePath;
    /// What the system tells about the device (UTF-8); either may be empty.
    std::string model;
    std::string vendor;
    /// A port link was made or removed, not a device: an open line through the device it led
    /// to still works.
    bool portLink = false;
};

class DeviceWatcher {
public:
    using Listener = std::function<void(const DeviceEvent&)>;
    virtual ~DeviceWatcher() = default;

    /// Starts reporting to listener, which is called on a thread of the watcher, one report at a
    /// time. False when the system offers no reports at all; callers then rely on their periodic
    /// checks.
    virtual bool Start(Listener listener) = 0;
    /// Ends the reports: when it returns, the listener is not running and will not be called
    /// again. Safe to call more than once.
    virtual void Stop() = 0;
};

}  // namespace orbiqa
