#pragma once
// Serial servers that nobody here wrote, run by the tests in front of the simulator's
// pseudo-terminal on this machine's loopback only: ser2net (RFC 2217 and raw) and pyserial's
// RFC 2217 example server. Both set the modem lines of their device, which a pseudo-terminal
// refuses, so they run with the shim that answers those requests.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

/// A loopback TCP port that was free a moment ago.
inline int FreeTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("no free port");
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

/// Waits (bounded) until the condition holds; false when it never did.
template <class Condition>
bool WaitUntil(Condition condition, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

/// A child process with the modem-line shim preloaded; ended when the object goes.
class ServerProcess {
public:
    ServerProcess(std::vector<std::string> argv, int listenPort) : port_(listenPort) {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("LD_PRELOAD", ORBIQA_PTYLINES_SHIM, 1);
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            if (!std::getenv("ORBIQA_SERVER_LOG")) {
                std::FILE* null = std::fopen("/dev/null", "w");
                if (null) ::dup2(fileno(null), STDERR_FILENO), ::dup2(fileno(null), STDOUT_FILENO);
            }
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        listening_ = WaitUntil([this] { return SocketsInState(port_, "0A") > 0 || Exited(); });
    }
    ~ServerProcess() { Kill(SIGTERM); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool Listening() const { return listening_; }
    int Port() const { return port_; }

    void Kill(int signal) {
        if (pid_ <= 0) return;
        ::kill(pid_, signal);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    bool Exited() {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        return false;
    }

    pid_t pid_ = -1;
    int port_;
    bool listening_ = false;
};

inline const char* kSer2net = "/usr/sbin/ser2net";
inline const char* kPyserialServer = "/usr/share/doc/python3-serial/examples/rfc2217_server.py";

/// ser2net serving device on a new loopback port, RFC 2217 or raw, with the device first set to
/// lineSettings (so that a test sees whether the client's settings arrived). chardelay is off:
/// it only holds data back.
inline std::unique_ptr<ServerProcess> StartSer2net(const std::string& folder,
                                                   const std::string& device, bool rfc2217,
                                                   const std::string& lineSettings = "9600n82") {
    const int port = FreeTcpPort();
    const std::string config = folder + "/ser2net-" + std::to_string(port) + ".yaml";
    std::ofstream(config) << "connection: &c\n"
                          << "  accepter: " << (rfc2217 ? "telnet(rfc2217),tcp," : "tcp,")
                          << "127.0.0.1," << port << "\n"
                          << "  connector: serialdev," << device << "," << lineSettings
                          << ",local\n"
                          << "  options:\n    chardelay: false\n";
    return std::make_unique<ServerProcess>(
        std::vector<std::string>{kSer2net, "-n", "-d", "-c", config, "-P",
                                 folder + "/ser2net-" + std::to_string(port) + ".pid"},
        port);
}

inline std::unique_ptr<ServerProcess> StartPyserialServer(const std::string& device) {
    const int port = FreeTcpPort();
    return std::make_unique<ServerProcess>(
        std::vector<std::string>{"/usr/bin/python3", kPyserialServer, "-p", std::to_string(port),
                                 device},
        port);
}

inline std::string Rfc2217(int port) {
    return "rfc2217://127.0.0.1:" + std::to_string(port);
}
inline std::string Raw(int port) {
    return "socket://127.0.0.1:" + std::to_string(port);
}

}  // namespace nettest
