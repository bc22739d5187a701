#include "ports/DeviceWatcherWin32.h"
#include "ports/SystemDeviceWatcher.h"

#include <windows.h>
#include <dbt.h>
#include <initguid.h>

#include <string>

#include "serial/PortLinks.h"
#include "serial/PortName.h"

namespace orbiqa {
namespace {

// GUID_DEVINTERFACE_COMPORT, spelled out: older MinGW headers lack it.
DEFINE_GUID(kComPortInterface, 0x86E0D1E0L, 0x8089, 0x11D0, 0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73);

struct StartState {
    HANDLE started = nullptr;
    bool ok = false;
};

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE) {
        auto* listener = reinterpret_cast<DeviceWatcher::Listener*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        DeviceEvent event;
        if (listener && DeviceWatcherWin32::EventOf(wParam, reinterpret_cast<const void*>(lParam), event))
            (*listener)(event);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool DeviceWatcherWin32::EventOf(unsigned long long wParam, const void* header, DeviceEvent& event) {
    if (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE) return false;
    const auto* hdr = static_cast<const DEV_BROADCAST_HDR*>(header);
    if (!hdr) return false;
    event = {};
    event.kind = wParam == DBT_DEVICEARRIVAL ? DeviceEvent::Kind::Arrived : DeviceEvent::Kind::Removed;
    if (hdr->dbch_devicetype == DBT_DEVTYP_PORT) {
        const auto* port = static_cast<const DEV_BROADCAST_PORT_W*>(header);
        const auto number = ComPortNumberOf(Narrow(port->dbcp_name));
        if (!number) return false;
        event.comName = ComPortName(*number);
        event.devicePath = ResolvePortDevice(event.comName).value_or(std::string());
        return true;
    }
    if (hdr->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        // Names the device's interface path, not its COM name: the receiver scans again.
        const auto* iface = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
        event.devicePath = Narrow(iface->dbcc_name);
        return true;
    }
    return false;
}

DeviceWatcherWin32::~DeviceWatcherWin32() { Stop(); }

bool DeviceWatcherWin32::Start(Listener listener) {
    Stop();
    listener_ = std::move(listener);
    StartState state;
    state.started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!state.started) return false;
    thread_ = std::thread([this, &state] { Run(&state); });
    WaitForSingleObject(state.started, INFINITE);
    CloseHandle(state.started);
    if (!state.ok) {
        thread_.join();
        return false;
    }
    return true;
}

void DeviceWatcherWin32::Stop() {
    if (!thread_.joinable()) return;
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

void DeviceWatcherWin32::Run(void* ready) {
    auto* state = static_cast<StartState*>(ready);
    threadId_ = GetCurrentThreadId();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);  // already registered by an earlier watcher is fine
    // A top-level window that is never shown: port broadcasts reach only top-level windows.
    HWND window = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    HDEVNOTIFY notification = nullptr;
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&listener_));
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kComPortInterface;
        notification = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        // The message queue exists once a window does; Stop's WM_QUIT can no longer be lost.
    }
    state->ok = window != nullptr;
    SetEvent(state->started);
    if (!window) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (notification) UnregisterDeviceNotification(notification);
    DestroyWindow(window);
}

std::unique_ptr<DeviceWatcher> CreateSystemDeviceWatcher() { return std::make_unique<DeviceWatcherWin32>(); }

}  // namespace orbiqa
