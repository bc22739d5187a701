// The Ports class as Device Manager shows it, through SetupAPI.
#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "base/Win1250Wide.h"
#include "ports/RegistryReaderWin32.h"

namespace orbiqa {
namespace {

// GUID_DEVCLASS_PORTS, spelt out so that no GUID library must be linked.
constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// A text property; of a list (the hardware IDs) its first text.
std::wstring TextProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &size);
    if (size == 0) return {};
    // Two spare characters: the stored text need not end with its NULs.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                           size, nullptr))
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return {};
    return std::wstring(buffer.data());
}

std::wstring InstanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
    DWORD size = 0;
    SetupDiGetDeviceInstanceIdW(set, &device, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<wchar_t> buffer(size + 1, L'\0');
    if (!SetupDiGetDeviceInstanceIdW(set, &device, buffer.data(), size, nullptr)) return {};
    return std::wstring(buffer.data());
}

// The "PortName" the port's driver keeps in the device's own key ("COM105").
std::wstring PortName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t buffer[64] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof buffer - sizeof(wchar_t);
    const LONG result = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return {};
    return std::wstring(buffer);
}

}  // namespace

std::vector<PortDeviceFacts> SetupApiPortDevices() {
    std::vector<PortDeviceFacts> devices;
    // Without DIGCF_PRESENT: Windows remembers an unplugged adapter, and so does the list.
    HDEVINFO set = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, 0);
    if (set == INVALID_HANDLE_VALUE) return devices;
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!SetupDiEnumDeviceInfo(set, i, &device)) break;
        std::wstring name = TextProperty(set, device, SPDRP_FRIENDLYNAME);
        // A device without a friendly name is shown by its description and its port, as Device
        // Manager names it.
        if (name.find(L"(COM") == std::wstring::npos) {
            const std::wstring port = PortName(set, device);
            if (!port.empty()) {
                if (name.empty()) name = TextProperty(set, device, SPDRP_DEVICEDESC);
                name += (name.empty() ? L"(" : L" (") + port + L")";
            }
        }
        PortDeviceFacts facts;
        facts.instanceId = WideToWin1250(InstanceId(set, device));
        facts.friendlyName = WideToWin1250(name);
        facts.manufacturer = WideToWin1250(TextProperty(set, device, SPDRP_MFG));
        facts.hardwareId = WideToWin1250(TextProperty(set, device, SPDRP_HARDWAREID));
        devices.push_back(std::move(facts));
    }
    SetupDiDestroyDeviceInfoList(set);
    return devices;
}

}  // namespace orbiqa
