#include "base/FileStore.h"

#include <cerrno>

namespace orbiqa {
namespace {

std::string TextOf(EFileStoreError::Kind kind, int systemError) {
    switch (kind) {
        case EFileStoreError::Kind::NotRegular:
            return kNotRegularFileText;
        case EFileStoreError::Kind::TooLarge:
            return kFileTooLargeText;
        case EFileStoreError::Kind::System:
            break;
    }
    return FileErrorText(systemError);
}

}  // namespace

std::string FileErrorText(int systemError) {
    switch (systemError) {
        case ENOENT:
            return "File not found";
        case ENOTDIR:
        case ENAMETOOLONG:
        case EINVAL:
        case ELOOP:
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

EFileStoreError::EFileStoreError(Kind kind, int systemError, bool creating)
    : EFileError(TextOf(kind, systemError)),
      kind_(kind),
      systemError_(systemError),
      creating_(creating) {}

bool EFileStoreError::DiskFull() const {
    return kind_ == Kind::System && FileErrorText(systemError_) == "Disk full";
}

}  // namespace orbiqa
