#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "FileAccessSystem.h"

namespace orbiqa::cli {

std::string ReadFailure(const std::string& path, std::size_t wanted, const std::string& fallback) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    if (S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) < wanted)
        return TooShortText(static_cast<std::size_t>(st.st_size), wanted);
    return fallback;
}

int WriteRefusal(const std::string& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return EISDIR;
        if (::access(target.c_str(), W_OK) != 0) return errno;
        // The save routine writes a writable file in place when its folder is closed to new
        // files, so only a file yet to be made needs the folder.
        return 0;
    }
    const std::string folder = FolderOf(target);
    if (::stat(folder.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    if (::access(folder.c_str(), W_OK) != 0) return errno;
    return 0;
}

}  // namespace orbiqa::cli
