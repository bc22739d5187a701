#pragma once
// The pseudo-terminal the module talks through. The master side is the module's end of the
// line; the device side (/dev/pts/N) is the serial device a client opens.
#include <string>

namespace orbiqa::modsim {

class Pty {
public:
    /// Opens a new pseudo-terminal: the master non-blocking, the device side in raw mode at
    /// 19200 bit/s 8N1, and one descriptor of the device side kept open by the simulator itself,
    /// so that a client closing it never hangs the terminal up before the next client opens.
    /// Throws std::system_error on failure.
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    int Master() const { return master_; }
    const std::string& DevicePath() const { return devicePath_; }

    /// Bytes sent to the device side that no client has read yet.
    int UnreadByClient() const;

    /// Closes both ends: every client of the device side sees a hang-up.
    void HangUp();

private:
    int master_ = -1;
    int device_ = -1;
    std::string devicePath_;
};

}  // namespace orbiqa::modsim
