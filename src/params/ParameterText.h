#pragma once
// A parameter set as reviewable text: one "FIELD = value" line per field, then "@OFFSET = XX .."
// lines for every byte the field lines do not reproduce, so that importing an export gives back
// the file byte for byte, whatever it holds, and importing an edited export gives what setting
// the edited fields would. No Qt here.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "params/ParameterImage.h"

namespace orbiqa {

/// A text that cannot be imported; the message starts with "line N: " when a line is at fault.
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The first line of every export; a file that starts with it is a text, never an image.
inline constexpr std::string_view kParameterTextHeader = "# Orbiqa parameter set";

/// Whether the bytes are the text form (its header, after a UTF-8 or UTF-16 byte order mark).
bool IsParameterText(std::string_view bytes);

/// The text of an image (UTF-8, lines ended by "\n").
std::string ExportText(const ParameterImage& image);

/// What an import had to make up.
struct ImportNotes {
    /// Fields that the text gives neither by a field line nor by byte lines: they hold what an
    /// erased image holds.
    std::vector<std::string> fieldsLeftOut;
};

/// The image a text describes. It starts from an erased image (every byte 0xFF), writes the byte
/// lines in the order they stand (a later one wins) and sets each field line through the
/// editor's entry rules and store routines. A field line wins over byte lines for the bytes its
/// store writes: byte lines there are kept only where they leave the field's value as the line
/// gives it (the filler behind a text, unused bits), so an edited value is never undone.
/// LF, CR LF and CR end lines; UTF-8 (with or without a byte order mark) and UTF-16 with its
/// byte order mark are read. Blank lines and lines starting with "#" are skipped. Throws
/// ImportError for the first malformed line, and for a text that would import with an edit
/// lost, naming the lines involved: a field set twice, byte lines that give a field a value of
/// its own (bytes a store of that value writes) against its field line, and a text without a
/// field line; also for a text that is not UTF-8, at its first such line.
ParameterImage ImportText(std::string_view text, ImportNotes* notes = nullptr);

}  // namespace orbiqa
