#include "serial/SerialDevicePosix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include "serial/PortLinks.h"

namespace orbiqa {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

bool ReadDriverLineCounters(int fd, DriverLineCounters& counters) {
#if defined(__linux__) && defined(TIOCGICOUNT)
    serial_icounter_struct kernel{};
    if (ioctl(fd, TIOCGICOUNT, &kernel) != 0) return false;
    counters.overrun = kernel.overrun;
    counters.bufferOverrun = kernel.buf_overrun;
    counters.framing = kernel.frame;
    counters.parity = kernel.parity;
    counters.breaks = kernel.brk;
    return true;
#else
    (void)fd;
    (void)counters;
    return false;
#endif
}

// Any difference is a change, so a counter that wrapped past INT_MAX still counts.
LineErrorKinds LineErrorsBetween(const DriverLineCounters& before, const DriverLineCounters& now) {
    return {before.overrun != now.overrun, before.bufferOverrun != now.bufferOverrun,
            before.framing != now.framing, before.parity != now.parity, before.breaks != now.breaks};
}

SerialDevicePosix::SerialDevicePosix() {
    if (pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) stopPipe_[0] = stopPipe_[1] = -1;
}

SerialDevicePosix::~SerialDevicePosix() {
    Close();
    for (int fd : stopPipe_)
        if (fd >= 0) ::close(fd);
}

int SerialDevicePosix::Open(const std::string& portName) {
    if (fd_ >= 0) return EBUSY;
    const auto path = ResolvePortDevice(portName);
    if (!path) return ENOENT;
    path_ = *path;
    const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        ::close(fd);
        return ENODEV;
    }
    // TIOCEXCL keeps other openers out, except the super-user; the advisory lock covers that
    // case between cooperating programs.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return e;
    }
    if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        const int e = errno;
        ::close(fd);
        return e;
    }
    fd_ = fd;
    // Errors counted before this opening, by the driver or on an earlier connection, are not
    // this connection's.
    driverCounts_ = ReadDriverLineCounters(fd_, counters_);
    (void)lineErrors_.Take();
    return 0;
}

int SerialDevicePosix::SetupQueues(int, int) {
    // The tty driver's queues are fixed; nothing to size.
    return fd_ >= 0 ? 0 : EBADF;
}

int SerialDevicePosix::ApplyLineSettings() {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return errno;
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (cfsetispeed(&t, B19200) != 0 || cfsetospeed(&t, B19200) != 0) return errno;
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return errno;
    int lines = TIOCM_DTR | TIOCM_RTS;
    // A pseudo-terminal has no modem lines and refuses the request; that is not a failure.
    if (ioctl(fd_, TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL) return errno;
    return 0;
}

int SerialDevicePosix::ApplyTimeouts(int writeMultiplierMs, int writeConstantMs) {
    writeMultiplierMs_ = writeMultiplierMs;
    writeConstantMs_ = writeConstantMs;
    return fd_ >= 0 ? 0 : EBADF;
}

int SerialDevicePosix::Purge() {
    if (fd_ < 0) return EBADF;
    return tcflush(fd_, TCIOFLUSH) == 0 ? 0 : errno;
}

void SerialDevicePosix::Close() {
    if (fd_ < 0) return;
    ioctl(fd_, TIOCNXCL);
    flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

long SerialDevicePosix::Write(const std::uint8_t* data, std::size_t count, int& error) {
    if (fd_ < 0) {
        error = EBADF;
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(
                                             static_cast<long long>(writeMultiplierMs_) * static_cast<long long>(count) +
                                             writeConstantMs_);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, data + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            error = errno;
            return -1;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;  // time-out: the write completes short
        // The stop pipe wakes the wait too: an interrupt or a close must not sit out the bound.
        pollfd p[2] = {{fd_, POLLOUT, 0}, {stopPipe_[0], POLLIN, 0}};
        const int r = poll(p, 2, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR) {
            error = errno;
            return -1;
        }
        if (r > 0 && (p[1].revents & POLLIN)) {
            error = ECANCELED;
            return -1;
        }
        if (r > 0 && (p[0].revents & (POLLERR | POLLHUP | POLLNVAL))) {
            error = EIO;
            return -1;
        }
    }
    return static_cast<long>(done);
}

long SerialDevicePosix::Read(std::uint8_t* data, std::size_t count, int& error) {
    if (fd_ < 0) {
        error = EBADF;
        return -1;
    }
    for (;;) {
        const ssize_t n = ::read(fd_, data, count);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN) return 0;
        error = errno;
        return -1;
    }
}

long SerialDevicePosix::QueuedBytes(int& error) const {
    int n = 0;
    if (fd_ < 0 || ioctl(fd_, FIONREAD, &n) != 0) {
        error = fd_ < 0 ? EBADF : errno;
        return -1;
    }
    return n;
}

long SerialDevicePosix::PendingInput(int& error) {
    const long n = QueuedBytes(error);
    if (n >= 0) CheckLineErrors();
    return n;
}

void SerialDevicePosix::CheckLineErrors() {
    DriverLineCounters now;
    if (!driverCounts_ || !ReadDriverLineCounters(fd_, now)) return;
    lineErrors_.Note(LineErrorsBetween(counters_, now));
    counters_ = now;
}

LineErrorCounts SerialDevicePosix::TakeLineErrors() { return lineErrors_.Take(); }

SerialDevice::WaitResult SerialDevicePosix::WaitForEvent() {
    for (;;) {
        pollfd p[2] = {{stopPipe_[0], POLLIN, 0}, {fd_, POLLIN, 0}};
        const int r = poll(p, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            return WaitResult::Failed;
        }
        if (p[0].revents & POLLIN) return WaitResult::Stopped;
        const short ev = p[1].revents;
        if (ev & POLLNVAL) return WaitResult::Failed;
        if (ev & POLLIN) {
            int error = 0;
            if (QueuedBytes(error) > 0) return WaitResult::Arrival;
        }
        // Hang-up (the other side of a pseudo-terminal closed) or an error (an unplugged
        // adapter): poll would report it again at once, forever.
        if (ev & (POLLHUP | POLLERR | POLLIN)) return WaitResult::Lost;
    }
}

void SerialDevicePosix::StopWaiting() {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &b, 1);
}

void SerialDevicePosix::ResetStop() {
    char buf[64];
    while (::read(stopPipe_[0], buf, sizeof buf) > 0) {
    }
}

}  // namespace orbiqa
