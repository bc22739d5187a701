#pragma once
// A parameter set as reviewable text: one "FIELD = value" line per field, then "@OFFSET = XX .."
// lines for every byte the field lines do not reproduce, so that importing an export gives back
// the file byte for byte, whatever it holds. No Qt here.
#include <cstddef>
#include <stdexcept>
#include <string>

#include "params/ParameterImage.h"

namespace orbiqa::cli {

/// A line of an import that cannot be used; the message starts with "line N: ".
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The text of an image (UTF-8, lines ended by "\n").
std::string ExportText(const ParameterImage& image);

/// The image a text describes: start from an erased image (every byte 0xFF), set each field line
/// through the editor's rules, write each byte line, in the order they stand. Blank lines and
/// lines starting with "#" are skipped. Throws ImportError for the first malformed line.
ParameterImage ImportText(const std::string& text);

}  // namespace orbiqa::cli
