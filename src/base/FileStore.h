#pragma once
// The one way the program writes a file and the one way it reads one. Every file the program
// keeps (parameter files, "ZenitSetup.ini", "APNs.dat", the simulator's memory file) goes
// through these two, so that a save never loses the old data on a full disk, never replaces a
// device, pipe or link by a plain file, and a read never blocks on a pipe or grows without
// bound. One implementation per operating system sits behind this header.
#include <cstddef>
#include <string>
#include <string_view>

#include "base/Errors.h"

namespace orbiqa {

/// The runtime's file-error text for an operating-system error number: "File not found",
/// "Invalid filename", "Too many open files", "File access denied", "Disk full", or
/// "I/O error %d" with the number. The same failure gives the same text in every file.
std::string FileErrorText(int systemError);

inline constexpr const char* kNotRegularFileText = "Not a regular file";
inline constexpr const char* kFileTooLargeText = "File too large";

/// A save or read that failed. what() is the text for the user: FileErrorText of the system
/// error, or one of the two texts above.
class EFileStoreError : public EFileError {
public:
    enum class Kind {
        System,      // SystemError() tells why
        NotRegular,  // a read met a pipe or device
        TooLarge,    // a read met more than its bound
    };
    EFileStoreError(Kind kind, int systemError, bool creating);

    Kind FaultKind() const { return kind_; }
    int SystemError() const { return systemError_; }
    /// True when the file could not be created or opened for writing at all (nothing was
    /// written); false when it failed later (while writing, flushing or replacing).
    bool WhileCreating() const { return creating_; }
    /// A full medium or an exhausted quota: reported as "Disk full" whatever the step.
    bool DiskFull() const;

private:
    Kind kind_;
    int systemError_;
    bool creating_;
};

/// Writes data as the whole new content of path. A symbolic link is followed and the file it
/// leads to is replaced. A regular file is replaced atomically: the data go to a new file beside
/// it (its name always fits the folder's name limit), are flushed to the medium, take the old
/// file's mode and access control list and, where the process may, its owner, and then replace
/// it; a list that cannot be carried over is kept by writing in place. The folder is
/// flushed after. The old file therefore survives any failure, a full disk included. A target
/// that is not a regular file (a device, a pipe), a file with further hard links, and a file in
/// a folder where nothing can be created are written in place (truncated and rewritten). A
/// write-protected file stays protected. Raises EFileStoreError.
void SaveFile(const std::string& path, std::string_view data);

/// Reads at most maxBytes from the start of a regular file without ever blocking: a pipe or
/// device is refused (Kind::NotRegular) before anything is read, a folder as access denied. When
/// the file holds more than maxBytes, rejectLonger raises Kind::TooLarge; otherwise the first
/// maxBytes are returned. Raises EFileStoreError.
std::string ReadFileBounded(const std::string& path, std::size_t maxBytes, bool rejectLonger);

}  // namespace orbiqa
