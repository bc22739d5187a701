#include "platform/Win32SerialDevice.h"

#include <algorithm>
#include <array>

#include "platform/Win32CommFunctions.h"

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

// One overlapped ReadFile or WriteFile, waited for to the end. start() issues the call with the
// record it is given and returns the call's result. A set stop event (writes only: a write may
// wait for room on a held line) cancels the call and fails it with ERROR_OPERATION_ABORTED.
template <typename Start>
long Transfer(const Win32CommFunctions& comm, HANDLE device, HANDLE stop, Start start, int& error) {
    if (device == INVALID_HANDLE_VALUE) {
        error = ERROR_INVALID_HANDLE;
        return -1;
    }
    const HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (!event) {
        error = LastError();
        return -1;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    long result = -1;
    DWORD transferred = 0;
    if (!start(&overlapped) && GetLastError() != ERROR_IO_PENDING) {
        error = LastError();
    } else {
        // The completion comes first so that a stop cannot discard a transfer already done.
        const std::array<HANDLE, 2> handles = {event, stop};
        const DWORD woken = WaitForMultipleObjects(stop ? 2 : 1, handles.data(), FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0 + 1) {
            comm.cancelIo(device);
            // The record and buffer belong to the driver until the call has ended.
            comm.getOverlappedResult(device, &overlapped, &transferred, TRUE);
            error = ERROR_OPERATION_ABORTED;
        } else if (woken != WAIT_OBJECT_0 ||
                   !comm.getOverlappedResult(device, &overlapped, &transferred, FALSE)) {
            error = LastError();
        } else {
            result = static_cast<long>(transferred);
        }
    }
    CloseHandle(event);
    return result;
}

DWORD ClampCount(std::size_t count) {
    return static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
}

}  // namespace

const Win32CommFunctions& SystemCommFunctions() {
    static const Win32CommFunctions functions{
        &::CreateFileA,     &::CloseHandle, &::SetupComm,     &::SetCommState,
        &::SetCommTimeouts, &::SetCommMask, &::PurgeComm,     &::ClearCommError,
        &::WriteFile,       &::ReadFile,    &::WaitCommEvent, &::GetOverlappedResult,
        &::CancelIo};
    return functions;
}

struct Win32SerialDevice::State {
    explicit State(const Win32CommFunctions& functions) : comm(functions) {}
    const Win32CommFunctions& comm;
    HANDLE device = INVALID_HANDLE_VALUE;
    // Both events live as long as the object: StopWaiting may be called from any thread at any
    // time, and the arrival wait's record and mask must outlive a wait the driver still holds.
    HANDLE stopEvent = nullptr;
    HANDLE waitEvent = nullptr;
    OVERLAPPED waitOverlapped{};
    DWORD eventMask = 0;
    bool waitPending = false;
    int inputSize = 0;
};

Win32SerialDevice::Win32SerialDevice() : Win32SerialDevice(SystemCommFunctions()) {}

Win32SerialDevice::Win32SerialDevice(const Win32CommFunctions& comm)
    : s_(std::make_unique<State>(comm)) {
    s_->stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    s_->waitEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
}

Win32SerialDevice::~Win32SerialDevice() {
    Close();
    if (s_->stopEvent) CloseHandle(s_->stopEvent);
    if (s_->waitEvent) CloseHandle(s_->waitEvent);
}

int Win32SerialDevice::Open(const std::string& portName) {
    if (s_->device != INVALID_HANDLE_VALUE) return ERROR_BUSY;
    const std::string path = "\\\\.\\" + portName;
    const HANDLE device =
        s_->comm.createFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
    if (device == INVALID_HANDLE_VALUE) return LastError();
    s_->device = device;
    return 0;
}

int Win32SerialDevice::SetupQueues(int inputSize, int outputSize) {
    if (!s_->comm.setupComm(s_->device, static_cast<DWORD>(inputSize),
                            static_cast<DWORD>(outputSize)))
        return LastError();
    s_->inputSize = inputSize;
    return 0;
}

int Win32SerialDevice::ApplyLineSettings() {
    DCB dcb{};  // every flag and character not set below stays 0
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = kBaudRate;
    dcb.fBinary = TRUE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // XON/XOFF is off; the limits still get the driver's usual quarter of the input queue.
    dcb.XonLim = static_cast<WORD>(s_->inputSize / 4);
    dcb.XoffLim = static_cast<WORD>(s_->inputSize / 4);
    dcb.ByteSize = kByteSize;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = kXonChar;
    dcb.XoffChar = kXoffChar;
    return s_->comm.setCommState(s_->device, &dcb) ? 0 : LastError();
}

