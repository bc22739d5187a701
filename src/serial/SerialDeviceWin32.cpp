#include "serial/SerialDeviceWin32.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "device/LineErrorTally.h"
#include "serial/CommFunctionsWin32.h"
#include "serial/PortLinks.h"
#include "serial/PortName.h"

namespace orbiqa {
namespace {

constexpr DWORD kWatchedEvents = EV_RXCHAR;
constexpr DWORD kAbortPending = PURGE_TXABORT | PURGE_RXABORT;  // 3
constexpr DWORD kClearQueues = PURGE_TXCLEAR | PURGE_RXCLEAR;   // 12
constexpr DWORD kBaudRate = CBR_19200;
constexpr BYTE kByteSize = 8;
constexpr char kXonChar = 0x11;
constexpr char kXoffChar = 0x13;
// How long the end of a watch waits for the driver to complete the arrival wait it still holds
// once the event mask is cleared; the driver normally does so at once.
constexpr DWORD kWatchEndWaitMs = 1000;
// How long a cancelled request is waited for. A driver that has not completed it by then may
// still write into its record and buffer: those are then left to it, never freed.
constexpr DWORD kCancelWaitMs = 1000;
// A read completes at once (the read time-outs say so); a write within its write time-out. A
// driver that overruns these by this much is not answering, and the request is cancelled.
constexpr DWORD kReadBoundMs = 2000;
constexpr DWORD kWriteBoundGraceMs = 2000;

// What WaitCommEvent and its completion report when a USB adapter is pulled out: drivers differ
// in which of these they use, and none of them means anything else for an open port.
constexpr std::array<DWORD, 3> kDeviceLossErrors = {ERROR_OPERATION_ABORTED, ERROR_ACCESS_DENIED,
                                                    ERROR_BAD_COMMAND};

static_assert(sizeof(DCB) == 28, "the device control record must be the 28-byte Win32 DCB");

int LastError() {
    return static_cast<int>(GetLastError());
}

bool IsDeviceLoss(DWORD error) {
    return std::find(kDeviceLossErrors.begin(), kDeviceLossErrors.end(), error) !=
           kDeviceLossErrors.end();
}

// One overlapped ReadFile or WriteFile: its record, its event and the bytes it moves, together,
// so that a request the driver never completes can be left to the driver whole.
struct Request {
    OVERLAPPED overlapped{};
    std::vector<std::uint8_t> bytes;
};

// Cancels a request and waits, within a bound, for the driver to end it. True when it has ended
// (its memory may go); false when the driver still holds it.
bool CancelAndWait(const CommFunctionsWin32& comm, HANDLE device, Request& request) {
    comm.cancelIo(device);
    if (WaitForSingleObject(request.overlapped.hEvent, kCancelWaitMs) != WAIT_OBJECT_0) return false;
    DWORD unused = 0;
    comm.getOverlappedResult(device, &request.overlapped, &unused, FALSE);
    return true;
}

// Issues a request with start(), then waits for its completion, a set stop event or the bound,
// whichever comes first. A stop fails it with ERROR_OPERATION_ABORTED, the bound with
// ERROR_TIMEOUT; either cancels the request and waits for the driver to end it.
template <typename Start>
long Transfer(const CommFunctionsWin32& comm, HANDLE device, HANDLE stop, DWORD boundMs,
              std::unique_ptr<Request>& request, Start start, int& error) {
    if (device == INVALID_HANDLE_VALUE) {
        error = ERROR_INVALID_HANDLE;
        return -1;
    }
    const HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (!event) {
        error = LastError();
        return -1;
    }
    request->overlapped.hEvent = event;
    long result = -1;
    DWORD transferred = 0;
    if (!start(*request) && GetLastError() != ERROR_IO_PENDING) {
        error = LastError();
        CloseHandle(event);
        return -1;
    }
    // The completion comes first so that a stop cannot discard a transfer already done.
    const std::array<HANDLE, 2> handles = {event, stop};
    const DWORD woken = WaitForMultipleObjects(stop ? 2 : 1, handles.data(), FALSE, boundMs);
    if (woken == WAIT_OBJECT_0) {
        if (comm.getOverlappedResult(device, &request->overlapped, &transferred, FALSE))
            result = static_cast<long>(transferred);
        else
            error = LastError();
    } else {
        error = woken == WAIT_OBJECT_0 + 1 ? ERROR_OPERATION_ABORTED
                : woken == WAIT_TIMEOUT    ? ERROR_TIMEOUT
                                           : LastError();
        if (!CancelAndWait(comm, device, *request)) {
            // The driver may still write into the record, the buffer and the event: they are
            // left to it.
            (void)request.release();
            return -1;
        }
    }
    CloseHandle(event);
    return result;
}
DWORD ClampCount(std::size_t count) {
    return static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
}

}  // namespace

const CommFunctionsWin32& SystemCommFunctions() {
    static const CommFunctionsWin32 functions{
        &::CreateFileA,     &::CloseHandle, &::SetupComm,     &::SetCommState,
        &::GetCommState,    &::SetCommTimeouts, &::SetCommMask, &::PurgeComm,     &::ClearCommError,
        &::WriteFile,       &::ReadFile,    &::WaitCommEvent, &::GetOverlappedResult,
        &::CancelIo};
    return functions;
}

struct SerialDeviceWin32::State {
    explicit State(const CommFunctionsWin32& functions) : comm(functions) {}
    const CommFunctionsWin32& comm;
    HANDLE device = INVALID_HANDLE_VALUE;
    // Both events live as long as the object: StopWaiting may be called from any thread at any
    // time, and the arrival wait's record and mask must outlive a wait the driver still holds.
    HANDLE stopEvent = nullptr;
    // The arrival wait's record, mask and event. A wait the driver would not give back is left
    // to it (see AbandonWait) and a new record made.
    struct Wait {
        HANDLE event = nullptr;
        OVERLAPPED overlapped{};
        DWORD eventMask = 0;
    };
    std::unique_ptr<Wait> wait;
    bool waitPending = false;
    int inputSize = 0;
    DWORD writeMultiplierMs = 0;
    DWORD writeConstantMs = 0;
    LineErrorTally lineErrors;

