#pragma once
// Device reports on Windows: WM_DEVICECHANGE to a hidden window of the watcher's own thread. The
// system broadcasts the arrival and removal of ports (DBT_DEVTYP_PORT, with the COM name) to
// top-level windows, and sends those of the COM port interface to a window registered for it
// (RegisterDeviceNotification), which some USB serial drivers report instead.
#include <thread>

#include "ports/DeviceWatcher.h"

namespace orbiqa {

class DeviceWatcherWin32 : public DeviceWatcher {
public:
    /// The class name of the hidden window, by which tests find it to send it reports.
    static constexpr const wchar_t* kWindowClass = L"OrbiqaDeviceWatcher";

    DeviceWatcherWin32() = default;
    ~DeviceWatcherWin32() override;
    DeviceWatcherWin32(const DeviceWatcherWin32&) = delete;
    DeviceWatcherWin32& operator=(const DeviceWatcherWin32&) = delete;

    bool Start(Listener listener) override;
    void Stop() override;

    /// Turns one WM_DEVICECHANGE into a report; false when it is not about a port.
    static bool EventOf(unsigned long long wParam, const void* header, DeviceEvent& event);

private:
    void Run(void* ready);

    Listener listener_;
    std::thread thread_;
    unsigned long threadId_ = 0;
};

}  // namespace orbiqa
