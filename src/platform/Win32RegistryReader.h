#pragma once
// The Windows registry under HKEY_LOCAL_MACHINE, read only. Each key opened is its own handle,
// closed when the key object goes.
#include "ports/RegistryReader.h"

namespace orbiqa {

class Win32RegistryReader : public RegistryReader {
public:
    /// A key that cannot be opened (missing, no access) comes back empty.
    std::unique_ptr<RegistryKey> OpenKey(const std::string& path) override;
    bool KeyExists(const std::string& path) override;
};

}  // namespace orbiqa
