#pragma once
// Runs the built orbiqa-modsim as a child process (support/ModsimProcess.h) and talks to it
// through its pseudo-terminal with plain POSIX calls, as a client program would.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ModuleKey.h"
#include "link/AesCipher.h"
#include "link/FrameCodec.h"
#include "link/ModuleMessage.h"
#include "support/ModsimProcess.h"
#include "support/TemporaryFolder.h"

namespace modsimtest {

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

inline int RemainingMs(SteadyClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Ms>(deadline - SteadyClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

/// Where the built programs are.
inline std::string BinaryDir() { return orbiqa::testsupport::BuiltProgramsFolder(); }

/// A fresh folder under /tmp, removed with everything in it.
class TempDir : public orbiqa::testsupport::TemporaryFolder {
public:
    TempDir() : TemporaryFolder("modsim-test-") {}
};

/// orbiqa-modsim started with the given options plus --link-dir; waits for its start line.
/// StartLine() stays empty when the simulator did not come up.
class SimProcess : public orbiqa::testsupport::ModsimProcess {
public:
    SimProcess(std::vector<std::string> args, std::string linkDir) : linkDir_(std::move(linkDir)) {
        args.insert(args.begin(), {"--link-dir", linkDir_});
        Start(std::move(args), 5000);
    }

    std::string LinkPath() const { return linkDir_ + "/" + ComName(); }

private:
    std::string linkDir_;
};

/// A client of the simulated module: raw terminal, the program's frame codec and finder.
class SimClient {
public:
    explicit SimClient(const std::string& path) : finder_(orbiqa::kModuleKey) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) throw std::runtime_error("cannot open " + path);
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
        cipher_.SetKey(orbiqa::kModuleKey);
    }
    ~SimClient() { ::close(fd_); }
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    int Fd() const { return fd_; }

    void WriteBytes(const std::vector<std::uint8_t>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd pfd{fd_, POLLOUT, 0};
                ::poll(&pfd, 1, 100);
            }
        }
    }
    void Send(const orbiqa::ModuleMessage& m) {
        const orbiqa::SecureFrame f = orbiqa::EncodeFrame(cipher_, m);
        WriteBytes({f.begin(), f.end()});
    }
    void SendCommand(std::uint8_t command, std::uint8_t block) {
        const std::uint8_t args[5] = {0, 0, 0, block, 64};
        Send(orbiqa::BuildCommandMessage(command, sequence_++, args));
    }
    void SendPayload(std::uint8_t command, const std::uint8_t* payload) {
        Send(orbiqa::BuildPayloadMessage(command, payload));
    }

    /// Reads and finds messages until `done` returns true for one of them or the time runs out.
    /// Returns every message found. Stops early on hang-up (see HungUp).
    template <typename Done>
    std::vector<orbiqa::ModuleMessage> Receive(int timeoutMs, Done&& done) {
        std::vector<orbiqa::ModuleMessage> found;
        const auto deadline = SteadyClock::now() + Ms(timeoutMs);
        for (;;) {
            pollfd pfd{fd_, POLLIN, 0};
            const int ready = ::poll(&pfd, 1, RemainingMs(deadline));
            if (ready <= 0) return found;
            std::uint8_t buffer[512];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                if (n == 0 || errno == EIO || (pfd.revents & POLLHUP)) {
                    hungUp_ = true;
                    return found;
                }
                continue;
            }
            for (ssize_t i = 0; i < n; ++i) {
                raw_.push_back(buffer[i]);
                if (auto m = finder_.ReceiveByte(buffer[i])) {
                    found.push_back(*m);
                    if (done(*m)) return found;
                }
            }
        }
    }
    std::vector<orbiqa::ModuleMessage> ReceiveFor(int ms) {
        return Receive(ms, [](const orbiqa::ModuleMessage&) { return false; });
    }

    bool HungUp() const { return hungUp_; }
    const std::vector<std::uint8_t>& RawBytes() const { return raw_; }

private:
    int fd_ = -1;
    orbiqa::AesCipher cipher_;
    orbiqa::FrameFinder finder_;
    std::uint8_t sequence_ = 0;
    bool hungUp_ = false;
    std::vector<std::uint8_t> raw_;
};

}  // namespace modsimtest