    void NewWait() {
        wait = std::make_unique<Wait>();
        wait->event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    }
    void AbandonWait() {
        (void)wait.release();
        NewWait();
    }
};

SerialDeviceWin32::SerialDeviceWin32() : SerialDeviceWin32(SystemCommFunctions()) {}

SerialDeviceWin32::SerialDeviceWin32(const CommFunctionsWin32& comm)
    : s_(std::make_unique<State>(comm)) {
    s_->stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    s_->NewWait();
}

SerialDeviceWin32::~SerialDeviceWin32() {
    Close();
    if (s_->stopEvent) CloseHandle(s_->stopEvent);
    if (s_->wait && s_->wait->event) CloseHandle(s_->wait->event);
}

int SerialDeviceWin32::Open(const std::string& portName) {
    if (s_->device != INVALID_HANDLE_VALUE) return ERROR_BUSY;
    const std::string path = "\\\\.\\" + portName;
    const HANDLE device =
        s_->comm.createFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
    if (device == INVALID_HANDLE_VALUE) return LastError();
    s_->device = device;
    (void)s_->lineErrors.Take();  // an earlier connection's errors are not this one's
    return 0;
}

int SerialDeviceWin32::SetupQueues(int inputSize, int outputSize) {
    if (!s_->comm.setupComm(s_->device, static_cast<DWORD>(inputSize),
                            static_cast<DWORD>(outputSize)))
        return LastError();
    s_->inputSize = inputSize;
    return 0;
}

int SerialDeviceWin32::ApplyLineSettings() {
    // The driver's own record, changed only where the line needs it: some USB serial drivers
    // refuse a record whose other fields (limits, special characters) differ from theirs.
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!s_->comm.getCommState(s_->device, &dcb)) return LastError();
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = kBaudRate;
    dcb.ByteSize = kByteSize;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    // No handshake of any kind, and nothing that would replace or drop received bytes.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    // A line error must not stop reads and writes until it is cleared: errors are counted.
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    return s_->comm.setCommState(s_->device, &dcb) ? 0 : LastError();
}

int SerialDeviceWin32::ApplyTimeouts(int writeMultiplierMs, int writeConstantMs) {
    COMMTIMEOUTS t{};
    // An interval of MAXDWORD with both read totals 0 makes a read return at once with whatever
    // is queued, possibly nothing.
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = static_cast<DWORD>(writeMultiplierMs);
    t.WriteTotalTimeoutConstant = static_cast<DWORD>(writeConstantMs);
    if (!s_->comm.setCommTimeouts(s_->device, &t)) return LastError();
    s_->writeMultiplierMs = t.WriteTotalTimeoutMultiplier;
    s_->writeConstantMs = t.WriteTotalTimeoutConstant;
    return 0;
}

int SerialDeviceWin32::Purge() {
    return s_->comm.purgeComm(s_->device, kAbortPending | kClearQueues) ? 0 : LastError();
}

void SerialDeviceWin32::Close() {
    if (s_->device == INVALID_HANDLE_VALUE) return;
    s_->comm.closeDevice(s_->device);
    s_->device = INVALID_HANDLE_VALUE;
    s_->waitPending = false;
}

long SerialDeviceWin32::Write(const std::uint8_t* data, std::size_t count, int& error) {
    const HANDLE device = s_->device;
    const DWORD n = ClampCount(count);
    auto request = std::make_unique<Request>();
    request->bytes.assign(data, data + n);
    // The driver ends the write at its time-out; the bound only catches a driver that does not.
    const unsigned long long bound = static_cast<unsigned long long>(s_->writeMultiplierMs) * n +
                                     s_->writeConstantMs + kWriteBoundGraceMs;
    return Transfer(
        s_->comm, device, s_->stopEvent, static_cast<DWORD>(std::min<unsigned long long>(bound, INFINITE - 1)),
        request,
        [&](Request& r) {
            return s_->comm.writeFile(device, r.bytes.data(), n, nullptr, &r.overlapped);
        },
        error);
}

