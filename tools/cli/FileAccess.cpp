#include "FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "CommandLine.h"
#include "base/Errors.h"
#include "transfer/ParameterFile.h"

namespace orbiqa::cli {

namespace {

constexpr std::size_t kMaxTextFileBytes = 1 << 20;
constexpr mode_t kNewFileMode = 0666;

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw CliFailure(kExitUsage, path + ": " + reason);
}

[[noreturn]] void FailErrno(const std::string& path, int error) {
    Fail(path, std::strerror(error));
}

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

/// The file a write lands in: a link is followed, so that the link itself is kept.
std::string WriteTarget(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const auto target = std::filesystem::weakly_canonical(path, ec);
        if (!ec) return target.string();
    }
    return path;
}

/// Why a file cannot be read whole, from the file system itself.
std::string ReadFailure(const std::string& path, std::size_t wanted, const std::string& fallback) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    if (S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) < wanted)
        return "file too short (" + std::to_string(st.st_size) + " of " + std::to_string(wanted) +
               " bytes)";
    return fallback;
}

}  // namespace

ParameterImage LoadImageFile(const std::string& path) {
    ParameterImage image;
    try {
        LoadParameterFile(path, ImageBytes(image.data(), ParameterImage::Size));
    } catch (const EFileError& e) {
        Fail(path, ReadFailure(path, ParameterImage::Size, e.what()));
    }
    return image;
}

void CheckWritable(const std::string& path) {
    const std::string target = WriteTarget(path);
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) FailErrno(path, EISDIR);
        if (::access(target.c_str(), W_OK) != 0) FailErrno(path, errno);
    }
    const std::string folder = FolderOf(target);
    if (::stat(folder.c_str(), &st) != 0) FailErrno(path, errno);
    if (!S_ISDIR(st.st_mode)) FailErrno(path, ENOTDIR);
    if (::access(folder.c_str(), W_OK) != 0) FailErrno(path, errno);
}

void SaveImageFile(const std::string& path, const ParameterImage& image) {
    CheckWritable(path);
    try {
        SaveParameterFile(path, std::span<const std::uint8_t, kParameterImageSize>(
                                    image.data(), ParameterImage::Size));
    } catch (const EFileError& e) {
        Fail(path, e.what());
    }
}

std::string ReadTextFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) FailErrno(path, errno);
    if (S_ISDIR(st.st_mode)) FailErrno(path, EISDIR);
    if (!S_ISREG(st.st_mode)) Fail(path, "not a regular file");
    if (static_cast<std::size_t>(st.st_size) > kMaxTextFileBytes)
        Fail(path, "file too long (more than " + std::to_string(kMaxTextFileBytes) + " bytes)");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) FailErrno(path, errno);
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            FailErrno(path, error);
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxTextFileBytes) {
            ::close(fd);
            Fail(path, "file too long");
        }
    }
    ::close(fd);
    return text;
}

void SaveTextFile(const std::string& path, const std::string& text) {
    CheckWritable(path);
    const std::string target = WriteTarget(path);
    std::string temp =
        FolderOf(target) + "/." + std::filesystem::path(target).filename().string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) FailErrno(path, errno);
    const auto abandon = [&](int error) {
        ::close(fd);
        ::unlink(temp.c_str());
        FailErrno(path, error);
    };
    struct stat old {};
    // A replaced file keeps its permissions; a new one gets what the user's mask allows, as any
    // other tool's would (the temporary file starts private).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode =
        ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : (kNewFileMode & ~mask);
    if (::fchmod(fd, mode) != 0) abandon(errno);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) abandon(errno);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) abandon(errno);
    if (::close(fd) != 0) {
        ::unlink(temp.c_str());
        FailErrno(path, errno);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        FailErrno(path, error);
    }
}

}  // namespace orbiqa::cli
