#include "transfer/ParameterFile.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#elif defined(_WIN32)
#include <io.h>
#endif

#include "base/Errors.h"

namespace orbiqa {

namespace {

namespace fs = std::filesystem;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

[[noreturn]] void FailWith(int systemError) { throw EFileError(FileErrorText(systemError)); }

// Data must be on the medium before the new file takes the old one's name.
bool FlushToDisk(std::FILE* f) {
    if (std::fflush(f) != 0) return false;
#if defined(__unix__) || defined(__APPLE__)
    if (::fsync(::fileno(f)) != 0) return false;
#elif defined(_WIN32)
    if (::_commit(::_fileno(f)) != 0) return false;
#endif
    return true;
}

// A link is followed, so that saving over it replaces the file it leads to, not the link.
fs::path ResolvedTarget(const fs::path& path) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        const fs::path target = fs::weakly_canonical(path, ec);
        if (!ec) return target;
    }
    return path;
}

// A fresh name beside the target; "x" makes the open fail rather than reuse a file.
File CreateBeside(const fs::path& target, fs::path& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target;
        tempPath += ".save-" + std::to_string(attempt) + ".tmp";
        errno = 0;
        if (std::FILE* f = std::fopen(tempPath.string().c_str(), "wbx")) return File(f);
        if (errno != EEXIST) FailWith(errno);
    }
    FailWith(EEXIST);
}

}  // namespace

std::string FileErrorText(int systemError) {
    switch (systemError) {
    case ENOENT:
        return "File not found";
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
        return "Invalid filename";
    case EMFILE:
    case ENFILE:
        return "Too many open files";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return "File access denied";
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(systemError);
    }
}

void SaveParameterFile(const std::string& path, std::span<const std::uint8_t, kParameterImageSize> image) {
    const fs::path target = ResolvedTarget(fs::path(path));
    std::error_code ec;
    const bool replacing = fs::exists(target, ec);
    if (replacing) {
        if (fs::is_directory(target, ec)) FailWith(EISDIR);
        // Asking for write access, without changing anything, keeps a write-protected file
        // protected even though replacing it by name would be allowed.
        errno = 0;
        File probe(std::fopen(target.string().c_str(), "r+b"));
        if (!probe) FailWith(errno);
    }

    fs::path tempPath;
    File out = CreateBeside(target, tempPath);
    errno = 0;
    const bool written = std::fwrite(image.data(), 1, image.size(), out.get()) == image.size() && FlushToDisk(out.get());
    const int writeError = errno;
    const bool closed = std::fclose(out.release()) == 0;
    const int closeError = errno;
    if (!written || !closed) {
        fs::remove(tempPath, ec);
        FailWith(!written ? (writeError ? writeError : EIO) : (closeError ? closeError : EIO));
    }

    if (replacing) fs::permissions(tempPath, fs::status(target, ec).permissions(), ec);
    fs::rename(tempPath, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(tempPath, ignored);
        FailWith(ec.value());
    }
}

void LoadParameterFile(const std::string& path, ImageBytes image) {
    errno = 0;
    File in(std::fopen(path.c_str(), "rb"));
    if (!in) FailWith(errno ? errno : ENOENT);

    // Read into a buffer first: a short or failing file must not leave a half-loaded image.
    std::array<std::uint8_t, kParameterImageSize> buffer{};
    errno = 0;
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), in.get());
    if (got != buffer.size()) {
        if (std::ferror(in.get())) FailWith(errno ? errno : EIO);
        throw EFileError(kReadBeyondEndText);
    }
    std::copy(buffer.begin(), buffer.end(), image.begin());
}

}  // namespace orbiqa
