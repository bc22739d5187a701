#pragma once
// ser2net on this machine's loopback, as the network-port tests and the benchmark run it: a free
// port to serve on, the kernel's view of whether a port listens, and the configuration and
// arguments for one ser2net process serving several devices. Starting and ending the process is
// the caller's (a test forks it, the benchmark uses QProcess); what ser2net is told stands here.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace orbiqa::testsupport {

inline constexpr const char* kSer2netProgram = "/usr/sbin/ser2net";

/// A loopback TCP port that was free a moment ago.
inline int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("no free loopback port");
    }
    ::close(fd);
    return ntohs(a.sin_port);
}

/// Counts the sockets of a local TCP port in a state (0A listening, 01 established), as the
/// kernel lists them.
inline int SocketsInState(int port, const char* state) {
    int n = 0;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, st;
            fields >> slot >> local >> remote >> st;
            const auto colon = local.rfind(':');
            if (colon != std::string::npos &&
                std::stoi(local.substr(colon + 1), nullptr, 16) == port && st == state)
                ++n;
        }
    }
    return n;
}

/// One device served on one loopback port. chardelay is off: it only holds data back.
struct Ser2netConnection {
    std::string device;
    int port = 0;
    bool rfc2217 = true;
    std::string lineSettings = "19200n81";
};

/// The YAML configuration of the connections, one ser2net process for all of them.
inline std::string Ser2netConfig(const std::vector<Ser2netConnection>& connections) {
    std::ostringstream out;
    for (std::size_t i = 0; i < connections.size(); ++i) {
        const Ser2netConnection& c = connections[i];
        out << "connection: &c" << i << "\n"
            << "  accepter: " << (c.rfc2217 ? "telnet(rfc2217),tcp," : "tcp,") << "127.0.0.1,"
            << c.port << "\n"
            << "  connector: serialdev," << c.device << "," << c.lineSettings << ",local\n"
            << "  options:\n    chardelay: false\n";
    }
    return out.str();
}

/// ser2net's arguments after the program: in the foreground, no syslog, its own pid file.
inline std::vector<std::string> Ser2netArguments(const std::string& configFile,
                                                 const std::string& pidFile) {
    return {"-n", "-d", "-c", configFile, "-P", pidFile};
}

}  // namespace orbiqa::testsupport
