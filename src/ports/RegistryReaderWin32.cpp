#include "ports/RegistryReaderWin32.h"
#include "ports/SystemRegistryReader.h"

#include <windows.h>

#include <vector>

#include "base/Win1250Wide.h"
#include "ports/RegistryKeys.h"

namespace orbiqa {
namespace {

// KEY_READ (0x20019): the registry is only ever read.
constexpr REGSAM kAccess = KEY_READ;

// RegOpenKeyExW takes paths relative to the root, without the leading separator.
std::wstring RelativePath(const std::string& path) {
    std::size_t from = 0;
    while (from < path.size() && path[from] == '\\') ++from;
    return Win1250ToWide(std::string_view(path).substr(from));
}

// A registry text as stored: it need not end with a NUL, and may hold one inside; the text ends
// at the first.
std::string TextOf(const std::vector<BYTE>& data, DWORD size) {
    const auto* chars = reinterpret_cast<const wchar_t*>(data.data());
    std::size_t count = size / sizeof(wchar_t);
    std::size_t end = 0;
    while (end < count && chars[end] != L'\0') ++end;
    return WideToWin1250(std::wstring_view(chars, end));
}

class Win32Key : public RegistryKey {
public:
    explicit Win32Key(const std::string& path) {
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RelativePath(path).c_str(), 0, kAccess, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Win32Key() override {
        if (key_) RegCloseKey(key_);
    }
    Win32Key(const Win32Key&) = delete;
    Win32Key& operator=(const Win32Key&) = delete;

    std::string ReadString(const std::string& name) const override {
        if (!key_) return {};
        const std::wstring wideName = Win1250ToWide(name);
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegQueryValueExW(key_, wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
        if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseInvalidDataType(name);
        // The value may grow between the two calls; ask again with the size it reports.
        std::vector<BYTE> data;
        LONG result = ERROR_MORE_DATA;
        while (result == ERROR_MORE_DATA) {
            data.assign(static_cast<std::size_t>(size) + sizeof(wchar_t), 0);
            size = static_cast<DWORD>(data.size() - sizeof(wchar_t));
            result = RegQueryValueExW(key_, wideName.c_str(), nullptr, &type, data.data(), &size);
        }
        if (result != ERROR_SUCCESS) return {};
        if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseInvalidDataType(name);
        return TextOf(data, size);
    }

    bool HasSubKeys() const override {
        DWORD subKeys = 0;
        if (!key_) return false;
        if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        return subKeys > 0;
    }

    std::vector<std::string> GetKeyNames() const override {
        std::vector<std::string> names;
        DWORD count = 0;
        DWORD longest = 0;
        if (!key_ || RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        std::vector<wchar_t> buffer(static_cast<std::size_t>(longest) + 1);
        for (DWORD i = 0; i < count; ++i) {
            DWORD length = static_cast<DWORD>(buffer.size());
            if (RegEnumKeyExW(key_, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.push_back(WideToWin1250(std::wstring_view(buffer.data(), length)));
        }
        return names;
    }

    std::vector<std::string> GetValueNames() const override {
        std::vector<std::string> names;
        DWORD count = 0;
        DWORD longest = 0;
        if (!key_ || RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest,
                                      nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        std::vector<wchar_t> buffer(static_cast<std::size_t>(longest) + 1);
        for (DWORD i = 0; i < count; ++i) {
            DWORD length = static_cast<DWORD>(buffer.size());
            if (RegEnumValueW(key_, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.push_back(WideToWin1250(std::wstring_view(buffer.data(), length)));
        }
        return names;
    }

private:
    HKEY key_ = nullptr;
};

bool IsAtOrBelow(const std::string& canonicalPath, const std::string& canonicalRoot) {
    return canonicalPath == canonicalRoot ||
           (canonicalPath.size() > canonicalRoot.size() && canonicalPath.compare(0, canonicalRoot.size(), canonicalRoot) == 0 &&
            canonicalPath[canonicalRoot.size()] == '\\');
}

}  // namespace

RegistryReaderWin32::RegistryReaderWin32(PortDeviceSource devices) : devices_(std::move(devices)) {}

bool RegistryReaderWin32::ShownFromDeviceManager(const std::string& path) {
    const std::string key = CanonicalKeyPath(path);
    const std::string root = CanonicalKeyPath(registry_keys::kEnumRoot);
    if (!IsAtOrBelow(key, root)) return false;
    if (key == root) {
        std::vector<PortDeviceFacts> devices = devices_ ? devices_() : std::vector<PortDeviceFacts>{};
        ShowPortDevices(devices, deviceManagerView_);
        useDeviceManager_ = deviceManagerView_.OpenKey(registry_keys::kEnumRoot)->HasSubKeys();
    }
    return useDeviceManager_;
}

std::unique_ptr<RegistryKey> RegistryReaderWin32::OpenKey(const std::string& path) {
    if (ShownFromDeviceManager(path)) return deviceManagerView_.OpenKey(path);
    return std::make_unique<Win32Key>(path);
}

bool RegistryReaderWin32::KeyExists(const std::string& path) {
    if (useDeviceManager_ && IsAtOrBelow(CanonicalKeyPath(path), CanonicalKeyPath(registry_keys::kEnumRoot)))
        return deviceManagerView_.KeyExists(path);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RelativePath(path).c_str(), 0, kAccess, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::shared_ptr<RegistryReader> CreateSystemRegistryReader() {
    return std::make_shared<RegistryReaderWin32>();
}

}  // namespace orbiqa
