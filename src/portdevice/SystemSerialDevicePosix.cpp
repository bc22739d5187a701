#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "portdevice/PortFormDevice.h"
#include "netport/NetworkPortError.h"
#include "netport/NetworkSerialDevice.h"
#include "serial/SerialDevicePosix.h"
#include "portdevice/SystemSerialDevice.h"

namespace orbiqa {

std::unique_ptr<SerialDevice> CreateSystemSerialDevice() {
    return std::make_unique<PortFormDevice>(std::make_unique<SerialDevicePosix>(),
                                            std::make_unique<NetworkSerialDevice>());
}

std::string DeviceGroupName(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    if (const group* g = getgrgid(st.st_gid)) return g->gr_name;
    return {};
}

PortFailure PortFailureOf(int systemCode) {
    switch (systemCode) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return PortFailure::NotFound;
        case EACCES:
        case EPERM:
            return PortFailure::Permission;
        case EBUSY:
            return PortFailure::Busy;
        case EIO:
        case EPIPE:
            return PortFailure::Gone;
        default:
            return PortFailure::Other;
    }
}

std::string SystemErrorText(int systemCode) {
    std::string network = NetworkPortErrorText(systemCode);
    return network.empty() ? std::strerror(systemCode) : network;
}

}  // namespace orbiqa
