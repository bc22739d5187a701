#include <windows.h>


#include "serial/PortName.h"
#include "netport/NetworkPortError.h"
#include "portdevice/PortFormDevice.h"
#include "netport/NetworkSerialDevice.h"
#include "serial/SerialDeviceWin32.h"
#include "portdevice/SystemSerialDevice.h"

namespace orbiqa {

std::unique_ptr<SerialDevice> CreateSystemSerialDevice() {
    return std::make_unique<PortFormDevice>(std::make_unique<SerialDeviceWin32>(),
                                            std::make_unique<NetworkSerialDevice>());
}

// Windows grants access to serial devices without group membership.
std::string DeviceGroupName(const std::string&) {
    return {};
}

PortFailure PortFailureOf(int systemCode) {
    switch (static_cast<DWORD>(systemCode)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_UNIT:
            return PortFailure::NotFound;
        // On a COM port these mean that another program holds it, never a missing right.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return PortFailure::Busy;
        case ERROR_OPERATION_ABORTED:
        case ERROR_BAD_COMMAND:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_GEN_FAILURE:
            return PortFailure::Gone;
        default:
            return PortFailure::Other;
    }
}

std::string SystemErrorText(int systemCode) {
    if (std::string network = NetworkPortErrorText(systemCode); !network.empty()) return network;
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(systemCode), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
        nullptr);
    std::wstring wide = length > 0 && buffer ? std::wstring(buffer, length) : std::wstring();
    LocalFree(buffer);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.' ||
                             wide.back() == L' '))
        wide.pop_back();
    if (wide.empty()) return "system error " + std::to_string(systemCode);
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                        nullptr, nullptr);
    return text;
}

}  // namespace orbiqa
