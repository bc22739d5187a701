#include "platform/PortLinks.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/ComPortRange.h"
#include "base/IntText.h"
#include "platform/PortLinkOwner.h"

namespace orbiqa {
namespace {

struct FixedFamily {
    const char* prefix;
    int firstPort;
};
constexpr FixedFamily kFamilies[] = {{"/dev/ttyS", 1}, {"/dev/ttyUSB", 33}, {"/dev/ttyACM", 65}};
constexpr int kFamilySize = 32;

std::optional<int> ComNumber(const std::string& comName) {
    if (comName.size() < 4 || comName.compare(0, 3, "COM") != 0) return std::nullopt;
    for (std::size_t i = 3; i < comName.size(); ++i)
        if (comName[i] < '0' || comName[i] > '9') return std::nullopt;
    return TryStrToInt(comName.substr(3));
}

}  // namespace

std::string PortLinkFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.config";
    }
    return base + "/orbiqa/ports";
}

bool IsPortLinkName(const std::string& fileName) {
    const auto n = ComNumber(fileName);
    return n && IsComPortNumber(*n) && fileName == "COM" + IntToStr(*n);
}

std::optional<std::string> FixedDeviceForPort(const std::string& comName) {
    const auto n = ComNumber(comName);
    if (!n || *n < 1 || *n > 96) return std::nullopt;
    const FixedFamily& f = kFamilies[(*n - 1) / kFamilySize];
    return std::string(f.prefix) + IntToStr(*n - f.firstPort);
}

std::optional<std::string> FixedPortForDevice(const std::string& devicePath) {
    for (const FixedFamily& f : kFamilies) {
        const std::string prefix = f.prefix;
        if (devicePath.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = devicePath.substr(prefix.size());
        if (rest.empty() || rest.find_first_not_of("0123456789") != std::string::npos) continue;
        const auto idx = TryStrToInt(rest);
        if (idx && *idx >= 0 && *idx < kFamilySize) return "COM" + IntToStr(f.firstPort + *idx);
    }
    return std::nullopt;
}

std::optional<std::string> ResolvePortDevice(const std::string& comName) {
    if (!ComNumber(comName)) return std::nullopt;
    const std::filesystem::path link = std::filesystem::path(PortLinkFolder()) / comName;
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(link, ec))) {
        // A dead maker's link may lead to another program's terminal: it opens nothing.
        if (EndedPortLinkMaker(link.string())) return std::nullopt;
        return link.string();
    }
    return FixedDeviceForPort(comName);
}

}  // namespace orbiqa
