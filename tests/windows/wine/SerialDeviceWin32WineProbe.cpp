// The Windows serial device against a real peer: run under Wine on a COM port that is a Linux
// pseudo-terminal with pty-peer on its master. The program drives the peer over the line and
// checks what a user of the port meets: byte-exact transfer, arrival waits that really wait
// (several in a row on one handle), many arrivals in a row, a prompt stop and close while a wait
// is pending, and the peer hanging up reported as device loss.
//
// Usage: SerialDeviceWin32WineProbe.exe COMn
// (Run as "--try-open COMn" it only opens the port and exits with the error; the probe does
// that to open the port from another program.)
// Prints one line per case: "ok", "FAIL", or "note" for a Windows behaviour that Wine does not
// reproduce (measured, not judged). Exits 0 when no case failed.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "PeerPattern.h"
#include "link/ComPort.h"
#include "serial/SerialDeviceWin32.h"

namespace {

using orbiqa::SerialDevice;
using orbiqa::TComPort;
using orbiqa::SerialDeviceWin32;
using Clock = std::chrono::steady_clock;
using WaitResult = SerialDevice::WaitResult;

constexpr std::size_t kFrameSize = 18;
constexpr int kBurstFrames = 300;
constexpr std::uint32_t kPacedGapMs = 3;
// Bounds on what the port may take beyond what the peer was asked to wait: generous, because the
// machine running the tests is shared; a broken wait misses them by seconds or forever.
constexpr long kLateMs = 1500;
constexpr long kEarlyMs = 20;
constexpr long kStopLimitMs = 1500;
constexpr long kReceiveLimitMs = 10000;
constexpr std::uint32_t kHangUpDelayMs = 300;
// A read that takes this long on an empty queue has waited instead of returning at once.
constexpr long kImmediateMs = 50;
constexpr std::uint32_t kLateByteMs = 500;
// Far more than a pseudo-terminal buffers, so that a write to a peer that stops reading stalls.
constexpr std::size_t kStallWriteBytes = 1 << 20;
constexpr std::uint32_t kStallMs = 2000;
constexpr long kShortWriteTimeoutMs = 500;

constexpr int kAccessDenied = 5;
constexpr const char* kTryOpen = "--try-open";
constexpr DWORD kChildLimitMs = 30000;

int gFailures = 0;

void Report(bool ok, const std::string& name, const std::string& detail) {
    std::printf("%s %s: %s\n", ok ? "ok  " : "FAIL", name.c_str(), detail.c_str());
    std::fflush(stdout);
    if (!ok) ++gFailures;
}

void Note(const std::string& name, const std::string& detail) {
    std::printf("note %s: %s\n", name.c_str(), detail.c_str());
    std::fflush(stdout);
}

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

const char* ResultName(WaitResult r) {
    switch (r) {
        case WaitResult::Arrival:
            return "Arrival";
        case WaitResult::Stopped:
            return "Stopped";
        case WaitResult::Lost:
            return "Lost";
        case WaitResult::Failed:
            return "Failed";
    }
    return "?";
}

void PutNumber(std::vector<std::uint8_t>& out, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> Pattern(std::uint32_t seed, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = PeerPattern(seed, i);
    return bytes;
}

// Calls StopWaiting when a wait outlives its limit, so that a wait Wine never completes fails
// the case instead of hanging the run.
class Watchdog {
public:
    Watchdog(SerialDevice& device, long limitMs)
        : thread_([this, &device, limitMs] {
              std::unique_lock lock(mutex_);
              if (!cv_.wait_for(lock, std::chrono::milliseconds(limitMs),
                                [this] { return done_; })) {
                  fired_ = true;
                  device.StopWaiting();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    bool Fired() {
        std::lock_guard lock(mutex_);
        return fired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    bool fired_ = false;
    std::thread thread_;
};

// Runs this program again to open the port; its exit code is the error Open gave, -1 when it
// could not be run.
long OpenInOtherProcess(const std::string& port) {
    char self[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, self, MAX_PATH) == 0) return -1;
    std::string command = std::string("\"") + self + "\" " + kTryOpen + " " + port;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, kChildLimitMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &code))
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
}

class Probe {
public:
    explicit Probe(std::string port) : port_(std::move(port)) {}

    bool Open() {
        if (const int e = device_.Open(port_))
            return Fail("open", "Open error " + std::to_string(e));
        if (const int e = device_.SetupQueues(TComPort::kInputSize, TComPort::kOutputSize))
            return Fail("open", "SetupQueues error " + std::to_string(e));
        if (const int e = device_.ApplyLineSettings())
            return Fail("open", "ApplyLineSettings error " + std::to_string(e));
        if (const int e = device_.ApplyTimeouts(TComPort::kWriteTotalMultiplierMs,
                                                TComPort::kWriteTotalConstantMs))
            return Fail("open", "ApplyTimeouts error " + std::to_string(e));
        device_.ResetStop();
        return true;
    }

    // ERROR_ACCESS_DENIED is what Windows answers a second opener, in this process or another.
    void SecondOpen() {
        SerialDeviceWin32 other;
        const int e = other.Open(port_);
        Report(e == kAccessDenied, "exclusive open",
               "a second opener got error " + std::to_string(e));
        const long child = OpenInOtherProcess(port_);
        Report(child == kAccessDenied, "exclusive open from another program",
               "it got error " + std::to_string(child));
    }

    void Echo() {
        std::vector<std::uint8_t> payload = {0x00, 0x0D, 0x11, 0x13, 0x0A, 0x03, 0x1A, 0x7F, 0xFF};
        for (int b = 0; b < 256; ++b) payload.push_back(static_cast<std::uint8_t>(b));
        std::vector<std::uint8_t> request = {'E'};
        PutNumber(request, static_cast<std::uint32_t>(payload.size()), 2);
        request.insert(request.end(), payload.begin(), payload.end());
        if (!Send("byte-exact echo", request)) return;
        const std::vector<std::uint8_t> got = Receive(payload.size(), kReceiveLimitMs);
        Report(got == payload, "byte-exact echo",
               std::to_string(got.size()) + " of " + std::to_string(payload.size()) +
                   " bytes back, " + (got == payload ? "identical" : "different"));
    }

    // The case that matters most: a wait that has to wait, again and again on the same handle.
    void DelayedArrival(std::uint32_t delayMs, std::uint32_t seed) {
        const std::string name = "arrival after " + std::to_string(delayMs) + " ms";
        std::vector<std::uint8_t> request = {'D'};
        PutNumber(request, delayMs, 4);
        PutNumber(request, kFrameSize, 2);
        PutNumber(request, seed, 1);
        if (!Send(name, request)) return;
        const long limit = static_cast<long>(delayMs) + kLateMs;
        const TimedWait w = WaitAtMost(limit);
        std::vector<std::uint8_t> got;
        if (w.result == WaitResult::Arrival) got = Receive(kFrameSize, kReceiveLimitMs);
        const bool ok = w.result == WaitResult::Arrival &&
                        w.ms >= static_cast<long>(delayMs) - kEarlyMs && w.ms <= limit &&
                        got == Pattern(seed, kFrameSize);
        Report(ok, name,
               w.Text() + ", " + std::to_string(got.size()) + " bytes" +
                   (got == Pattern(seed, kFrameSize) ? " as sent" : " not as sent"));
    }

    // Back to back the frames mostly arrive together; paced, each needs a wait of its own.
    void Burst(std::uint32_t gapMs) {
        const std::string name = "many arrivals " + std::to_string(gapMs) + " ms apart";
        std::vector<std::uint8_t> request = {'F'};
        PutNumber(request, kBurstFrames, 2);
        PutNumber(request, gapMs, 1);
        if (!Send(name, request)) return;
        const Clock::time_point start = Clock::now();
        const std::vector<std::uint8_t> got = Receive(kFrameSize * kBurstFrames, kReceiveLimitMs);
        const long took = MsSince(start);
        std::size_t intact = 0;
        for (std::size_t k = 0; k * kFrameSize + kFrameSize <= got.size(); ++k) {
            const auto frame = got.begin() + static_cast<std::ptrdiff_t>(k * kFrameSize);
            if (std::vector<std::uint8_t>(frame, frame + kFrameSize) ==
                Pattern(static_cast<std::uint32_t>(k), kFrameSize))
                ++intact;
        }
        Report(intact == static_cast<std::size_t>(kBurstFrames) &&
                   got.size() == kFrameSize * kBurstFrames,
               name,
               std::to_string(intact) + " of " + std::to_string(kBurstFrames) + " frames intact, " +
                   std::to_string(got.size()) + " bytes in " + std::to_string(took) + " ms, " +
                   std::to_string(lastWaits_) + " waits");
    }

    // Windows returns at once with nothing; a byte is requested for later so that a read that
    // waits instead still ends.
    void EmptyRead() {
        std::vector<std::uint8_t> request = {'D'};
        PutNumber(request, kLateByteMs, 4);
        PutNumber(request, 1, 2);
        PutNumber(request, 0, 1);
        if (!Send("read on an empty queue", request)) return;
        std::uint8_t byte = 0;
        int error = 0;
        const Clock::time_point start = Clock::now();
        const long n = device_.Read(&byte, 1, error);
        const long took = MsSince(start);
        const std::string detail =
            "returned " + std::to_string(n) + " after " + std::to_string(took) + " ms";
        if (n == 0 && took < kImmediateMs)
            Report(true, "read on an empty queue", detail + ", at once");
        else
            Note("read on an empty queue", detail + " (Windows returns 0 at once)");
        if (n == 0) Receive(1, kReceiveLimitMs);  // the late byte, so that it does not linger
    }

    // A peer that stops reading: the write must end when its total time-out runs out, short.
    void WriteTimeout() {
        const std::string name = "write time-out";
        std::vector<std::uint8_t> request = {'S'};
        PutNumber(request, kStallMs, 4);
        if (!Send(name, request)) return;
        device_.ApplyTimeouts(0, kShortWriteTimeoutMs);
        const std::vector<std::uint8_t> bulk(kStallWriteBytes, 0);
        int error = 0;
        const Clock::time_point start = Clock::now();
        const long n = device_.Write(bulk.data(), bulk.size(), error);
        const long took = MsSince(start);
        device_.ApplyTimeouts(TComPort::kWriteTotalMultiplierMs, TComPort::kWriteTotalConstantMs);
        const std::string detail = "Write gave " + std::to_string(n) + " of " +
                                   std::to_string(bulk.size()) + " bytes (error " +
                                   std::to_string(n < 0 ? error : 0) + ") after " +
                                   std::to_string(took) + " ms";
        const bool inTime =
            took >= kShortWriteTimeoutMs - kEarlyMs && took <= kShortWriteTimeoutMs + kLateMs;
        if (n > 0 && n < static_cast<long>(bulk.size()) && inTime)
            Report(true, name, detail + ", short as the time-out ends it");
        else
            Note(name, detail + " (Windows completes it short, without error, after " +
                           std::to_string(kShortWriteTimeoutMs) + " ms)");
        const std::vector<std::uint8_t> ack = Receive(1, kStallMs + kReceiveLimitMs);
        Report(ack == std::vector<std::uint8_t>{'A'}, name + " recovery",
               "the peer reads again and answers " + std::to_string(ack.size()) + " byte");
    }

    // What closing the port does: stop the event thread's pending wait, then close.
    void StopAndClose() {
        WaitResult r = WaitResult::Failed;
        std::thread waiter([&] { r = device_.WaitForEvent(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Clock::time_point start = Clock::now();
        device_.Purge();
        device_.StopWaiting();
        waiter.join();
        device_.Close();
        const long took = MsSince(start);
        Report(r == WaitResult::Stopped && took <= kStopLimitMs, "close while waiting",
               std::string(ResultName(r)) + ", closed in " + std::to_string(took) + " ms");
        Report(Open(), "reopen", "the same port opens again after the close");
    }

    void HangUp() {
        std::vector<std::uint8_t> request = {'H'};
        PutNumber(request, kHangUpDelayMs, 4);
        if (!Send("peer hang-up", request)) return;
        const TimedWait w = WaitAtMost(static_cast<long>(kHangUpDelayMs) + kLateMs);
        device_.Close();
        Report(w.result == WaitResult::Lost, "peer hang-up", w.Text());
    }

    void Close() { device_.Close(); }

private:
    struct TimedWait {
        WaitResult result = WaitResult::Failed;
        bool watchdog = false;
        long ms = 0;
        std::string Text() const {
            return std::string(ResultName(result)) + (watchdog ? " (watchdog)" : "") + " after " +
                   std::to_string(ms) + " ms";
        }
    };

    // One arrival wait, stopped by a watchdog after limitMs; the watchdog's stop is cleared
    // again so that later waits are not stopped by it.
    TimedWait WaitAtMost(long limitMs) {
        const Clock::time_point start = Clock::now();
        TimedWait w;
        {
            Watchdog watchdog(device_, limitMs);
            w.result = device_.WaitForEvent();
            w.watchdog = watchdog.Fired();
        }
        w.ms = MsSince(start);
        if (w.watchdog) device_.ResetStop();
        return w;
    }

    bool Fail(const std::string& name, const std::string& detail) {
        Report(false, name, detail);
        return false;
    }

    bool Send(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        int error = 0;
        const long n = device_.Write(bytes.data(), bytes.size(), error);
        if (n == static_cast<long>(bytes.size())) return true;
        return Fail(name, "Write gave " + std::to_string(n) + ", error " + std::to_string(error));
    }

    // Collects count bytes the way the port's event thread and its owner do: wait for an
    // arrival, ask how much is waiting, read exactly that.
    std::vector<std::uint8_t> Receive(std::size_t count, long limitMs) {
        std::vector<std::uint8_t> got;
        lastWaits_ = 0;
        const Clock::time_point start = Clock::now();
        while (got.size() < count) {
            int error = 0;
            const long pending = device_.PendingInput(error);
            if (pending < 0) break;
            if (pending == 0) {
                const long left = limitMs - MsSince(start);
                if (left <= 0) break;
                ++lastWaits_;
                if (WaitAtMost(left).result != WaitResult::Arrival) break;
                continue;
            }
            const std::size_t want =
                std::min(static_cast<std::size_t>(pending), count - got.size());
            std::vector<std::uint8_t> chunk(want);
            const long n = device_.Read(chunk.data(), want, error);
            if (n <= 0) break;
            got.insert(got.end(), chunk.begin(), chunk.begin() + n);
        }
        return got;
    }

    std::string port_;
    SerialDeviceWin32 device_;
    int lastWaits_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == kTryOpen) {
        SerialDeviceWin32 device;
        return device.Open(argv[2]);
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: SerialDeviceWin32WineProbe COMn\n");
        return 2;
    }
    Probe probe(argv[1]);
    if (!probe.Open()) return 1;
    probe.SecondOpen();
    probe.Echo();
    std::uint32_t seed = 1;
    for (const std::uint32_t delay : {100u, 100u, 100u, 1000u, 1000u, 1000u, 3000u, 3000u})
        probe.DelayedArrival(delay, seed++);
    probe.Burst(0);
    probe.Burst(kPacedGapMs);
    probe.EmptyRead();
    probe.WriteTimeout();
    probe.StopAndClose();
    probe.HangUp();
    std::printf("%d failed\n", gFailures);
    return gFailures == 0 ? 0 : 1;
}
