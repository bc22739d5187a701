#include "ports/MemoryRegistry.h"

#include <algorithm>

namespace orbiqa {

struct MemoryRegistry::Node {
    struct Value {
        std::string name;
        RegistryValueType type;
        std::string bytes;
    };
    std::string name;
    std::vector<Value> values;
    std::vector<std::unique_ptr<Node>> children;
};

namespace {

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool NamesEqual(const std::string& a, const std::string& b, bool exactCase) {
    if (exactCase) return a == b;
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

// Copies what it shows when opened, so that later changes to the registry cannot leave it
// pointing into a removed key.
class MemoryKey : public RegistryKey {
public:
    struct Value {
        std::string name;
        RegistryValueType type;
        std::string bytes;
    };
    MemoryKey(bool exactCase, std::vector<Value> values, std::vector<std::string> keyNames)
        : exactCase_(exactCase), values_(std::move(values)), keyNames_(std::move(keyNames)) {}

    std::string ReadString(const std::string& name) const override {
        for (const Value& v : values_) {
            if (!NamesEqual(v.name, name, exactCase_)) continue;
            if (v.type != RegistryValueType::Sz && v.type != RegistryValueType::ExpandSz)
                RaiseInvalidDataType(name);
            return v.bytes.substr(0, v.bytes.find('\0'));
        }
        return {};
    }
    bool HasSubKeys() const override { return !keyNames_.empty(); }
    std::vector<std::string> GetKeyNames() const override { return keyNames_; }
    std::vector<std::string> GetValueNames() const override {
        std::vector<std::string> names;
        for (const Value& v : values_) names.push_back(v.name);
        return names;
    }

private:
    bool exactCase_;
    std::vector<Value> values_;
    std::vector<std::string> keyNames_;
};

}  // namespace

MemoryRegistry::MemoryRegistry(NameCase nameCase) : nameCase_(nameCase), root_(std::make_unique<Node>()) {}

MemoryRegistry::~MemoryRegistry() = default;

bool MemoryRegistry::SameName(const std::string& a, const std::string& b) const {
    return NamesEqual(a, b, nameCase_ == NameCase::Exact);
}

MemoryRegistry::Node* MemoryRegistry::Child(const Node& node, const std::string& name) const {
    for (const auto& child : node.children)
        if (SameName(child->name, name)) return child.get();
    return nullptr;
}

MemoryRegistry::Node* MemoryRegistry::Find(const std::string& path) const {
    Node* node = root_.get();
    for (const std::string& part : SplitPath(path)) {
        node = Child(*node, part);
        if (!node) return nullptr;
    }
    return node;
}

MemoryRegistry::Node& MemoryRegistry::Make(const std::string& path) {
    Node* node = root_.get();
    for (const std::string& part : SplitPath(path)) {
        Node* next = Child(*node, part);
        if (!next) {
            node->children.push_back(std::make_unique<Node>());
            next = node->children.back().get();
            next->name = part;
        }
        node = next;
    }
    return *node;
}

void MemoryRegistry::AddKey(const std::string& path) { Make(path); }

void MemoryRegistry::SetString(const std::string& path, const std::string& name, const std::string& text,
                               RegistryValueType type) {
    SetValue(path, name, type, text);
}

void MemoryRegistry::SetValue(const std::string& path, const std::string& name, RegistryValueType type,
                              const std::string& bytes) {
    Node& node = Make(path);
    for (Node::Value& v : node.values)
        if (SameName(v.name, name)) {
            v.type = type;
            v.bytes = bytes;
            return;
        }
    node.values.push_back({name, type, bytes});
}

void MemoryRegistry::DeleteKey(const std::string& path) {
    std::vector<std::string> parts = SplitPath(path);
    if (parts.empty()) return;
    const std::string last = parts.back();
    parts.pop_back();
    std::string parentPath;
    for (const std::string& p : parts) parentPath += "\\" + p;
    Node* parent = Find(parentPath);
    if (!parent) return;
    std::erase_if(parent->children, [&](const auto& child) { return SameName(child->name, last); });
}

void MemoryRegistry::DeleteValue(const std::string& path, const std::string& name) {
    if (Node* node = Find(path))
        std::erase_if(node->values, [&](const Node::Value& v) { return SameName(v.name, name); });
}

void MemoryRegistry::Clear() { root_ = std::make_unique<Node>(); }

std::unique_ptr<RegistryKey> MemoryRegistry::OpenKey(const std::string& path) {
    std::vector<MemoryKey::Value> values;
    std::vector<std::string> keyNames;
    if (const Node* node = Find(path)) {
        for (const Node::Value& v : node->values) values.push_back({v.name, v.type, v.bytes});
        for (const auto& child : node->children) keyNames.push_back(child->name);
    }
    return std::make_unique<MemoryKey>(nameCase_ == NameCase::Exact, std::move(values), std::move(keyNames));
}

bool MemoryRegistry::KeyExists(const std::string& path) { return Find(path) != nullptr; }

}  // namespace orbiqa
