#pragma once
// The module session of one command, opened on a COM name, with what the command line adds to
// it: waits that a stop request ends, and the diagnosis of a request nobody answered. Closing
// the port on every way out matters: a port left with its exclusive-use flag set stays busy for
// the next program. A CommandSession lives on one thread (the one that made it); provision runs
// several, each on its own thread.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "CommandLine.h"
#include "Console.h"
#include "link/FrameCodec.h"
#include "transfer/ModuleSession.h"

namespace orbiqa::cli {

/// Counts the bytes and frames that arrive and the frames that decipher into a valid message,
/// so that a module under another key is told apart from a silent one and from noise.
class FrameTally {
public:
    void Feed(std::uint8_t b);
    long long Bytes() const { return bytes_; }
    int Frames() const { return frames_; }
    int Valid() const { return valid_; }
    /// Non-zero once a frame has arrived: a flag to wait for.
    const std::uint8_t& FrameArrived() const { return frameArrived_; }

private:
    FrameFinder finder_{LinkKey()};
    long long bytes_ = 0;
    int frames_ = 0;
    int valid_ = 0;
    std::uint8_t frameArrived_ = 0;
    static const AesKey& LinkKey();
};

class CommandSession {
public:
    /// Opens the port; CliFailure(kExitPort) with the reason when it cannot be opened. A wait
    /// ends early when the device goes away or *stop becomes true (stop may be null).
    CommandSession(const std::string& comName, const std::atomic<bool>* stop = nullptr);
    ~CommandSession();
    CommandSession(const CommandSession&) = delete;
    CommandSession& operator=(const CommandSession&) = delete;

    const std::string& PortName() const { return portName_; }
    /// "COM90 (/dev/pts/3)": both names, as messages give them.
    const std::string& PortLabel() const { return portLabel_; }
    /// The device the port opened, or empty.
    const std::string& DevicePath() const { return device_; }
    ModuleLink& Link() { return session_.Link(); }
    ModuleChannel& Channel() { return session_.Channel(); }

    /// The session's WaitForFlag, ended early by a lost device or a stop request too.
    void WaitForFlag(const std::uint8_t& flag, int ticks, const WaitAbandoned& abandoned = {});
    WaitForFlagFunction Wait() {
        return [this](const std::uint8_t& flag, int ticks, const WaitAbandoned& abandoned) {
            WaitForFlag(flag, ticks, abandoned);
        };
    }

    /// The port knows of a loss as soon as its event thread does, before the hand-over that
    /// tells this session has run: a wait cut short by the loss must not read as no answer.
    bool DeviceLost() const { return deviceLost_ || session_.DeviceLost(); }
    bool StopRequested() const { return stop_ && stop_->load(); }
    /// CliFailure(kExitPort) when the device went away while open (an unplugged adapter).
    void CheckDevice() const;
    /// What arrived when nothing the module sends could be read: "; N frames arrived but none
    /// could be deciphered: ..." (another key), "; N bytes arrived but not one of the module's
    /// frames ..." or "; N bytes arrived, with M frame marks ..." (noise, another device). Empty
    /// when nothing arrived or a frame deciphered: appended to every "did not answer" message.
    std::string NoAnswerNote() const;
    /// The same for a request that went unanswered while nothing at all arrived: the module
    /// answers the status poll whatever its key, so one poll tells a module under another key
    /// (frames arrive, none deciphers) from one that sends nothing ("nothing arrived ...").
    /// Empty when the module answered the poll, or the wait was interrupted or lost its device.
    std::string ProbeNoAnswer();
    /// What ProbeNoAnswer says once its poll has been waited for, for a caller that polled
    /// itself (the status command): "nothing arrived ..." when not one byte came in this
    /// session, else NoAnswerNote().
    std::string SilenceNote() const;
    /// Closes the port; errors are ignored, as nothing is left to do about them.
    void Close() noexcept;

private:
    std::string portName_;
    std::string device_;  // resolved when opening: a link may go away with its device
    std::string portLabel_;
    const std::atomic<bool>* stop_;
    ModuleSession session_;
    FrameTally tally_;
    bool deviceLost_ = false;
};

/// What an interrupt leaves for a TerminalSession. It is a base that comes before the CommandSession,
/// so that the signals are watched before the port opens: a Ctrl+C while a flooding server keeps
/// the open busy must end the command with its message, not with the signal's default action.
struct SessionInterrupts {
    SessionInterrupts() {
        watch.onInterrupt = [this](int s) {
            signal = s;
            stop = true;
        };
    }
    std::atomic<bool> stop{false};
    int signal = 0;
    InterruptWatch watch;
};

/// A CommandSession of a command run from the terminal: an interrupt (Ctrl+C) ends the running
/// wait, and the command reports how far it came and exits with 128 + the signal.
class TerminalSession : private SessionInterrupts, public CommandSession {
public:
    explicit TerminalSession(const std::string& comName);

    void OnInterrupt(std::function<void(int signal)> handler) {
        watch.onInterrupt = std::move(handler);
    }
    /// The signal that interrupted the command, or 0.
    int Interrupted() const { return signal; }
    /// CliFailure(128 + signal, "what: interrupted ...") when interrupted.
    void CheckInterrupt(const std::string& what) const;
};

/// A port argument as the user gave it (COMn, n, \\.\COMn, or a device path) turned into the
/// COM name the link opens. A device path is accepted when a COM name leads to it: a link in
/// the port-link folder, or the fixed ttyS/ttyUSB/ttyACM rule. CliFailure(kExitUsage) otherwise.
std::string ResolvePortArgument(const std::string& text);

/// "cannot open COMn (/dev/...): reason" for an error of opening the port.
std::string OpenFailureText(const std::string& comName, int errorCode, int systemCode);

/// "1a2b3c4d": the first 8 hexadecimal digits of SHA-256 over the module key's hex digits.
std::string KeyFingerprint();

}  // namespace orbiqa::cli
