#include "ports/DeviceManagerPorts.h"

#include <cctype>

#include "ports/RegistryKeys.h"

namespace orbiqa {
namespace {

constexpr const char* kPortClass = "Ports";
constexpr std::size_t kIdDigits = 4;

// The four hex digits after "<tag>_" where the tag starts a part of the ID.
std::string IdAfter(const std::string& hardwareId, const char* tag) {
    std::string upper = hardwareId;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string sought = std::string(tag) + "_";
    for (std::size_t at = upper.find(sought); at != std::string::npos; at = upper.find(sought, at + 1)) {
        if (at > 0 && upper[at - 1] != '\\' && upper[at - 1] != '&' && upper[at - 1] != '+') continue;
        std::string digits = upper.substr(at + sought.size(), kIdDigits);
        if (digits.size() != kIdDigits) continue;
        bool hex = true;
        for (char c : digits) hex = hex && std::isxdigit(static_cast<unsigned char>(c));
        if (!hex) continue;
        for (char& c : digits) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return digits;
    }
    return {};
}

}  // namespace

std::string UsbIdsOf(const std::string& hardwareId) {
    const std::string vendor = IdAfter(hardwareId, "VID");
    const std::string product = IdAfter(hardwareId, "PID");
    if (vendor.empty() || product.empty()) return {};
    return "USB " + vendor + ":" + product;
}

void ShowPortDevices(const std::vector<PortDeviceFacts>& devices, MemoryRegistry& view) {
    view.Clear();
    view.AddKey(registry_keys::kEnumRoot);
    for (const PortDeviceFacts& device : devices) {
        if (device.instanceId.empty() || device.friendlyName.empty()) continue;
        const std::string key = std::string(registry_keys::kEnumRoot) + "\\" + device.instanceId;
        std::string maker = device.manufacturer;
        const std::string ids = UsbIdsOf(device.hardwareId);
        if (!ids.empty()) maker += (maker.empty() ? "" : " - ") + ids;
        view.SetString(key, "Class", kPortClass);
        view.SetString(key, "FriendlyName", device.friendlyName);
        view.SetString(key, "Mfg", maker);
    }
}

}  // namespace orbiqa
