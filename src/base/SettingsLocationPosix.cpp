#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/SettingsLocation.h"

namespace orbiqa {

std::string InstalledMarkerPath(const std::string& programFolder) {
    return programFolder + "/../share/orbiqa/" + kInstalledMarker;
}

bool IsInstalledCopy(const std::string& programFolder) {
    std::error_code ec;
    return !programFolder.empty() && std::filesystem::is_regular_file(InstalledMarkerPath(programFolder), ec);
}

std::string UserSettingsFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // XDG's base directory rules ignore a relative XDG_CONFIG_HOME.
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/orbiqa";
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    return std::string(home) + "/.config/orbiqa";
}

bool FolderTakesNewFiles(const std::string& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return false;
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

bool MakeFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::is_directory(folder, ec);
}

std::string OwnSettingsFolder(const std::string&, const std::string& workingFolder) {
    return workingFolder;
}

}  // namespace orbiqa
