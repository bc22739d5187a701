// orbiqa-modsim: a simulated GSM communicator module on a pseudo-terminal.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "LineReceiver.h"
#include "LineTransmitter.h"
#include "ModuleMemory.h"
#include "ModuleSimulator.h"
#include "Options.h"
#include "Pty.h"
#include "PublishedPort.h"
#include "serial/PortLinks.h"

namespace orbiqa::modsim {
namespace {

constexpr const char* kProgram = "orbiqa-modsim";
constexpr int kExitRuntimeError = 1;
constexpr int kExitUsage = 2;

volatile std::sig_atomic_t gStopRequested = 0;

void OnStopSignal(int) { gStopRequested = 1; }

// The stop signals are blocked except inside ppoll, so that they can only interrupt the wait and
// are never lost between the check of the flag and the wait.
sigset_t InstallSignalHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(s, &sa, nullptr);
        sigaddset(&stopSignals, s);
    }
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigdelset(&waitMask, s);
    return waitMask;
}

timespec ToTimespec(Duration d) {
    const long long ns = std::max<long long>(0, d.count());
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

class ParameterFileKeeper {
public:
    explicit ParameterFileKeeper(std::string path) : path_(std::move(path)) { tail_.fill(0xFF); }

    /// Loads the file into the memory when it exists; a missing file is created by the first save.
    void Load(ModuleMemory& memory) {
        if (path_.empty() || !std::filesystem::exists(path_)) return;
        const ParameterFile file = ReadParameterFile(path_);
        memory.LoadParameters(file);
        tail_ = file;
    }

    void Save(const ModuleMemory& memory, std::size_t block) const {
        if (path_.empty() || block >= kParameterBlocks) return;
        try {
            WriteParameterFile(path_, memory.SaveParameters(tail_));
        } catch (const std::exception& e) {
            std::cerr << kProgram << ": " << e.what() << std::endl;
        }
    }

private:
    std::string path_;
    ParameterFile tail_{};  // bytes 960..1087 travel unchanged
};

// A hang-up discards what the client has not read yet; the bytes before the hang-up count as
// sent, so give the client a moment to take them. The terminal moves written bytes to the device
// side a little later, so the first look at the unread count comes after a short pause.
void LetClientDrain(const Pty& pty) {
    constexpr auto kStep = std::chrono::milliseconds(10);
    constexpr int kMaxSteps = 100;
    int step = 0;
    do {
        std::this_thread::sleep_for(kStep);
    } while (++step < kMaxSteps && pty.UnreadByClient() > 0);
}

int Run(const Options& options) {
    const sigset_t waitMask = InstallSignalHandlers();

    ModuleMemory memory;
    if (options.image == ImageKind::Demo) {
        memory.LoadDemoImage();
    } else {
        memory.LoadErasedImage();
    }
    memory.SetVersionRecord(options.versionText, options.dataVersion);
    ParameterFileKeeper file(options.memoryFile);
    file.Load(memory);

    Pty pty;
    PublishedPort port(options.linkDir.empty() ? PortLinkFolder() : options.linkDir, options.port,
                       pty.DevicePath());

    const Duration byteTime = options.fast ? Duration::zero() : kByteTime19200;
    LineReceiver receiver(byteTime);
    LineTransmitter transmitter(byteTime);
    ModuleSimulator::LogFn log;
    if (options.verbose) log = [](const std::string& text) { std::cerr << kProgram << ": " << text << std::endl; };
    ModuleSimulator simulator(options, memory, transmitter, log,
                              [&](std::size_t block) { file.Save(memory, block); });

    if (!options.quiet) {
        std::cout << kProgram << ": " << port.ComName() << " -> " << pty.DevicePath() << std::endl;
    }

    const Time started = Clock::now();
    std::optional<Time> deadline;
    if (options.exitAfterMs) deadline = started + std::chrono::milliseconds(*options.exitAfterMs);
    simulator.Start(started);

    long long bytesSent = 0;
    bool hangUpNow = false;
    const LineTransmitter::Sink sink = [&](const std::uint8_t* data, std::size_t count) -> std::size_t {
        std::size_t allowed = count;
        if (options.hangupAfterBytes)
            allowed = static_cast<std::size_t>(std::min<long long>(
                static_cast<long long>(count), std::max(0LL, *options.hangupAfterBytes - bytesSent)));
        std::size_t done = 0;
        while (done < allowed) {
            const ssize_t n = ::write(pty.Master(), data + done, allowed - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                break;  // EAGAIN: the client is not reading; wait until the terminal takes more
            }
        }
        bytesSent += static_cast<long long>(done);
        if (options.hangupAfterBytes && bytesSent >= *options.hangupAfterBytes) hangUpNow = true;
        return done;
    };

    while (!gStopRequested) {
        const Time now = Clock::now();
        if (deadline && now >= *deadline) break;

        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = ::read(pty.Master(), buffer, sizeof buffer);
            if (n > 0) {
                receiver.Push(buffer, static_cast<std::size_t>(n), now);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                break;
            }
        }
        receiver.Deliver(now, [&](std::uint8_t b, Time at) { simulator.ReceiveByte(b, at); });
        simulator.Tick(now);
        const bool blocked = !transmitter.Pump(now, sink);
        if (hangUpNow) {
            if (log) log("hanging up after " + std::to_string(bytesSent) + " bytes");
            LetClientDrain(pty);
            pty.HangUp();
            break;
        }

        std::optional<Time> wake;
        auto consider = [&](std::optional<Time> t) {
            if (t && (!wake || *t < *wake)) wake = t;
        };
        consider(receiver.NextArrival());
        consider(simulator.NextTimer());
        consider(deadline);
        if (!blocked) consider(transmitter.NextDue());

        pollfd pfd{pty.Master(), static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0};
        timespec timeout{};
        if (wake) timeout = ToTimespec(*wake - Clock::now());
        const int ready = ::ppoll(&pfd, 1, wake ? &timeout : nullptr, &waitMask);
        if (ready < 0 && errno != EINTR) throw std::system_error(errno, std::generic_category(), "ppoll");
        // The simulator holds the device side open itself, so the master never sees a hang-up;
        // if it does all the same, the terminal is unusable and waiting on it would spin.
        if (ready > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(pfd.revents & POLLIN))
            throw std::runtime_error("the pseudo-terminal failed");
    }
    if (log) log("ending");
    return 0;
}

}  // namespace
}  // namespace orbiqa::modsim

int main(int argc, char** argv) {
    using namespace orbiqa::modsim;
    const ParseResult parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.action) {
        case ParseResult::Action::Help:
            std::cout << HelpText();
            return 0;
        case ParseResult::Action::Error:
            std::cerr << kProgram << ": " << parsed.error << "\nTry '" << kProgram << " --help'." << std::endl;
            return kExitUsage;
        case ParseResult::Action::Run:
            break;
    }
    try {
        return Run(parsed.options);
    } catch (const std::exception& e) {
        std::cerr << kProgram << ": error: " << e.what() << std::endl;
        return kExitRuntimeError;
    }
}
