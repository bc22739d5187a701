#include "ports/RegistryReader.h"

namespace orbiqa {

void RaiseInvalidDataType(const std::string& valueName) {
    throw ERegistryException("Invalid data type for '" + valueName + "'");
}

std::string CanonicalKeyPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

}  // namespace orbiqa
