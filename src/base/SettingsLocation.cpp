#include "base/SettingsLocation.h"

namespace orbiqa {
namespace {

std::string& ChosenFolder() {
    static std::string folder;
    return folder;
}

std::string MadeUserFolder(const std::string& fallback) {
    const std::string user = UserSettingsFolder();
    if (user.empty()) return fallback;
    MakeFolder(user);
    return user;
}

}  // namespace

std::string ChooseSettingsFolder(const std::string& programFolder, const std::string& workingFolder) {
    if (IsInstalledCopy(programFolder)) return MadeUserFolder(workingFolder);
    const std::string own = OwnSettingsFolder(programFolder, workingFolder);
    if (FolderTakesNewFiles(own)) return own;
    // A folder that takes no file would give an error box at every exit and never remember
    // the port.
    return MadeUserFolder(own);
}

const std::string& SettingsFolder() {
    return ChosenFolder();
}

void UseSettingsFolder(std::string folder) {
    ChosenFolder() = std::move(folder);
}

std::string SettingsFilePath(const std::string& fileName) {
    const std::string& folder = ChosenFolder();
    if (folder.empty()) return fileName;
    const char last = folder.back();
    return folder + (last == '/' || last == '\\' ? "" : "/") + fileName;
}

}  // namespace orbiqa
