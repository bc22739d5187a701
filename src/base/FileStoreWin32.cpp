// The save and read routines on Windows, with the standard library only: the atomic replace
// through a file beside the target, and bounded reads of regular files. Windows has no pipes or
// devices by ordinary file names that a user would pick, so those are simply refused on reading.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/FileStore.h"

namespace orbiqa {
namespace {

namespace fs = std::filesystem;

constexpr int kTemporaryNameAttempts = 100;
constexpr std::size_t kTemporaryNameRoom = 240;

[[noreturn]] void Fail(int error, bool creating) {
    throw EFileStoreError(EFileStoreError::Kind::System, error ? error : EIO, creating);
}

int ErrnoOf(const std::error_code& ec) {
    const std::error_condition c = ec.default_error_condition();
    return c.category() == std::generic_category() ? c.value() : EIO;
}

void WriteTo(const fs::path& path, std::string_view data, bool creating) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) Fail(errno ? errno : EACCES, creating);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.flush();
    if (!out) Fail(errno ? errno : ENOSPC, false);
}

}  // namespace

void SaveFile(const std::string& path, std::string_view data) {
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(fs::path(path), ec);
    if (ec) Fail(ErrnoOf(ec), true);
    const fs::file_status status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    if (exists && fs::is_directory(status)) Fail(EISDIR, true);
    if (exists && !fs::is_regular_file(status)) return WriteTo(target, data, true);
    if (exists && (status.permissions() & fs::perms::owner_write) == fs::perms::none)
        Fail(EACCES, true);

    std::string name = target.filename().string();
    if (name.size() > kTemporaryNameRoom) name.resize(kTemporaryNameRoom);
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const fs::path temporary =
            target.parent_path() / (".#" + name + "-" + std::to_string(attempt));
        if (fs::exists(temporary, ec)) continue;
        try {
            WriteTo(temporary, data, true);
        } catch (const EFileStoreError& e) {
            fs::remove(temporary, ec);
            if (exists && e.WhileCreating()) return WriteTo(target, data, true);
            throw;
        }
        fs::rename(temporary, target, ec);
        if (ec) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            Fail(ErrnoOf(ec), false);
        }
        return;
    }
    Fail(EEXIST, true);
}

std::string ReadFileBounded(const std::string& path, std::size_t maxBytes, bool rejectLonger) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) Fail(ENOENT, true);
    if (fs::is_directory(status)) Fail(EISDIR, true);
    if (!fs::is_regular_file(status))
        throw EFileStoreError(EFileStoreError::Kind::NotRegular, 0, true);
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(errno ? errno : EACCES, true);
    const std::size_t wanted = rejectLonger ? maxBytes + 1 : maxBytes;
    std::string content(wanted, '\0');
    in.read(content.data(), static_cast<std::streamsize>(wanted));
    content.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) Fail(EIO, false);
    if (content.size() > maxBytes) {
        if (rejectLonger) throw EFileStoreError(EFileStoreError::Kind::TooLarge, 0, false);
        content.resize(maxBytes);
    }
    return content;
}

}  // namespace orbiqa
