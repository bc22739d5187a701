#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <system_error>

#include "base/SettingsLocation.h"

namespace orbiqa {
namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::string InstalledMarkerPath(const std::string& programFolder) {
    return programFolder + "/" + kInstalledMarker;
}

bool IsInstalledCopy(const std::string& programFolder) {
    if (programFolder.empty()) return false;
    const DWORD attributes = GetFileAttributesW(Wide(InstalledMarkerPath(programFolder)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string UserSettingsFolder() {
    wchar_t path[MAX_PATH] = {};
    // The shell knows the folder even where LOCALAPPDATA is not set (a service, a scheduled task).
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)) && path[0])
        return Utf8(path) + "\\Orbiqa";
    return {};
}

bool FolderTakesNewFiles(const std::string& folder) {
    const std::wstring wide = Wide(folder);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    // Access lists decide, and only an attempt reads them right: a probe file that goes with
    // its handle.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::wstring probe = wide + L"\\.orbiqa-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(GetTickCount64() + static_cast<ULONGLONG>(attempt));
        HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

bool MakeFolder(const std::string& folder) {
    std::error_code ec;
    const std::filesystem::path path(Wide(folder));
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

std::string OwnSettingsFolder(const std::string& programFolder, const std::string&) {
    return programFolder;
}

}  // namespace orbiqa
