#pragma once
// Files the command line reads and writes, with errors worded as the other tools of the system
// word them ("x.VR3: file too short (100 of 1088 bytes)", "nofolder/x.VR3: No such file or
// directory"), each a CliFailure with exit status 2. Parameter files go through the program's
// own parameter file functions. No Qt here.
#include <string>

#include "params/ParameterImage.h"

namespace orbiqa::cli {

/// The 1088 bytes of a parameter file (a longer file's tail is ignored, as the program does).
/// A parameter set's text form is refused with a hint to import it; with exactSize (what goes
/// to a module) so is every file that is not exactly 1088 bytes long.
ParameterImage LoadImageFile(const std::string& path, bool exactSize = false);

/// Whether the two paths name one file (an output that would overwrite its own input).
bool SameFile(const std::string& a, const std::string& b);

/// Refuses, before any work is done, a path that cannot be written: it names a folder or a
/// write-protected file, or it does not exist and its folder is missing or not writable.
void CheckWritable(const std::string& path);

/// Saves a parameter file through the program's save routine (the old file stays intact when
/// the save fails).
void SaveImageFile(const std::string& path, const ParameterImage& image);

/// A text file of at most a megabyte (parameter texts, CSV lists); a longer file, a folder or a
/// device is refused rather than read without bound.
std::string ReadTextFile(const std::string& path);

/// Writes a text file through the program's save routine: whole or not at all where the file
/// can be replaced, links followed, devices and pipes written in place.
void SaveTextFile(const std::string& path, const std::string& text);

}  // namespace orbiqa::cli
