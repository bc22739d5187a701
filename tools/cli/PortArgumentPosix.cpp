// A port argument on POSIX systems: a COM name, or a device path that a port link or the fixed
// rule gives a COM name.
#include <filesystem>

#include "CommandLine.h"
#include "base/ComPortRange.h"
#include "CommandSession.h"
#include "serial/PortLinkOwner.h"
#include "serial/PortLinks.h"

namespace orbiqa::cli {

namespace {

std::string Canonical(const std::string& path) {
    std::error_code ec;
    const auto canonical = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : canonical.string();
}

// A link left by a program that ended may lead to a terminal another program now holds; writing
// the module's frames into it would disturb that program.
std::string Refused(const std::string& com) {
    const std::string link = PortLinkFolder() + "/" + com;
    if (const auto maker = EndedPortLinkMaker(link))
        throw CliFailure(kExitPort, "cannot open " + com + ": its port link " + link +
                                        " was made by a program that has ended (process " +
                                        std::to_string(*maker) +
                                        "); the terminal it leads to may belong to another program now");
    return com;
}

}  // namespace

std::string ResolvePortArgument(const std::string& text) {
    if (!IsDevicePath(text)) return Refused(ParsePortName(text));
    const std::string wanted = Canonical(text);
    // A link of the port-link folder names the device first, as it does when the port opens.
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        const std::string com = "COM" + std::to_string(n);
        const auto device = ResolvePortDevice(com);
        if (device && Canonical(*device) == wanted) return com;
    }
    if (const auto com = FixedPortForDevice(text)) return *com;
    throw CliFailure(kExitUsage, text + ": no COM name leads to this device (link it as COMn in " +
                                     PortLinkFolder() + ")");
}

}  // namespace orbiqa::cli