long SerialDeviceWin32::Read(std::uint8_t* data, std::size_t count, int& error) {
    const HANDLE device = s_->device;
    const DWORD n = ClampCount(count);
    auto request = std::make_unique<Request>();
    request->bytes.resize(n);
    const long got = Transfer(
        s_->comm, device, s_->stopEvent, kReadBoundMs, request,
        [&](Request& q) { return s_->comm.readFile(device, q.bytes.data(), n, nullptr, &q.overlapped); }, error);
    if (got > 0 && request) std::memcpy(data, request->bytes.data(), static_cast<std::size_t>(got));
    return got;
}

long SerialDeviceWin32::PendingInput(int& error) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!s_->comm.clearCommError(s_->device, &errors, &status)) {
        error = LastError();
        return -1;
    }
    s_->lineErrors.Note({(errors & CE_OVERRUN) != 0, (errors & CE_RXOVER) != 0, (errors & CE_FRAME) != 0,
                         (errors & CE_RXPARITY) != 0, (errors & CE_BREAK) != 0});
    return static_cast<long>(status.cbInQue);
}

LineErrorCounts SerialDeviceWin32::TakeLineErrors() { return s_->lineErrors.Take(); }

SerialDevice::WaitResult SerialDeviceWin32::WaitForEvent() {
    State& s = *s_;
    if (!s.stopEvent || !s.wait || !s.wait->event) return EndWatch(WaitResult::Failed);
    for (;;) {
        State::Wait& w = *s.wait;
        w.overlapped = OVERLAPPED{};
        w.overlapped.hEvent = w.event;
        w.eventMask = 0;
        if (s.comm.waitCommEvent(s.device, &w.eventMask, &w.overlapped)) {
            s.waitPending = false;  // completed at once; the event is signalled
        } else if (const DWORD e = GetLastError(); e == ERROR_IO_PENDING) {
            s.waitPending = true;
        } else {
            // Nothing was started, so the event would never be signalled.
            return EndWatch(IsDeviceLoss(e) ? WaitResult::Lost : WaitResult::Failed);
        }
        // The stop event comes first so that a stop wins over an arrival signalled with it. An
        // arrival may take any time; the stop ends the wait.
        const std::array<HANDLE, 2> handles = {s.stopEvent, w.event};
        const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                                   handles.data(), FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0) return EndWatch(WaitResult::Stopped);
        if (woken != WAIT_OBJECT_0 + 1) return EndWatch(WaitResult::Failed);
        s.waitPending = false;
        DWORD unused = 0;
        if (!s.comm.getOverlappedResult(s.device, &w.overlapped, &unused, FALSE)) {
            // Any other failure would come back on every further wait; end the watch instead of
            // spinning on it.
            return EndWatch(IsDeviceLoss(GetLastError()) ? WaitResult::Lost : WaitResult::Failed);
        }
        if (w.eventMask & kWatchedEvents) return WaitResult::Arrival;
        // A mask of 0 means the event mask was changed under the wait; wait again.
    }
}

SerialDevice::WaitResult SerialDeviceWin32::EndWatch(WaitResult result) {
    State& s = *s_;
    if (s.device == INVALID_HANDLE_VALUE) return result;
    // Clearing the mask completes a wait the driver still holds; its record must not be reused
    // until it has. A driver that ends it neither then nor on a cancel keeps the record.
    s.comm.setCommMask(s.device, 0);
    if (s.waitPending && WaitForSingleObject(s.wait->event, kWatchEndWaitMs) != WAIT_OBJECT_0) {
        s.comm.cancelIo(s.device);
        if (WaitForSingleObject(s.wait->event, kCancelWaitMs) != WAIT_OBJECT_0) s.AbandonWait();
    }
    s.waitPending = false;
    s.comm.purgeComm(s.device, kClearQueues);
    return result;
}

void SerialDeviceWin32::StopWaiting() {
    if (s_->stopEvent) SetEvent(s_->stopEvent);
}

void SerialDeviceWin32::ResetStop() {
    if (s_->stopEvent) ResetEvent(s_->stopEvent);
    // A failure here shows as a failed WaitCommEvent in the first wait.
    if (s_->device != INVALID_HANDLE_VALUE) s_->comm.setCommMask(s_->device, kWatchedEvents);
}

std::optional<std::string> ResolvePortDevice(const std::string& comName) {
    const auto number = ComPortNumberOf(comName);
    if (!number) return std::nullopt;
    return "\\\\.\\" + ComPortName(*number);
}

}  // namespace orbiqa
