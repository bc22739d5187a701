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

#include "support/ChildProcess.h"
#include "support/Ser2netServer.h"

namespace nettest {

using orbiqa::testsupport::SocketsInState;
inline int FreeTcpPort() { return orbiqa::testsupport::FreeLoopbackPort(); }
inline const char* const kSer2net = orbiqa::testsupport::kSer2netProgram;

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
        orbiqa::testsupport::ChildLaunch launch;
        launch.argv = std::move(argv);
        launch.environment = {{"LD_PRELOAD", ORBIQA_PTYLINES_SHIM}};
        launch.nullOutput = !std::getenv("ORBIQA_SERVER_LOG");
        pid_ = orbiqa::testsupport::StartChild(std::move(launch));
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

inline const char* kPyserialServer = "/usr/share/doc/python3-serial/examples/rfc2217_server.py";

/// ser2net serving device on a new loopback port, RFC 2217 or raw, with the device first set to
/// lineSettings (so that a test sees whether the client's settings arrived). chardelay is off:
/// it only holds data back.
inline std::unique_ptr<ServerProcess> StartSer2net(const std::string& folder,
                                                   const std::string& device, bool rfc2217,
                                                   const std::string& lineSettings = "9600n82") {
    namespace ts = orbiqa::testsupport;
    const int port = FreeTcpPort();
    const std::string config = folder + "/ser2net-" + std::to_string(port) + ".yaml";
    std::ofstream(config) << ts::Ser2netConfig({{device, port, rfc2217, lineSettings}});
    std::vector<std::string> argv{ts::kSer2netProgram};
    for (const std::string& a :
         ts::Ser2netArguments(config, folder + "/ser2net-" + std::to_string(port) + ".pid"))
        argv.push_back(a);
    return std::make_unique<ServerProcess>(std::move(argv), port);
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