int Win32SerialDevice::ApplyTimeouts(int writeMultiplierMs, int writeConstantMs) {
    COMMTIMEOUTS t{};
    // An interval of MAXDWORD with both read totals 0 makes a read return at once with whatever
    // is queued, possibly nothing.
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = static_cast<DWORD>(writeMultiplierMs);
    t.WriteTotalTimeoutConstant = static_cast<DWORD>(writeConstantMs);
    return s_->comm.setCommTimeouts(s_->device, &t) ? 0 : LastError();
}

int Win32SerialDevice::Purge() {
    return s_->comm.purgeComm(s_->device, kAbortPending | kClearQueues) ? 0 : LastError();
}

void Win32SerialDevice::Close() {
    if (s_->device == INVALID_HANDLE_VALUE) return;
    s_->comm.closeDevice(s_->device);
    s_->device = INVALID_HANDLE_VALUE;
    s_->waitPending = false;
}

long Win32SerialDevice::Write(const std::uint8_t* data, std::size_t count, int& error) {
    const HANDLE device = s_->device;
    return Transfer(
        s_->comm, device, s_->stopEvent,
        [&](OVERLAPPED* overlapped) {
            return s_->comm.writeFile(device, data, ClampCount(count), nullptr, overlapped);
        },
        error);
}

long Win32SerialDevice::Read(std::uint8_t* data, std::size_t count, int& error) {
    const HANDLE device = s_->device;
    return Transfer(
        s_->comm, device, nullptr,
        [&](OVERLAPPED* overlapped) {
            return s_->comm.readFile(device, data, ClampCount(count), nullptr, overlapped);
        },
        error);
}

long Win32SerialDevice::PendingInput(int& error) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!s_->comm.clearCommError(s_->device, &errors, &status)) {
        error = LastError();
        return -1;
    }
    return static_cast<long>(status.cbInQue);
}

SerialDevice::WaitResult Win32SerialDevice::WaitForEvent() {
    State& s = *s_;
    if (!s.stopEvent || !s.waitEvent) return EndWatch(WaitResult::Failed);
    const std::array<HANDLE, 2> handles = {s.stopEvent, s.waitEvent};
    for (;;) {
        s.waitOverlapped = OVERLAPPED{};
        s.waitOverlapped.hEvent = s.waitEvent;
        s.eventMask = 0;
        if (s.comm.waitCommEvent(s.device, &s.eventMask, &s.waitOverlapped)) {
            s.waitPending = false;  // completed at once; the event is signalled
        } else if (const DWORD e = GetLastError(); e == ERROR_IO_PENDING) {
            s.waitPending = true;
        } else {
            // Nothing was started, so the event would never be signalled.
            return EndWatch(IsDeviceLoss(e) ? WaitResult::Lost : WaitResult::Failed);
        }
        // The stop event comes first so that a stop wins over an arrival signalled with it.
        const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                                   handles.data(), FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0) return EndWatch(WaitResult::Stopped);
        if (woken != WAIT_OBJECT_0 + 1) return EndWatch(WaitResult::Failed);
        s.waitPending = false;
        DWORD unused = 0;
        if (!s.comm.getOverlappedResult(s.device, &s.waitOverlapped, &unused, FALSE)) {
            // Any other failure would come back on every further wait; end the watch instead of
            // spinning on it.
            return EndWatch(IsDeviceLoss(GetLastError()) ? WaitResult::Lost : WaitResult::Failed);
        }
        if (s.eventMask & kWatchedEvents) return WaitResult::Arrival;
        // A mask of 0 means the event mask was changed under the wait; wait again.
    }
}

SerialDevice::WaitResult Win32SerialDevice::EndWatch(WaitResult result) {
    State& s = *s_;
    if (s.device == INVALID_HANDLE_VALUE) return result;
    // Clearing the mask completes a wait the driver still holds; its record must not be reused
    // until it has.
    s.comm.setCommMask(s.device, 0);
    if (s.waitPending && WaitForSingleObject(s.waitEvent, kWatchEndWaitMs) != WAIT_OBJECT_0)
        s.comm.cancelIo(s.device);
    s.waitPending = false;
    s.comm.purgeComm(s.device, kClearQueues);
    return result;
}

void Win32SerialDevice::StopWaiting() {
    if (s_->stopEvent) SetEvent(s_->stopEvent);
}

void Win32SerialDevice::ResetStop() {
    if (s_->stopEvent) ResetEvent(s_->stopEvent);
    // A failure here shows as a failed WaitCommEvent in the first wait.
    if (s_->device != INVALID_HANDLE_VALUE) s_->comm.setCommMask(s_->device, kWatchedEvents);
}

}  // namespace orbiqa
