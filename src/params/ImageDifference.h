#pragma once
// Which fields differ between two parameter images, and which bytes besides: what the command
// line's diff, the site history and the transfer window's compare report. The fields and their
// values come from the field catalog. No Qt here.
#include <cstddef>
#include <string>
#include <vector>

#include "params/FieldCatalog.h"
#include "params/ParameterImage.h"

namespace orbiqa {

/// The 64-byte block an image offset belongs to (15 and above lie beyond the module's memory).
std::size_t BlockOf(std::size_t offset);

struct FieldDifference {
    FieldValue a, b;
    std::string where;  ///< for byte runs: "block 3", "block 5, in SMS1", "file only"
};

/// The fields whose values differ, in field order, then every other run of differing bytes,
/// named "@FIRST" or "@FIRST-LAST" (decimal offsets): bytes no field covers, and bytes of a field
/// whose value does not show them. Empty exactly when the images are equal.
std::vector<FieldDifference> DiffImages(const ParameterImage& a, const ParameterImage& b);

/// The names of the fields whose values differ between the two images, in field order, limited
/// to the module's memory when moduleOnly (what a compare with the module can see).
std::vector<std::string> DifferingFieldNames(const ParameterImage& a, const ParameterImage& b,
                                             bool moduleOnly);

}  // namespace orbiqa
