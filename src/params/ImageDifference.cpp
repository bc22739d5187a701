#include "params/ImageDifference.h"

#include <array>
#include <cstdio>

#include "params/EEAddr.h"

namespace orbiqa {

namespace {

std::string HexBytes(const ParameterImage& image, std::size_t first, std::size_t last) {
    std::string hex;
    for (std::size_t i = first; i <= last; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", image[i]);
        if (!hex.empty()) hex += ' ';
        hex += pair;
    }
    return hex;
}

}  // namespace

std::size_t BlockOf(std::size_t offset) {
    return offset / EEAddr::BlockSize;
}

std::vector<std::string> DifferingFieldNames(const ParameterImage& a, const ParameterImage& b,
                                             bool moduleOnly) {
    std::vector<std::string> names;
    for (const auto& field : AllFields()) {
        if (moduleOnly && !InModuleMemory(field)) continue;
        if (FieldValueText(a, field) != FieldValueText(b, field)) names.push_back(field.name);
    }
    return names;
}

std::vector<FieldDifference> DiffImages(const ParameterImage& a, const ParameterImage& b) {
    std::vector<FieldDifference> differences;
    // For each byte, the field it belongs to (or none), and whether that field's value differs.
    std::array<const FieldInfo*, ParameterImage::Size> owner{};
    std::array<bool, ParameterImage::Size> explained{};
    for (const auto& field : AllFields()) {
        FieldValue va{field.name, field.kind, FieldValueText(a, field)};
        FieldValue vb{field.name, field.kind, FieldValueText(b, field)};
        const bool differs = va != vb;
        for (std::size_t i = field.offset; i < field.offset + field.size; ++i) {
            if (!owner[i]) owner[i] = &field;
            explained[i] = explained[i] || differs;
        }
        if (differs) differences.push_back({std::move(va), std::move(vb), {}});
    }
    // Every other differing byte is listed too, so that two files are equal only when they are
    // byte for byte: bytes no field covers, and bytes a field holds but its value does not show
    // (the filler after an SMS text, unused bits). Runs stay within one block and one field.
    for (std::size_t i = 0; i < ParameterImage::Size;) {
        if (explained[i] || a[i] == b[i]) {
            ++i;
            continue;
        }
        std::size_t last = i;
        while (last + 1 < ParameterImage::Size && !explained[last + 1] &&
               a[last + 1] != b[last + 1] && owner[last + 1] == owner[i] &&
               BlockOf(last + 1) == BlockOf(i))
            ++last;
        const std::string name =
            "@" + std::to_string(i) + (last > i ? "-" + std::to_string(last) : "");
        std::string where = i < EEAddr::ModuleMemorySize ? "block " + std::to_string(BlockOf(i))
                                                         : std::string("file only");
        if (owner[i]) where += ", in " + owner[i]->name;
        differences.push_back({{name, ValueKind::Bytes, HexBytes(a, i, last)},
                               {name, ValueKind::Bytes, HexBytes(b, i, last)},
                               where});
        i = last + 1;
    }
    return differences;
}

}  // namespace orbiqa
