#pragma once
// The built orbiqa-modsim as a child process, the one way the tests, the benchmark and the soak
// start it: its arguments, the wait for its start line "orbiqa-modsim: COMn -> /dev/pts/k", the
// COM name and terminal read from that line, its errors kept for the report when it does not come
// up, and the end with SIGTERM (the simulator removes its port link) and SIGKILL only when that
// is not heeded. POSIX only, as the simulator is.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"

namespace orbiqa::testsupport {

/// Where the built programs are: ORBIQA_BIN_DIR, else the folder of this program (tests, the
/// benchmark and the simulator are built into the same folder).
inline std::string BuiltProgramsFolder() {
    const char* binDir = std::getenv("ORBIQA_BIN_DIR");
    if (binDir && *binDir) return binDir;
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
}

inline std::string ModsimProgram() { return BuiltProgramsFolder() + "/orbiqa-modsim"; }

/// What the simulator's start line names: its COM name and its terminal.
struct ModsimStartLine {
    std::string comName;
    std::string devicePath;
};

/// Reads "orbiqa-modsim: COMn -> /dev/pts/k"; nothing for any other line.
inline std::optional<ModsimStartLine> ParseModsimStartLine(std::string_view line) {
    constexpr std::string_view kPrefix = "orbiqa-modsim: ";
    constexpr std::string_view kArrow = " -> ";
    if (line.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    line.remove_prefix(kPrefix.size());
    const auto arrow = line.find(kArrow);
    if (arrow == std::string_view::npos) return std::nullopt;
    const std::string_view name = line.substr(0, arrow);
    const std::string_view device = line.substr(arrow + kArrow.size());
    if (name.size() < 4 || name.substr(0, 3) != "COM" || device.empty()) return std::nullopt;
    for (const char c : name.substr(3))
        if (c < '0' || c > '9') return std::nullopt;
    return ModsimStartLine{std::string(name), std::string(device)};
}

class ModsimProcess {
public:
    static constexpr int kStartTimeoutMs = 10000;
    /// How long SIGTERM is given before SIGKILL: the simulator removes its link on the way out.
    static constexpr int kStopGraceMs = 5000;

    ModsimProcess() = default;
    ~ModsimProcess() { Stop(); }
    ModsimProcess(const ModsimProcess&) = delete;
    ModsimProcess& operator=(const ModsimProcess&) = delete;

    /// Starts the simulator with args and waits up to timeoutMs for its start line. True when it
    /// is up; otherwise Failure() says why, with what the simulator wrote to its standard error.
    /// A simulator started before is stopped first.
    bool Start(std::vector<std::string> args, int timeoutMs = kStartTimeoutMs) {
        Stop();
        startLine_.clear();
        started_ = {};
        failure_.clear();
        std::string program = ModsimProgram();
        args.insert(args.begin(), program);
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        errors_ = ErrorFile();
        ChildLaunch launch;
        launch.argv = std::move(args);
        launch.standardOutput = out[1];
        launch.standardError = errors_;
        launch.closeInChild = {out[0]};
        pid_ = StartChild(std::move(launch));
        exited_ = false;
        ::close(out[1]);
        stdout_ = out[0];
        startLine_ = ReadLine(timeoutMs);
        if (auto parsed = ParseModsimStartLine(startLine_)) {
            started_ = *parsed;
            return true;
        }
        failure_ = startLine_.empty() ? program + " did not start" : "unexpected start line: " + startLine_;
        // No line at all: the simulator is on its way out, and its exit status tells why.
        if (const auto status = Wait(startLine_.empty() ? 1000 : 0)) failure_ += " (exit status " + std::to_string(*status) + ")";
        const std::string errors = StandardError();
        if (!errors.empty()) failure_ += ": " + errors;
        return false;
    }

    /// Start, or std::runtime_error with Failure(); the COM name.
    const std::string& StartOrThrow(std::vector<std::string> args) {
        if (!Start(std::move(args))) throw std::runtime_error(failure_);
        return started_.comName;
    }

    /// SIGTERM, and the exit status once the simulator ended within timeoutMs.
    std::optional<int> Terminate(int timeoutMs) {
        if (pid_ < 0) return std::nullopt;
        if (!exited_) ::kill(pid_, SIGTERM);
        return Wait(timeoutMs);
    }

    /// Ends the simulator (SIGTERM, SIGKILL after graceMs) and lets go of its output.
    void Stop(int graceMs = kStopGraceMs) {
        if (pid_ >= 0 && !Terminate(graceMs)) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            exited_ = true;
            exitStatus_ = ExitStatusOf(status);
        }
        pid_ = -1;
        for (int* fd : {&stdout_, &errors_}) {
            if (*fd >= 0) ::close(*fd);
            *fd = -1;
        }
    }

    /// The exit status once the simulator ended within timeoutMs, or nothing.
    std::optional<int> Wait(int timeoutMs) {
        if (pid_ < 0) return exited_ ? std::optional<int>(exitStatus_) : std::nullopt;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!exited_) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                exitStatus_ = ExitStatusOf(status);
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return exitStatus_;
    }

    bool Running() { return pid_ >= 0 && !Wait(0); }
    pid_t Pid() const { return pid_; }
    /// The first line the simulator printed; empty when it printed none in time.
    const std::string& StartLine() const { return startLine_; }
    const std::string& ComName() const { return started_.comName; }
    const std::string& DevicePath() const { return started_.devicePath; }
    const std::string& Failure() const { return failure_; }

    /// What the simulator wrote to its standard error so far (the last 64 KiB of it).
    std::string StandardError() const {
        if (errors_ < 0) return {};
        constexpr off_t kMost = 64 * 1024;
        const off_t size = ::lseek(errors_, 0, SEEK_END);
        off_t at = size > kMost ? size - kMost : 0;
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = ::pread(errors_, buffer, sizeof buffer, at)) > 0; at += n) text.append(buffer, n);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        return text;
    }

private:
    // Standard error goes to a file nobody else can see, not to a pipe: a simulator that logs
    // must never stall on a pipe nobody reads.
    static int ErrorFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orbiqa-modsim-XXXXXX").string();
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) throw std::runtime_error("cannot make a file for the simulator's errors");
        ::unlink(pattern.c_str());
        return fd;
    }

    std::string ReadLine(int timeoutMs) {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return line;
            pollfd pfd{stdout_, POLLIN, 0};
            const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return line;
            char c = 0;
            if (::read(stdout_, &c, 1) != 1 || c == '\n') return line;
            line += c;
        }
    }

    pid_t pid_ = -1;
    int stdout_ = -1;
    int errors_ = -1;
    bool exited_ = false;
    int exitStatus_ = -1;
    std::string startLine_;
    ModsimStartLine started_;
    std::string failure_;
};

}  // namespace orbiqa::testsupport
