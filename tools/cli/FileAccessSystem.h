#pragma once
// What the file system says about a path before the command line reads or writes it, worded as
// the system's own tools word it. One implementation per operating system.
#include <cstddef>
#include <filesystem>
#include <string>

namespace orbiqa::cli {

/// Why a file cannot be read whole ("No such file or directory", "file too short (100 of 1088
/// bytes)"), or fallback when the file system sees no reason.
std::string ReadFailure(const std::string& path, std::size_t wanted, const std::string& fallback);

/// The error number that refuses a write to target before any work is done (a folder, a
/// write-protected file, a missing folder), or 0.
int WriteRefusal(const std::string& target);

inline std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

inline std::string TooShortText(std::size_t size, std::size_t wanted) {
    return "file too short (" + std::to_string(size) + " of " + std::to_string(wanted) + " bytes)";
}

}  // namespace orbiqa::cli
