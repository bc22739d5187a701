// The save and read routines on Windows. A disk file is replaced atomically: the data go to a new
// file beside it, are flushed, and a write-through move replaces the old file, which therefore
// survives a full disk. Devices ("NUL", "CON", a COM port) and pipes are never replaced by a plain
// file: a save writes into them, a read refuses them before reading anything.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "base/FileStore.h"

namespace orbiqa {
namespace {

constexpr int kTemporaryNameAttempts = 100;
constexpr std::size_t kTemporaryNameRoom = 240;  // of NTFS's 255 UTF-16 units a name may use
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kChunkBytes = 1 << 16;

/// The C runtime's error number for a Windows error, so that both systems share one set of
/// texts ("Disk full", "File access denied", ...).
int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return ENOENT;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
        case ERROR_CURRENT_DIRECTORY:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        default:
            return EIO;
    }
}

[[noreturn]] void Fail(int error, bool creating) {
    throw EFileStoreError(EFileStoreError::Kind::System, error, creating);
}

[[noreturn]] void FailLast(bool creating) {
    Fail(ErrnoOf(GetLastError()), creating);
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                      static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) Fail(EINVAL, true);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

/// Closes the handle on every way out.
class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (Valid()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

void WriteAll(HANDLE h, std::string_view data) {
    while (!data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), kChunkBytes));
        DWORD written = 0;
        if (!WriteFile(h, data.data(), chunk, &written, nullptr)) FailLast(false);
        if (written == 0) Fail(ENOSPC, false);
        data.remove_prefix(written);
    }
}

/// What a save finds at its target.
struct Existing {
    bool exists = false;
    bool disk = false;     // a file on a disk (not a device, console or pipe)
    bool inPlace = false;  // further hard links: replacing would split them
    DWORD attributes = 0;
    std::wstring finalPath;  // the file a link or junction leads to
};

Existing Inspect(const std::wstring& path) {
    Existing found;
    // No access rights asked: opening for inspection must not fail on a file another program
    // holds, and a device or pipe is not disturbed. Links are followed.
    const Handle h(CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.Valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return found;
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) {
            // Opened by someone who shares nothing: still an existing disk file.
            found.exists = found.disk = true;
            found.attributes = GetFileAttributesW(path.c_str());
            found.finalPath = path;
            return found;
        }
        Fail(ErrnoOf(error), true);
    }
    found.exists = true;
    found.disk = GetFileType(h.Get()) == FILE_TYPE_DISK;
    if (!found.disk) return found;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h.Get(), &info)) FailLast(true);
    found.attributes = info.dwFileAttributes;
    found.inPlace = info.nNumberOfLinks > 1;
    std::wstring final(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h.Get(), final.data(), static_cast<DWORD>(final.size()),
                                        FILE_NAME_NORMALIZED);
    if (n >= final.size()) {
        final.resize(n + 1);
        n = GetFinalPathNameByHandleW(h.Get(), final.data(), static_cast<DWORD>(final.size()),
                                      FILE_NAME_NORMALIZED);
    }
    final.resize(n < final.size() ? n : 0);
    found.finalPath = final.empty() ? path : final;
    return found;
}

/// Truncates and rewrites an existing file or writes into a device or pipe.
void WriteInPlace(const std::wstring& path, std::string_view data, bool disk) {
    const Handle h(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) FailLast(true);
    WriteAll(h.Get(), data);
    if (!disk) return;
    if (!SetEndOfFile(h.Get()) || !FlushFileBuffers(h.Get())) FailLast(false);
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring NameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

/// Creates the file beside target that will replace it; invalid handle when none can be made.
HANDLE CreateBeside(const std::wstring& target, std::wstring& temporary) {
    std::wstring name = NameOf(target);
    if (name.size() > kTemporaryNameRoom) name.resize(kTemporaryNameRoom);
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary = FolderOf(target) + L".#" + name + L"-" + std::to_wstring(attempt);
        const HANDLE h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

void SaveFile(const std::string& path, std::string_view data) {
    const std::wstring given = Wide(path);
    const Existing old = Inspect(given);
    if (old.exists && !old.disk) return WriteInPlace(given, data, false);
    if (old.attributes != INVALID_FILE_ATTRIBUTES) {
        if (old.attributes & FILE_ATTRIBUTE_DIRECTORY) Fail(EISDIR, true);
        if (old.attributes & FILE_ATTRIBUTE_READONLY) Fail(EACCES, true);  // stays protected
    }
    const std::wstring target = old.exists ? old.finalPath : given;
    if (old.inPlace) return WriteInPlace(target, data, true);

    std::wstring temporary;
    try {
        const Handle h(CreateBeside(target, temporary));
        if (!h.Valid()) {
            const DWORD error = GetLastError();
            // A folder that takes no new file may still let its file be rewritten.
            if (old.exists && error == ERROR_ACCESS_DENIED) return WriteInPlace(target, data, true);
            Fail(ErrnoOf(error), true);
        }
        WriteAll(h.Get(), data);
        if (!FlushFileBuffers(h.Get())) FailLast(false);
    } catch (const EFileStoreError& e) {
        if (!e.WhileCreating()) DeleteFileW(temporary.c_str());  // closed by now
        throw;
    }
    if (old.exists && old.attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(temporary.c_str(),
                           old.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.c_str());
        Fail(ErrnoOf(error), false);
    }
}

std::string ReadFileBounded(const std::string& path, std::size_t maxBytes, bool rejectLonger) {
    const std::wstring wide = Wide(path);
    // Opening a device or pipe does not wait; only reading from one could.
    const Handle h(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.Valid()) FailLast(true);
    if (GetFileType(h.Get()) != FILE_TYPE_DISK)
        throw EFileStoreError(EFileStoreError::Kind::NotRegular, 0, true);
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(h.Get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        Fail(EISDIR, true);

    const std::size_t wanted = rejectLonger ? maxBytes + 1 : maxBytes;
    std::string content(wanted, '\0');
    std::size_t got = 0;
    while (got < wanted) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wanted - got, kChunkBytes));
        DWORD n = 0;
        if (!ReadFile(h.Get(), content.data() + got, chunk, &n, nullptr)) FailLast(false);
        if (n == 0) break;
        got += n;
    }
    content.resize(got);
    if (content.size() > maxBytes) {
        if (rejectLonger) throw EFileStoreError(EFileStoreError::Kind::TooLarge, 0, false);
        content.resize(maxBytes);
    }
    return content;
}

}  // namespace orbiqa
