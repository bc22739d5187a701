#pragma once
// A serial driver as Windows documents it, in place of the port functions of SerialDeviceWin32:
// ports open exclusively, a WaitCommEvent completes at once when a watched event is already
// recorded and otherwise stays pending until one occurs, SetCommMask completes a pending wait
// with an empty mask, CancelIo and closing abort it, and an unplugged adapter fails the pending
// wait (and every later call) with the error its driver uses. Reads honour the "return at once"
// time-outs. Events, waits on them and GetLastError are the system's own. The functions serve the
// driver made last; when it goes, the one before it serves again.
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "serial/CommFunctionsWin32.h"

namespace orbiqa::test {

class FakeCommDriver {
public:
    FakeCommDriver();
    ~FakeCommDriver();
    FakeCommDriver(const FakeCommDriver&) = delete;
    FakeCommDriver& operator=(const FakeCommDriver&) = delete;

    const CommFunctionsWin32& Functions() const;

    // What the test does to the line.
    void AddPort(const std::string& name) { ports_.insert(name); }
    /// Bytes arriving from the peer; records EV_RXCHAR when it is watched.
    void Arrive(const std::string& bytes);
    /// The adapter is pulled out: the pending wait and every later call fail with error.
    void Unplug(DWORD error);
    /// Writes take at most this many bytes, as a line held by the peer does until the write
    /// time-out ends the call.
    void LimitWrites(DWORD bytes) { writeLimit_ = bytes; }
    /// Writes stay pending, as on a line whose peer holds it with flow control and no write
    /// time-out, until CancelIo, closing, PurgeComm(PURGE_TXABORT) or an unplug ends them.
    void HoldWrites() { holdWrites_ = true; }
    bool WritePending() const;
    /// Reads stay pending as writes held do (a driver that ignores the read time-outs).
    void HoldReads() { holdReads_ = true; }
    bool ReadPending() const;
    /// CancelIo returns but ends nothing: the driver completes the cancelled request only when
    /// the test calls FinishCancelled, writing into its record then, as late drivers do.
    void IgnoreCancels() { ignoreCancels_ = true; }
    /// Completes every request the driver still holds; false when a record's event was no
    /// longer a valid handle (its owner freed it while the driver held it).
    bool FinishCancelled();
    /// SetCommState fails with ERROR_INVALID_PARAMETER when a field the driver owns (limits,
    /// special characters) differs from its own, as some USB serial drivers do.
    void RejectForeignLineSettings() { rejectForeign_ = true; }
    /// Line errors (CE_... flags) that the next ClearCommError reports, and clears.
    void LineError(DWORD errors);

    // What the device did.
    struct Opening {
        std::string path;
        DWORD access, share, flags;
    };
    std::vector<Opening> Openings() const;
    DCB LineSettings() const;
    COMMTIMEOUTS Timeouts() const;
    std::string Written() const;
    DWORD Mask() const;
    bool WaitPending() const;
    std::vector<DWORD> Purges() const;
    int OpenHandles() const;

    // The functions themselves, on the driver that is current.
    HANDLE CreateFile(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL Close(HANDLE);
    BOOL SetupComm(HANDLE, DWORD, DWORD);
    BOOL SetCommState(HANDLE, LPDCB);
    BOOL GetCommState(HANDLE, LPDCB);
    BOOL SetCommTimeouts(HANDLE, LPCOMMTIMEOUTS);
    BOOL SetCommMask(HANDLE, DWORD);
    BOOL PurgeComm(HANDLE, DWORD);
    BOOL ClearCommError(HANDLE, LPDWORD, LPCOMSTAT);
    BOOL WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL ReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL WaitCommEvent(HANDLE, LPDWORD, LPOVERLAPPED);
    BOOL GetOverlappedResult(HANDLE, LPOVERLAPPED, LPDWORD, BOOL);
    BOOL CancelIo(HANDLE);

private:
    struct Handle {
        std::string port;
        bool open = true;
    };
    bool Usable(HANDLE h);  // under lock; sets the last error when not
    void CompleteWait(DWORD events, DWORD error);
    void AbortWrite(DWORD error);
    static void Complete(OVERLAPPED* o, DWORD error, DWORD count);

    FakeCommDriver* previous_;
    mutable std::mutex mutex_;
    std::set<std::string> ports_;
    std::vector<Handle> handles_;  // HANDLE value is index + 1
    std::vector<Opening> openings_;
    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
    std::string input_, written_;
    DWORD mask_ = 0;
    DWORD recorded_ = 0;  // events that occurred since the mask was set or a wait took them
    LPDWORD waitMask_ = nullptr;
    OVERLAPPED* waitOverlapped_ = nullptr;
    DWORD lostError_ = 0;
    DWORD writeLimit_ = MAXDWORD;
    bool holdWrites_ = false;
    OVERLAPPED* writeOverlapped_ = nullptr;
    OVERLAPPED* readOverlapped_ = nullptr;
    bool holdReads_ = false;
    bool ignoreCancels_ = false;
    bool rejectForeign_ = false;
    DWORD lineErrors_ = 0;
    std::vector<DWORD> purges_;
};

}  // namespace orbiqa::test
