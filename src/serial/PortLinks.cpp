#include "serial/PortLinks.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

#include "base/ComPortRange.h"
#include "base/FileStore.h"
#include "base/IntText.h"
#include "serial/PortLinkOwner.h"
#include "serial/PortName.h"

namespace orbiqa {
namespace {

struct FixedFamily {
    const char* prefix;
    int firstPort;
};
constexpr FixedFamily kFamilies[] = {{"/dev/ttyS", 1}, {"/dev/ttyUSB", 33}, {"/dev/ttyACM", 65}};
constexpr int kFamilySize = 32;


constexpr const char* kTtyDrivers = "/proc/tty/drivers";
constexpr std::size_t kMaxTtyDriversBytes = 64 * 1024;

struct TtyRange {
    unsigned major;
    unsigned firstMinor;
    unsigned lastMinor;
};

// The device numbers of the kernel's terminal drivers. A line is "name node major minors type",
// minors a number or "first-last"; the "system" entries (/dev/tty, the console, /dev/ptmx) and
// the masters of pseudo-terminals are no ports.
std::optional<std::vector<TtyRange>> TerminalRanges() {
    std::string text;
    try {
        text = ReadFileBounded(kTtyDrivers, kMaxTtyDriversBytes, true);
    } catch (const EFileStoreError&) {
        return std::nullopt;
    }
    std::vector<TtyRange> ranges;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream words(line);
        for (std::string word; words >> word;) fields.push_back(word);
        if (fields.size() < 5) continue;
        const std::string& type = fields.back();
        if (type.rfind("system", 0) == 0 || type == "pty:master") continue;
        const std::string& minors = fields[fields.size() - 2];
        const auto dash = minors.find('-');
        const auto major = TryStrToInt(fields[fields.size() - 3]);
        const auto first = TryStrToInt(minors.substr(0, dash));
        const auto last = dash == std::string::npos ? first : TryStrToInt(minors.substr(dash + 1));
        if (!major || !first || !last || *major < 0 || *first < 0 || *last < *first) continue;
        ranges.push_back({static_cast<unsigned>(*major), static_cast<unsigned>(*first), static_cast<unsigned>(*last)});
    }
    return ranges;
}

}  // namespace

bool IsTerminalDevice(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const auto ranges = TerminalRanges();
    if (!ranges) return true;
    const unsigned devMajor = major(st.st_rdev);
    const unsigned devMinor = minor(st.st_rdev);
    for (const TtyRange& r : *ranges)
        if (r.major == devMajor && devMinor >= r.firstMinor && devMinor <= r.lastMinor) return true;
    return false;
}

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
    // Only the canonical spelling names a link, so that one port never has two links.
    const auto n = ComPortNumberOf(fileName);
    return n && fileName == ComPortName(*n);
}

std::optional<std::string> FixedDeviceForPort(const std::string& comName) {
    const auto n = ComPortNumberOf(comName);
    if (!n || *n > 96) return std::nullopt;
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
        if (idx && *idx >= 0 && *idx < kFamilySize) return ComPortName(f.firstPort + *idx);
    }
    return std::nullopt;
}

std::optional<std::string> ResolvePortDevice(const std::string& comName) {
    const auto n = ComPortNumberOf(comName);
    if (!n) return std::nullopt;
    const std::filesystem::path link = std::filesystem::path(PortLinkFolder()) / ComPortName(*n);
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(link, ec))) {
        // A dead maker's link may lead to another program's terminal: it opens nothing.
        if (EndedPortLinkMaker(link.string())) return std::nullopt;
        return link.string();
    }
    return FixedDeviceForPort(comName);
}

}  // namespace orbiqa
