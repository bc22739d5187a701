#pragma once
// An in-memory registry: a tree of keys holding typed values, in insertion order. Tests build
// the registries they need with it, and the Linux reader keeps its registry-shaped view of the
// machine's serial devices in one.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ports/RegistryReader.h"

namespace orbiqa {

/// Value types with the Windows registry's numbers; only the two text types read as text.
enum class RegistryValueType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    MultiSz = 7,
};

class MemoryRegistry : public RegistryReader {
public:
    /// The Windows registry ignores letter case in key and value names; Exact keeps a registry
    /// where differently spelt names are different keys, as some callers must cope with.
    enum class NameCase { Insensitive, Exact };

    explicit MemoryRegistry(NameCase nameCase = NameCase::Insensitive);
    ~MemoryRegistry() override;
    MemoryRegistry(const MemoryRegistry&) = delete;
    MemoryRegistry& operator=(const MemoryRegistry&) = delete;

    /// Creates the key and any missing keys above it.
    void AddKey(const std::string& path);
    /// Sets a text value (type Sz or ExpandSz), creating the key when needed.
    void SetString(const std::string& path, const std::string& name, const std::string& text,
                   RegistryValueType type = RegistryValueType::Sz);
    /// Sets a value of any type with its raw bytes, creating the key when needed. A value that
    /// exists keeps its place in the order.
    void SetValue(const std::string& path, const std::string& name, RegistryValueType type,
                  const std::string& bytes);
    /// Removes a key with everything below it; nothing happens when it does not exist.
    void DeleteKey(const std::string& path);
    void DeleteValue(const std::string& path, const std::string& name);
    /// Removes every key.
    void Clear();

    std::unique_ptr<RegistryKey> OpenKey(const std::string& path) override;
    bool KeyExists(const std::string& path) override;

private:
    struct Node;
    Node* Child(const Node& node, const std::string& name) const;
    Node* Find(const std::string& path) const;
    Node& Make(const std::string& path);
    bool SameName(const std::string& a, const std::string& b) const;

    NameCase nameCase_;
    std::unique_ptr<Node> root_;
};

}  // namespace orbiqa
