// The save and read routines on Windows. A disk file is replaced atomically: the data go to a new
// file beside it that has already taken the old file's owner and access list, are flushed, and the
// new file is renamed over the old one, which therefore survives a full disk. Devices ("NUL",
// "CON", a COM port) and pipes are never replaced by a plain file: a save writes into them, a read
// refuses them before reading anything.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
    HANDLE Release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }

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
/// The handle may delete and rename the file whatever access list it is given later, so that a
/// list that leaves the user no right to delete can neither strand the file nor stop the rename.
HANDLE CreateBeside(const std::wstring& target, std::wstring& temporary) {
    std::wstring name = NameOf(target);
    if (name.size() > kTemporaryNameRoom) name.resize(kTemporaryNameRoom);
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary = FolderOf(target) + L".#" + name + L"-" + std::to_wstring(attempt);
        const HANDLE h = CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

/// The new file beside the target while it is written: removed when it goes out of scope
/// unless it has taken the target's name.
class Temporary {
public:
    Temporary(HANDLE h, std::wstring path) : h_(h), path_(std::move(path)) {}
    ~Temporary() {
        if (renamed_) return;
        FILE_DISPOSITION_INFO remove{};
        remove.DeleteFile = TRUE;
        const bool marked =
            SetFileInformationByHandle(h_.Get(), FileDispositionInfo, &remove, sizeof remove);
        CloseHandle(h_.Release());
        // The handle could not: by name, as far as the list allows.
        if (!marked) DeleteFileW(path_.c_str());
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    HANDLE Get() const { return h_.Get(); }
    const std::wstring& Path() const { return path_; }

    /// Renames the file over target through its own handle; false with the error set on failure.
    bool RenameOver(const std::wstring& target) {
        // The name must end in a NUL as well as have its length given: the system reads both.
        const std::size_t nameBytes = target.size() * sizeof(wchar_t);
        std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes + sizeof(wchar_t));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        info->ReplaceIfExists = TRUE;
        info->RootDirectory = nullptr;
        info->FileNameLength = static_cast<DWORD>(nameBytes);
        std::copy(target.begin(), target.end(), info->FileName);
        renamed_ = SetFileInformationByHandle(h_.Get(), FileRenameInfo, info,
                                              static_cast<DWORD>(buffer.size()));
        return renamed_;
    }

private:
    Handle h_;
    std::wstring path_;
    bool renamed_ = false;
};

struct LocalFreer {
    void operator()(void* p) const { LocalFree(p); }
};
using LocalMemory = std::unique_ptr<void, LocalFreer>;

/// Who owns the file a save replaces and who may use it.
struct Security {
    enum class Found { Nothing, Kept, Unreadable };
    Found found = Found::Nothing;
    LocalMemory descriptor;  // owns what the pointers point into
    PSID owner = nullptr;
    PSID group = nullptr;
    PACL dacl = nullptr;  // null with Kept: the file lets everyone do everything
    bool cutOff = false;  // its list does not take what the folder passes down
};

/// True unless the volume is known to keep no access lists (FAT, exFAT): a list cannot be lost
/// there.
bool VolumeKeepsAccessLists(const std::wstring& path) {
    std::wstring root(std::max<std::size_t>(path.size() + 1, MAX_PATH), L'\0');
    if (!GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size())))
        return true;
    DWORD flags = 0;
    if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
        return true;
    return (flags & FILE_PERSISTENT_ACLS) != 0;
}

Security SecurityOf(const std::wstring& path) {
    Security s;
    if (!VolumeKeepsAccessLists(path)) return s;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const SECURITY_INFORMATION what =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, what, &s.owner, &s.group, &s.dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
        s.found = Security::Found::Unreadable;
        return s;
    }
    s.descriptor.reset(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (GetSecurityDescriptorControl(descriptor, &control, &revision))
        s.cutOff = (control & SE_DACL_PROTECTED) != 0;
    s.found = Security::Found::Kept;
    return s;
}

/// The entries of dacl that were set on the file itself, without those it took from its folder.
LocalMemory OwnEntries(const ACL* dacl) {
    ACL_SIZE_INFORMATION size{};
    if (!GetAclInformation(const_cast<ACL*>(dacl), &size, sizeof size, AclSizeInformation))
        return {};
    LocalMemory copy(LocalAlloc(LPTR, size.AclBytesInUse));
    auto* own = static_cast<ACL*>(copy.get());
    if (!own || !InitializeAcl(own, size.AclBytesInUse, dacl->AclRevision)) return {};
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(const_cast<ACL*>(dacl), i, &ace)) return {};
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceFlags & INHERITED_ACE) continue;
        if (!AddAce(own, dacl->AclRevision, MAXDWORD, ace, header->AceSize)) return {};
    }
    return copy;
}

/// Gives file the owner, group and access list of s: the owner and group where the process may
/// (only a privileged one may give a file to someone else), the list always. False when the
/// list could not be given.
bool GiveSecurity(const std::wstring& file, const Security& s) {
    PACL dacl = s.dacl;
    LocalMemory own;
    if (dacl && !s.cutOff) {
        // The folder's entries are inherited anew, once; copying them too would double them.
        own = OwnEntries(dacl);
        if (!own) return false;
        dacl = static_cast<PACL>(own.get());
    }
    const SECURITY_INFORMATION list =
        DACL_SECURITY_INFORMATION |
        (s.cutOff ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    auto* name = const_cast<LPWSTR>(file.c_str());
    if (SetNamedSecurityInfoW(name, SE_FILE_OBJECT,
                              list | OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION,
                              s.owner, s.group, dacl, nullptr) == ERROR_SUCCESS)
        return true;
    return SetNamedSecurityInfoW(name, SE_FILE_OBJECT, list, nullptr, nullptr, dacl, nullptr) ==
           ERROR_SUCCESS;
}

/// Writes data into the new file and renames it over target. False, with nothing changed, when
/// the target's access list could not be given to the new file.
bool ReplaceBeside(HANDLE created, const std::wstring& path, const std::wstring& target,
                   const Existing& old, const Security& security, std::string_view data) {
    Temporary temporary(created, path);
    // Before the data: a file closed to others must not be open to them meanwhile.
    if (security.found == Security::Found::Kept && !GiveSecurity(temporary.Path(), security))
        return false;
    WriteAll(temporary.Get(), data);
    if (!FlushFileBuffers(temporary.Get())) FailLast(false);
    if (old.exists && old.attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(temporary.Path().c_str(),
                           old.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    if (!temporary.RenameOver(target)) FailLast(false);
    FlushFileBuffers(temporary.Get());  // the new name too; the rename stands regardless
    return true;
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

    // Read before anything is made, so that a list that cannot be read costs nothing.
    const Security security = old.exists ? SecurityOf(target) : Security{};
    // A list that cannot be carried over is kept by writing into the file itself.
    if (security.found == Security::Found::Unreadable) return WriteInPlace(target, data, true);

    std::wstring beside;
    const HANDLE created = CreateBeside(target, beside);
    if (created == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder that takes no new file may still let its file be rewritten.
        if (old.exists && error == ERROR_ACCESS_DENIED) return WriteInPlace(target, data, true);
        Fail(ErrnoOf(error), true);
    }
    if (!ReplaceBeside(created, beside, target, old, security, data))
        WriteInPlace(target, data, true);
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
