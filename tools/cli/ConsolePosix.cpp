#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>

#include "Console.h"

namespace orbiqa::cli {

namespace {

constexpr std::array<int, 4> kWatchedSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
int gInterruptPipe[2] = {-1, -1};
std::array<struct sigaction, kWatchedSignals.size()> gPreviousActions{};

void SignalArrived(int signal) {
    const auto byte = static_cast<unsigned char>(signal);
    const int saved = errno;
    InterruptOpenPorts();
    [[maybe_unused]] const ssize_t written = ::write(gInterruptPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void PrepareConsole() {}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool StdoutReaderGone() {
    // The write end of a pipe without a reader polls as an error.
    pollfd out{STDOUT_FILENO, POLLOUT, 0};
    return ::poll(&out, 1, 0) == 1 && (out.revents & POLLERR) != 0;
}

InterruptWatch::InterruptWatch() {
    // Without the pipe, signals keep their ordinary effect, which ends the program as before.
    if (::pipe2(gInterruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto notifier = std::make_unique<QSocketNotifier>(gInterruptPipe[0], QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        int signal = 0;
        while (::read(gInterruptPipe[0], &byte, 1) == 1) signal = byte;
        if (signal != 0 && onInterrupt) onInterrupt(signal);
    });
    watcher_ = std::move(notifier);
    struct sigaction action {};
    action.sa_handler = SignalArrived;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kWatchedSignals.size(); ++i)
        ::sigaction(kWatchedSignals[i], &action, &gPreviousActions[i]);
}

InterruptWatch::~InterruptWatch() {
    if (!watcher_) return;
    for (std::size_t i = 0; i < kWatchedSignals.size(); ++i)
        ::sigaction(kWatchedSignals[i], &gPreviousActions[i], nullptr);
    watcher_.reset();
    ::close(gInterruptPipe[0]);
    ::close(gInterruptPipe[1]);
    gInterruptPipe[0] = gInterruptPipe[1] = -1;
}

}  // namespace orbiqa::cli
