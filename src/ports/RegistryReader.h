#pragma once
// Read-only access to a registry-shaped tree of keys and values. Port discovery walks the
// Windows registry on Windows; elsewhere a reader presents the same facts in the same shape, so
// that the discovery rules exist once.
#include <memory>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "ports/DeviceWatcher.h"

namespace orbiqa {

/// A value was read as text but holds another type ("Invalid data type for '<name>'").
class ERegistryException : public OrbiqaError {
public:
    using OrbiqaError::OrbiqaError;
};

/// Raises ERegistryException for the named value.
[[noreturn]] void RaiseInvalidDataType(const std::string& valueName);

/// One opened key. A key that could not be opened behaves as an empty key: no values, no
/// subkeys. Closing happens when the object is destroyed.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;

    /// The text of a value: empty when the value does not exist; a text value up to its first
    /// NUL. Raises ERegistryException when the value holds any other type.
    virtual std::string ReadString(const std::string& name) const = 0;
    virtual bool HasSubKeys() const = 0;
    /// Subkey names in the registry's order.
    virtual std::vector<std::string> GetKeyNames() const = 0;
    /// Value names in the registry's order.
    virtual std::vector<std::string> GetValueNames() const = 0;
};

/// A key path as the registry compares it: lower case, without doubled, leading or trailing
/// separators. Readers that refresh a view when a certain key is opened recognise it so.
std::string CanonicalKeyPath(const std::string& path);

/// Opens keys below the machine root by full path ("\SYSTEM\CurrentControlSet\Enum"), read
/// only, never creating anything.
class RegistryReader {
public:
    virtual ~RegistryReader() = default;

    /// Never null: a key that cannot be opened comes back empty.
    virtual std::unique_ptr<RegistryKey> OpenKey(const std::string& path) = 0;
    virtual bool KeyExists(const std::string& path) = 0;
    /// Told of each device report, before the scan that follows it. A reader that shows the
    /// system's own memory of devices (the Windows registry) has nothing to do.
    virtual void NoteDeviceEvent(const DeviceEvent& event) { (void)event; }
};

}  // namespace orbiqa
