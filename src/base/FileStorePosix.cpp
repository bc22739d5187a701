#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>

#include "base/FileStore.h"

namespace orbiqa {
namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel's own limit for one path
constexpr int kTemporaryNameAttempts = 100;
constexpr std::size_t kReadChunk = 4096;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as any new file

[[noreturn]] void Fail(int error, bool creating) {
    throw EFileStoreError(EFileStoreError::Kind::System, error ? error : EIO, creating);
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void Adopt(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closing can report a late write error (network file systems); it must not be lost.
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a save to path must land when nothing exists there yet: a dangling link is followed to
// the name it points at, so the link keeps working once the file exists.
std::string FollowDanglingLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(static_cast<std::size_t>(PATH_MAX), '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return path;
        target.resize(static_cast<std::size_t>(n));
        path = (target.front() == '/') ? target : FolderOf(path) + "/" + target;
    }
    Fail(ELOOP, true);
}

// The real path of an existing regular file, so that the replacement lands beside it and not
// beside a link to it.
std::string RealPathOf(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) Fail(errno, true);
    return resolved;
}

int WriteAll(int fd, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0 ? EIO : errno;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Devices and pipes accept no fsync; that is not a failure of the save.
bool SyncFailed(int fd) {
    return ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS;
}

void WriteInPlace(const std::string& path, std::string_view data) {
    // No blocking on a pipe without a reader: that is an error, not a wait.
    Descriptor fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) Fail(errno, true);
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    if (const int e = WriteAll(fd.get(), data)) Fail(e, false);
    if (SyncFailed(fd.get())) Fail(errno, false);
    if (const int e = fd.Close()) Fail(e, false);
}

// ".#" + as much of the name as fits + "-" + 8 hex digits: never longer than the folder's
// limit, whatever the length of the name it stands beside.
std::string TemporaryName(const std::string& name, unsigned serial) {
    constexpr std::size_t kOverhead = 2 + 1 + 8;
    const std::size_t room = NAME_MAX - kOverhead;
    std::size_t keep = std::min(name.size(), room);
    // Cut on a character boundary so the name stays valid UTF-8.
    while (keep > 0 && keep < name.size() &&
           (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    static const char kHex[] = "0123456789abcdef";
    std::string suffix(8, '0');
    for (int i = 7; i >= 0; --i, serial >>= 4)
        suffix[static_cast<std::size_t>(i)] = kHex[serial & 0xF];
    return ".#" + name.substr(0, keep) + "-" + suffix;
}

unsigned NextSerial() {
    static std::atomic<unsigned> counter{0};
    const auto now =
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    return now ^ (static_cast<unsigned>(::getpid()) << 16) ^ counter.fetch_add(0x9E3779B9u);
}

// A fresh file beside target, or nothing with errno set when the folder takes no new file.
std::optional<std::string> CreateBeside(const std::string& target, Descriptor& fd, mode_t mode) {
    const std::string folder = FolderOf(target);
    const std::string name = NameOf(target);
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::string candidate = folder + "/" + TemporaryName(name, NextSerial());
        const int f =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
        if (f >= 0) {
            fd.Adopt(f);
            return candidate;
        }
        if (errno != EEXIST) return std::nullopt;
    }
    errno = EEXIST;
    return std::nullopt;
}

void SyncFolder(const std::string& folder) {
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());  // some file systems cannot; the rename stands
}

// Gives the new file every extended attribute of the old one: its access control list
// (system.posix_acl_access on Linux), security labels and the user's own attributes. False when
// one of them cannot be given, so that the save writes in place rather than lose it.
bool CopyExtendedAttributes(const std::string& from, int to) {
    ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
    if (size < 0) return errno == ENOTSUP;  // a file system without attributes has none to keep
    if (size == 0) return true;
    std::string names(static_cast<std::size_t>(size), '\0');
    size = ::listxattr(from.c_str(), names.data(), names.size());
    if (size < 0) return false;
    names.resize(static_cast<std::size_t>(size));
    for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
        const char* name = names.c_str() + at;
        const ssize_t length = ::getxattr(from.c_str(), name, nullptr, 0);
        if (length < 0) return false;
        std::string value(static_cast<std::size_t>(length), '\0');
        const ssize_t got = ::getxattr(from.c_str(), name, value.data(), value.size());
        if (got < 0) return false;
        if (::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0) != 0) return false;
    }
    return true;
}

