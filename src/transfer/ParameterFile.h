#pragma once
// Parameter files (".VR3"): the 1088-byte image byte for byte, with no header or checksum.
// Failures raise EFileError with the runtime's file-error texts that service engineers know
// from the program's earlier versions.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/FileStore.h"
#include "transfer/TransferEngine.h"

namespace orbiqa {

inline constexpr const char* kReadBeyondEndText = "Read beyond end of file";

/// Writes the image to path, replacing an existing file without asking, through SaveFile: a
/// save that fails (full disk, lost medium) leaves the earlier file intact, links lead to the
/// file they name, and devices or pipes receive the bytes. A write-protected target is refused
/// with "File access denied". Throws EFileError.
void SaveParameterFile(const std::string& path, std::span<const std::uint8_t, kParameterImageSize> image);

/// The most a parameter set's text may hold; an export is about 4 KiB.
inline constexpr std::size_t kMaxParameterTextBytes = std::size_t{1} << 20;

/// A parameter set's text that cannot be imported; what() is the import's message, which names
/// the lines at fault.
class EParameterTextError : public EFileError {
public:
    using EFileError::EFileError;
};

/// What a load found besides the bytes.
struct ParameterFileLoad {
    /// The file was a parameter set's text form, imported.
    bool text = false;
    /// Of a text: the fields it gives neither by a field line nor by bytes (erased values now).
    std::vector<std::string> fieldsLeftOut;
};

/// The one way the program reads a parameter file, whoever names it (the open dialog, the
/// command line, a second start, a drop). A parameter set's text form, known by its first
/// line, is imported (never taken for an image); anything else is an image whose first 1088
/// bytes are loaded, a longer file's tail ignored. Only read access is asked for, so
/// write-protected files open. Whatever fails leaves the image exactly as it was and raises
/// EFileError: a file that cannot be read whole ("File not found", "Read beyond end of file",
/// a pipe or device: "Not a regular file"), a text longer than kMaxParameterTextBytes ("File
/// too large": a cut text would lose its last lines), and a text that cannot be imported
/// (EParameterTextError).
ParameterFileLoad LoadParameterFile(const std::string& path, ImageBytes image);

}  // namespace orbiqa
