#include "FileAccess.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "CommandLine.h"
#include "FileAccessSystem.h"
#include "base/Errors.h"
#include "base/FileStore.h"
#include "params/ParameterText.h"
#include "transfer/ParameterFile.h"

namespace orbiqa::cli {

namespace {

constexpr std::size_t kMaxTextFileBytes = 1 << 20;

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw CliFailure(kExitUsage, path + ": " + reason);
}

[[noreturn]] void FailErrno(const std::string& path, int error) {
    Fail(path, std::strerror(error));
}

/// A failed read or save of the program's file routines, worded as the system's tools word it.
[[noreturn]] void FailStore(const std::string& path, const EFileStoreError& e) {
    switch (e.FaultKind()) {
        case EFileStoreError::Kind::NotRegular:
            Fail(path, "not a regular file");
        case EFileStoreError::Kind::TooLarge:
            Fail(path, "file too long (more than " + std::to_string(kMaxTextFileBytes) + " bytes)");
        case EFileStoreError::Kind::System:
            break;
    }
    if (e.SystemError() != 0) FailErrno(path, e.SystemError());
    Fail(path, e.what());
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

}  // namespace

ParameterImage LoadImageFile(const std::string& path, bool exactSize) {
    std::string start;
    try {
        // One byte past the image tells a file of exactly 1088 bytes from a longer one.
        start = ReadFileBounded(path, ParameterImage::Size + 1, false);
    } catch (const EFileStoreError& e) {
        if (e.FaultKind() != EFileStoreError::Kind::System) FailStore(path, e);
        Fail(path, ReadFailure(path, ParameterImage::Size, e.what()));
    }
    if (IsParameterText(start))
        Fail(path, "this is a parameter set's text form, not a parameter file (orbiqa-cli import " +
                       path + " FILE.VR3 makes one)");
    if (start.size() < ParameterImage::Size)
        Fail(path, TooShortText(start.size(), ParameterImage::Size));
    if (exactSize && start.size() != ParameterImage::Size)
        Fail(path, "not a parameter file: longer than the " + std::to_string(ParameterImage::Size) +
                       " bytes a parameter file has (a text is made into one with orbiqa-cli "
                       "import)");
    ParameterImage image;
    std::copy_n(start.begin(), ParameterImage::Size, image.begin());
    return image;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

void CheckWritable(const std::string& path) {
    const int error = WriteRefusal(WriteTarget(path));
    if (error != 0) FailErrno(path, error);
}

void SaveImageFile(const std::string& path, const ParameterImage& image) {
    CheckWritable(path);
    try {
        SaveParameterFile(path, std::span<const std::uint8_t, kParameterImageSize>(
                                    image.data(), ParameterImage::Size));
    } catch (const EFileStoreError& e) {
        FailStore(path, e);  // in the system's words, as for every other file
    } catch (const EFileError& e) {
        Fail(path, e.what());
    }
}

std::string ReadTextFile(const std::string& path) {
    try {
        return ReadFileBounded(path, kMaxTextFileBytes, true);
    } catch (const EFileStoreError& e) {
        FailStore(path, e);
    }
}

void SaveTextFile(const std::string& path, const std::string& text) {
    CheckWritable(path);
    try {
        SaveFile(path, text);
    } catch (const EFileStoreError& e) {
        FailStore(path, e);
    }
}

}  // namespace orbiqa::cli