void ReplaceAtomically(const std::string& target, const struct stat* old, std::string_view data) {
    Descriptor fd;
    const auto temporary = CreateBeside(target, fd, old ? (old->st_mode & 07777) : kNewFileMode);
    if (!temporary) {
        const int e = errno;
        // A folder that takes no new file may still hold a file that may be written.
        if (old && (e == EACCES || e == EPERM || e == EROFS)) return WriteInPlace(target, data);
        Fail(e, true);
    }
    auto discard = [&](int error) {
        ::unlink(temporary->c_str());
        Fail(error, false);
    };
    if (const int e = WriteAll(fd.get(), data)) discard(e);
    if (old) {
        // The mode exactly (the umask narrowed the creation); the owner where the process may.
        ::fchmod(fd.get(), old->st_mode & 07777);
        if (::fchown(fd.get(), old->st_uid, old->st_gid) != 0) {
            [[maybe_unused]] const int ignored =
                ::fchown(fd.get(), static_cast<uid_t>(-1), old->st_gid);
        }
        // After the mode: an access list sets the group bits as its mask. A file whose list
        // cannot be carried over is written in place, which keeps the list as it is.
        if (!CopyExtendedAttributes(target, fd.get())) {
            fd.Close();
            ::unlink(temporary->c_str());
            return WriteInPlace(target, data);
        }
    }
    // The data must be on the medium before the new file takes the old one's name.
    if (::fsync(fd.get()) != 0) discard(errno);
    if (const int e = fd.Close()) discard(e);
    if (::rename(temporary->c_str(), target.c_str()) != 0) discard(errno);
    SyncFolder(FolderOf(target));
}

}  // namespace

void SaveFile(const std::string& path, std::string_view data) {
    if (path.empty()) Fail(ENOENT, true);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) Fail(errno, true);
        return ReplaceAtomically(FollowDanglingLinks(path), nullptr, data);
    }
    if (S_ISDIR(st.st_mode)) Fail(EISDIR, true);
    // Devices and pipes are written to, never replaced by a file; hard links stay one file.
    if (!S_ISREG(st.st_mode) || st.st_nlink > 1) return WriteInPlace(path, data);
    // Asking for write access, without changing anything, keeps a write-protected file
    // protected even though replacing it by name would be allowed.
    Descriptor probe(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (probe.get() < 0) Fail(errno, true);
    probe.Close();
    ReplaceAtomically(RealPathOf(path), &st, data);
}

std::string ReadFileBounded(const std::string& path, std::size_t maxBytes, bool rejectLonger) {
    // Without O_NONBLOCK, opening a pipe waits for a writer, possibly for ever.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) Fail(errno, true);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) Fail(errno, true);
    if (S_ISDIR(st.st_mode)) Fail(EISDIR, true);  // as the runtime has always answered
    if (!S_ISREG(st.st_mode)) throw EFileStoreError(EFileStoreError::Kind::NotRegular, 0, true);

    std::string content;
    char buffer[kReadChunk];
    // One byte past the bound tells a longer file from one that fits exactly.
    const std::size_t wanted = rejectLonger ? maxBytes + 1 : maxBytes;
    while (content.size() < wanted) {
        const std::size_t chunk = std::min(sizeof buffer, wanted - content.size());
        const ssize_t n = ::read(fd.get(), buffer, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail(errno, false);
        if (n == 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    if (content.size() > maxBytes) {
        if (rejectLonger) throw EFileStoreError(EFileStoreError::Kind::TooLarge, 0, false);
        content.resize(maxBytes);
    }
    return content;
}

}  // namespace orbiqa
