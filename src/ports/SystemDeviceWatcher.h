#pragma once
// The device reports of the system the program is built for: libudev's monitor and the port-link
// folder on Linux, device notifications on Windows. The build compiles one of them, each of
// which defines this function, so that callers need neither platform headers nor #ifdef.
#include <memory>

#include "ports/DeviceWatcher.h"

namespace orbiqa {

/// A new, stopped watcher. Never null.
std::unique_ptr<DeviceWatcher> CreateSystemDeviceWatcher();

}  // namespace orbiqa
