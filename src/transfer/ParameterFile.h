#pragma once
// Parameter files (".VR3"): the 1088-byte image byte for byte, with no header or checksum.
// Failures raise EFileError with the runtime's file-error texts that service engineers know
// from the program's earlier versions.
#include <cstdint>
#include <span>
#include <string>

#include "base/FileStore.h"
#include "transfer/TransferEngine.h"

namespace orbiqa {

inline constexpr const char* kReadBeyondEndText = "Read beyond end of file";

/// Writes the image to path, replacing an existing file without asking, through SaveFile: a
/// save that fails (full disk, lost medium) leaves the earlier file intact, links lead to the
/// file they name, and devices or pipes receive the bytes. A write-protected target is refused
/// with "File access denied". Throws EFileError.
void SaveParameterFile(const std::string& path, std::span<const std::uint8_t, kParameterImageSize> image);

/// Loads the first 1088 bytes of path into the image. Only read access is asked for, so
/// write-protected files open. A file that cannot be read whole (missing, shorter, unreadable,
/// a pipe or device: "Not a regular file") leaves the image exactly as it was and raises
/// EFileError; longer files are accepted and their tail ignored.
void LoadParameterFile(const std::string& path, ImageBytes image);

/// Loads a parameter file, or a parameter set's text form (recognised by its header, never taken
/// for an image) through the text form's import. A text that cannot be imported raises
/// EFileError with the line at fault; the image is then unchanged.
void LoadParameterSetFile(const std::string& path, ImageBytes image);

}  // namespace orbiqa
