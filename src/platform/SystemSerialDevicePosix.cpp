#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/PosixSerialDevice.h"
#include "platform/SystemSerialDevice.h"

namespace orbiqa {

std::unique_ptr<SerialDevice> CreateSystemSerialDevice() {
    return std::make_unique<PosixSerialDevice>();
}

std::string DeviceGroupName(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    if (const group* g = getgrgid(st.st_gid)) return g->gr_name;
    return {};
}

bool IsPermissionDenied(int systemCode) { return systemCode == EACCES; }

std::string SystemErrorText(int systemCode) { return std::strerror(systemCode); }

}  // namespace orbiqa
