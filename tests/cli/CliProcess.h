#pragma once
// Runs the built orbiqa-cli as a child process, as a script would: its own XDG_CONFIG_HOME (so
// that COM names resolve through that folder's port links), standard output and standard error
// captured, the exit status kept. Standard error can be a pseudo-terminal instead of a pipe.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "modsim/SimHarness.h"
#include "support/ChildProcess.h"

namespace clitest {

struct CliResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

class CliProcess {
public:
    /// Starts orbiqa-cli with args; XDG_CONFIG_HOME is set to configHome.
    CliProcess(const std::vector<std::string>& args, const std::string& configHome,
               bool errToTerminal = false) {
        const std::string binary = modsimtest::BinaryDir() + "/orbiqa-cli";
        int out[2], err[2];
        if (::pipe(out) != 0) throw std::runtime_error("pipe failed");
        if (errToTerminal) {
            if (::openpty(&err[0], &err[1], nullptr, nullptr, nullptr) != 0)
                throw std::runtime_error("openpty failed");
        } else if (::pipe(err) != 0) {
            throw std::runtime_error("pipe failed");
        }
        std::vector<std::string> argv{binary};
        argv.insert(argv.end(), args.begin(), args.end());
        orbiqa::testsupport::ChildLaunch launch;
        launch.argv = std::move(argv);
        launch.environment = {{"XDG_CONFIG_HOME", configHome}};
        launch.standardOutput = out[1];
        launch.standardError = err[1];
        launch.nullInput = true;
        launch.closeInChild = {out[0], err[0]};
        pid_ = orbiqa::testsupport::StartChild(std::move(launch));
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~CliProcess() {
        if (!finished_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t Pid() const { return pid_; }

    /// Collects output until both streams end or the time runs out; then waits for the exit.
    CliResult Finish(int timeoutMs = 60000) {
        const auto deadline = modsimtest::SteadyClock::now() + modsimtest::Ms(timeoutMs);
        bool outOpen = true, errOpen = true;
        while ((outOpen || errOpen) && modsimtest::SteadyClock::now() < deadline) {
            pollfd fds[2] = {{outOpen ? out_ : -1, POLLIN, 0}, {errOpen ? err_ : -1, POLLIN, 0}};
            if (::poll(fds, 2, modsimtest::RemainingMs(deadline)) <= 0) break;
            if (fds[0].revents) outOpen = Drain(out_, result_.out);
            if (fds[1].revents) errOpen = Drain(err_, result_.err);
        }
        int status = 0;
        if (::waitpid(pid_, &status, (outOpen || errOpen) ? WNOHANG : 0) == pid_) {
            finished_ = true;
            result_.status = orbiqa::testsupport::ExitStatusOf(status);
        }
        return result_;
    }

    /// Reads standard output until it holds text or the time runs out.
    bool WaitForOutput(const std::string& text, int timeoutMs) {
        return WaitFor(out_, result_.out, text, timeoutMs);
    }
    /// The same for standard error (a progress bar at a terminal, say).
    bool WaitForError(const std::string& text, int timeoutMs) {
        return WaitFor(err_, result_.err, text, timeoutMs);
    }

private:
    static bool WaitFor(int stream, std::string& into, const std::string& text, int timeoutMs) {
        const auto deadline = modsimtest::SteadyClock::now() + modsimtest::Ms(timeoutMs);
        while (into.find(text) == std::string::npos) {
            pollfd fd{stream, POLLIN, 0};
            if (::poll(&fd, 1, modsimtest::RemainingMs(deadline)) <= 0) return false;
            if (!Drain(stream, into)) return into.find(text) != std::string::npos;
        }
        return true;
    }

    // false at the end of the stream (a pseudo-terminal reports EIO once the child is gone).
    static bool Drain(int fd, std::string& into) {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    bool finished_ = false;
    CliResult result_;
};

inline CliResult RunCli(const std::vector<std::string>& args, const std::string& configHome,
                        bool errToTerminal = false) {
    CliProcess p(args, configHome, errToTerminal);
    return p.Finish();
}

}  // namespace clitest
