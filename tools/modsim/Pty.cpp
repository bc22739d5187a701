#include "Pty.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace orbiqa::modsim {
namespace {

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

Pty::Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) Fail("posix_openpt");
    try {
        if (::grantpt(master_) != 0) Fail("grantpt");
        if (::unlockpt(master_) != 0) Fail("unlockpt");
        const char* name = ::ptsname(master_);
        if (!name) Fail("ptsname");
        devicePath_ = name;
        const int flags = ::fcntl(master_, F_GETFL);
        if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) Fail("fcntl");

        device_ = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (device_ < 0) Fail("open of the terminal's device side");
        // Raw from the start, so that even a client that sets nothing gets every byte unchanged
        // (no echo, no carriage-return translation, no XON/XOFF).
        termios tio{};
        if (::tcgetattr(device_, &tio) != 0) Fail("tcgetattr");
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        if (::tcsetattr(device_, TCSANOW, &tio) != 0) Fail("tcsetattr");
    } catch (...) {
        HangUp();
        throw;
    }
}

Pty::~Pty() { HangUp(); }

int Pty::UnreadByClient() const {
    // The client's descriptor and ours share the device side's input queue.
    int count = 0;
    if (device_ < 0 || ::ioctl(device_, FIONREAD, &count) != 0) return 0;
    return count;
}

void Pty::HangUp() {
    if (device_ >= 0) ::close(device_);
    if (master_ >= 0) ::close(master_);
    device_ = master_ = -1;
}

}  // namespace orbiqa::modsim
