// The file system's view on Windows, through the standard library (which speaks UTF-16 to
// Windows). A folder's permissions are its access lists, which only the save itself can try, so
// a folder is refused only when it is missing or a file.
#include <cerrno>
#include <cstring>
#include <fstream>

#include "FileAccessSystem.h"

namespace orbiqa::cli {

namespace fs = std::filesystem;

std::string ReadFailure(const std::string& path, std::size_t wanted, const std::string& fallback) {
    std::error_code ec;
    const fs::file_status status = fs::status(fs::path(path), ec);
    if (!fs::exists(status)) return std::strerror(ENOENT);
    if (fs::is_directory(status)) return std::strerror(EISDIR);
    if (!std::ifstream(fs::path(path), std::ios::binary)) return std::strerror(EACCES);
    if (fs::is_regular_file(status)) {
        const auto size = fs::file_size(fs::path(path), ec);
        if (!ec && size < wanted) return TooShortText(static_cast<std::size_t>(size), wanted);
    }
    return fallback;
}

int WriteRefusal(const std::string& target) {
    std::error_code ec;
    const fs::file_status status = fs::status(fs::path(target), ec);
    if (fs::exists(status)) {
        if (fs::is_directory(status)) return EISDIR;
        // The read-only attribute: the save routine keeps such a file as it is.
        if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) return EACCES;
        return 0;
    }
    const fs::file_status folder = fs::status(fs::path(FolderOf(target)), ec);
    if (!fs::exists(folder)) return ENOENT;
    if (!fs::is_directory(folder)) return ENOTDIR;
    return 0;
}

}  // namespace orbiqa::cli
