#include "platform/Win32RegistryReader.h"
#include "platform/SystemRegistryReader.h"

#include <windows.h>

#include <vector>

namespace orbiqa {
namespace {

// KEY_READ (0x20019): the registry is only ever read.
constexpr REGSAM kAccess = KEY_READ;

// RegOpenKeyExA takes paths relative to the root, without the leading separator.
std::string RelativePath(const std::string& path) {
    std::size_t from = 0;
    while (from < path.size() && path[from] == '\\') ++from;
    return path.substr(from);
}

class Win32Key : public RegistryKey {
public:
    explicit Win32Key(const std::string& path) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RelativePath(path).c_str(), 0, kAccess, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Win32Key() override {
        if (key_) RegCloseKey(key_);
    }
    Win32Key(const Win32Key&) = delete;
    Win32Key& operator=(const Win32Key&) = delete;

    std::string ReadString(const std::string& name) const override {
        if (!key_) return {};
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
        if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseInvalidDataType(name);
        // The value may grow between the two calls; ask again with the size it reports.
        std::vector<char> data;
        LONG result = ERROR_MORE_DATA;
        while (result == ERROR_MORE_DATA) {
            data.assign(static_cast<std::size_t>(size) + 1, '\0');
            size = static_cast<DWORD>(data.size() - 1);
            result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        }
        if (result != ERROR_SUCCESS) return {};
        if (type != REG_SZ && type != REG_EXPAND_SZ) RaiseInvalidDataType(name);
        // Stored text need not be NUL-terminated; the extra byte guarantees one.
        return std::string(data.data());
    }

    bool HasSubKeys() const override {
        DWORD subKeys = 0;
        if (!key_) return false;
        if (RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        return subKeys > 0;
    }

    std::vector<std::string> GetKeyNames() const override {
        std::vector<std::string> names;
        DWORD count = 0;
        DWORD longest = 0;
        if (!key_ || RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        std::vector<char> buffer(static_cast<std::size_t>(longest) + 1);
        for (DWORD i = 0; i < count; ++i) {
            DWORD length = static_cast<DWORD>(buffer.size());
            if (RegEnumKeyExA(key_, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.emplace_back(buffer.data(), length);
        }
        return names;
    }

    std::vector<std::string> GetValueNames() const override {
        std::vector<std::string> names;
        DWORD count = 0;
        DWORD longest = 0;
        if (!key_ || RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest,
                                      nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        std::vector<char> buffer(static_cast<std::size_t>(longest) + 1);
        for (DWORD i = 0; i < count; ++i) {
            DWORD length = static_cast<DWORD>(buffer.size());
            if (RegEnumValueA(key_, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.emplace_back(buffer.data(), length);
        }
        return names;
    }

private:
    HKEY key_ = nullptr;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32RegistryReader::OpenKey(const std::string& path) {
    return std::make_unique<Win32Key>(path);
}

bool Win32RegistryReader::KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RelativePath(path).c_str(), 0, kAccess, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::shared_ptr<RegistryReader> CreateSystemRegistryReader() {
    return std::make_shared<Win32RegistryReader>();
}

}  // namespace orbiqa
