#include "FakeCommDriver.h"

#include <algorithm>
#include <cstring>

namespace orbiqa::test {

namespace {

FakeCommDriver* gDriver = nullptr;
// Marks an operation that has not completed; a completed one holds its error number instead.
constexpr ULONG_PTR kPending = 0x103;

HANDLE AsHandle(std::size_t index) {
    return reinterpret_cast<HANDLE>(index + 1);
}

}  // namespace

FakeCommDriver::FakeCommDriver() : previous_(gDriver) {
    gDriver = this;
    // What a driver holds before anyone sets the line: its own limits and special characters.
    dcb_.DCBlength = sizeof(DCB);
    dcb_.BaudRate = CBR_9600;
    dcb_.fBinary = TRUE;
    dcb_.fAbortOnError = TRUE;
    dcb_.XonLim = 2048;
    dcb_.XoffLim = 512;
    dcb_.ByteSize = 7;
    dcb_.Parity = EVENPARITY;
    dcb_.StopBits = ONESTOPBIT;
    dcb_.XonChar = 0x11;
    dcb_.XoffChar = 0x13;
    dcb_.ErrorChar = '?';
    dcb_.EofChar = 0x1A;
    dcb_.EvtChar = '\n';
}
FakeCommDriver::~FakeCommDriver() {
    gDriver = previous_;
}

const CommFunctionsWin32& FakeCommDriver::Functions() const {
    static const CommFunctionsWin32 functions{
        [](LPCSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g) {
            return gDriver->CreateFile(a, b, c, d, e, f, g);
        },
        [](HANDLE h) { return gDriver->Close(h); },
        [](HANDLE h, DWORD a, DWORD b) { return gDriver->SetupComm(h, a, b); },
        [](HANDLE h, LPDCB d) { return gDriver->SetCommState(h, d); },
        [](HANDLE h, LPDCB d) { return gDriver->GetCommState(h, d); },
        [](HANDLE h, LPCOMMTIMEOUTS t) { return gDriver->SetCommTimeouts(h, t); },
        [](HANDLE h, DWORD m) { return gDriver->SetCommMask(h, m); },
        [](HANDLE h, DWORD f) { return gDriver->PurgeComm(h, f); },
        [](HANDLE h, LPDWORD e, LPCOMSTAT s) { return gDriver->ClearCommError(h, e, s); },
        [](HANDLE h, LPCVOID d, DWORD n, LPDWORD w, LPOVERLAPPED o) {
            return gDriver->WriteFile(h, d, n, w, o);
        },
        [](HANDLE h, LPVOID d, DWORD n, LPDWORD r, LPOVERLAPPED o) {
            return gDriver->ReadFile(h, d, n, r, o);
        },
        [](HANDLE h, LPDWORD m, LPOVERLAPPED o) { return gDriver->WaitCommEvent(h, m, o); },
        [](HANDLE h, LPOVERLAPPED o, LPDWORD n, BOOL w) {
            return gDriver->GetOverlappedResult(h, o, n, w);
        },
        [](HANDLE h) { return gDriver->CancelIo(h); },
    };
    return functions;
}

void FakeCommDriver::Complete(OVERLAPPED* o, DWORD error, DWORD count) {
    o->Internal = error;
    o->InternalHigh = count;
    SetEvent(o->hEvent);
}

void FakeCommDriver::CompleteWait(DWORD events, DWORD error) {
    if (!waitOverlapped_) return;
    *waitMask_ = events;
    Complete(waitOverlapped_, error, 0);
    waitOverlapped_ = nullptr;
    waitMask_ = nullptr;
}

void FakeCommDriver::AbortWrite(DWORD error) {
    if (writeOverlapped_) Complete(writeOverlapped_, error, 0);
    writeOverlapped_ = nullptr;
    // A held read ends with the write: both are the line's requests.
    if (readOverlapped_) Complete(readOverlapped_, error, 0);
    readOverlapped_ = nullptr;
}

bool FakeCommDriver::WritePending() const {
    std::lock_guard lock(mutex_);
    return writeOverlapped_ != nullptr;
}

bool FakeCommDriver::Usable(HANDLE h) {
    const auto index = reinterpret_cast<std::size_t>(h) - 1;
    if (index >= handles_.size() || !handles_[index].open) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (lostError_) {
        SetLastError(lostError_);
        return false;
    }
    return true;
}

void FakeCommDriver::Arrive(const std::string& bytes) {
    std::lock_guard lock(mutex_);
    input_ += bytes;
    if (!(mask_ & EV_RXCHAR)) return;
    recorded_ |= EV_RXCHAR;
    if (waitOverlapped_) {
        recorded_ = 0;
        CompleteWait(EV_RXCHAR, ERROR_SUCCESS);
    }
}

void FakeCommDriver::Unplug(DWORD error) {
    std::lock_guard lock(mutex_);
    lostError_ = error;
    CompleteWait(0, error);
    AbortWrite(error);
}

HANDLE FakeCommDriver::CreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                                  DWORD, DWORD flags, HANDLE) {
    std::lock_guard lock(mutex_);
    openings_.push_back({path, access, share, flags});
    const std::string name = std::strncmp(path, "\\\\.\\", 4) == 0 ? path + 4 : path;
    if (!ports_.count(name)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // A serial port is never shared, whatever the share mode asks.
    for (const Handle& h : handles_)
        if (h.open && h.port == name) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
    handles_.push_back({name, true});
    mask_ = recorded_ = 0;
    input_.clear();
    return AsHandle(handles_.size() - 1);
}

BOOL FakeCommDriver::Close(HANDLE h) {
    std::lock_guard lock(mutex_);
    const auto index = reinterpret_cast<std::size_t>(h) - 1;
    if (index >= handles_.size() || !handles_[index].open) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    handles_[index].open = false;
    CompleteWait(0, ERROR_OPERATION_ABORTED);
    AbortWrite(ERROR_OPERATION_ABORTED);
    return TRUE;
}

BOOL FakeCommDriver::SetupComm(HANDLE h, DWORD, DWORD) {
    std::lock_guard lock(mutex_);
    return Usable(h);
}

BOOL FakeCommDriver::SetCommState(HANDLE h, LPDCB dcb) {
    std::lock_guard lock(mutex_);
    if (!Usable(h)) return FALSE;
    const bool foreign = dcb->XonLim != dcb_.XonLim || dcb->XoffLim != dcb_.XoffLim ||
                         dcb->XonChar != dcb_.XonChar || dcb->XoffChar != dcb_.XoffChar ||
                         dcb->ErrorChar != dcb_.ErrorChar || dcb->EofChar != dcb_.EofChar ||
                         dcb->EvtChar != dcb_.EvtChar;
    if (dcb->DCBlength != sizeof(DCB) || dcb->ByteSize < 5 || dcb->ByteSize > 8 || (rejectForeign_ && foreign)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    dcb_ = *dcb;
    return TRUE;
}

BOOL FakeCommDriver::GetCommState(HANDLE h, LPDCB dcb) {
    std::lock_guard lock(mutex_);
    if (!Usable(h)) return FALSE;
    *dcb = dcb_;
    return TRUE;
}

bool FakeCommDriver::ReadPending() const {
    std::lock_guard lock(mutex_);
    return readOverlapped_ != nullptr;
}

bool FakeCommDriver::FinishCancelled() {
    std::lock_guard lock(mutex_);
    bool valid = true;
    for (OVERLAPPED** held : {&readOverlapped_, &writeOverlapped_, &waitOverlapped_}) {
        if (!*held) continue;
        (*held)->Internal = ERROR_OPERATION_ABORTED;
        valid = SetEvent((*held)->hEvent) && valid;
        *held = nullptr;
    }
    waitMask_ = nullptr;
    return valid;
}

void FakeCommDriver::LineError(DWORD errors) {
    std::lock_guard lock(mutex_);
    lineErrors_ |= errors;
}

BOOL FakeCommDriver::SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
    std::lock_guard lock(mutex_);
    if (!Usable(h)) return FALSE;
    timeouts_ = *t;
    return TRUE;
}

BOOL FakeCommDriver::SetCommMask(HANDLE h, DWORD mask) {
    std::lock_guard lock(mutex_);
    if (!Usable(h)) return FALSE;
    // A pending wait ends at once, reporting no event; the record starts afresh. (A driver that
    // ignores cancels ignores this too.)
    if (!ignoreCancels_) CompleteWait(0, ERROR_SUCCESS);
    mask_ = mask;
    recorded_ = 0;
    return TRUE;
}

BOOL FakeCommDriver::PurgeComm(HANDLE h, DWORD flags) {
    std::lock_guard lock(mutex_);
    if (!Usable(h)) return FALSE;
    purges_.push_back(flags);
    if (flags & PURGE_RXCLEAR) input_.clear();
    if (flags & PURGE_TXABORT) AbortWrite(ERROR_OPERATION_ABORTED);
    return TRUE;
}

BOOL FakeCommDriver::ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT status) {
    std::lock_guard lock(mutex_);
    if (!Usable(h)) return FALSE;
    if (errors) *errors = lineErrors_;
    lineErrors_ = 0;
    if (status) {
        *status = COMSTAT{};
        status->cbInQue = static_cast<DWORD>(input_.size());
    }
    return TRUE;
}

BOOL FakeCommDriver::WriteFile(HANDLE h, LPCVOID data, DWORD count, LPDWORD, LPOVERLAPPED o) {
    std::lock_guard lock(mutex_);
    if (!Usable(h)) return FALSE;
    // The write is queued to the line and completes later: the device must wait for it. A held
    // line ends it at the time-out with what went out, which is a success.
    ResetEvent(o->hEvent);
    if (holdWrites_) {
        o->Internal = kPending;
        writeOverlapped_ = o;
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    const DWORD sent = std::min(count, writeLimit_);
    written_.append(static_cast<const char*>(data), sent);
    Complete(o, ERROR_SUCCESS, sent);
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

BOOL FakeCommDriver::ReadFile(HANDLE h, LPVOID data, DWORD count, LPDWORD, LPOVERLAPPED o) {
    std::lock_guard lock(mutex_);
    if (!Usable(h)) return FALSE;
    // Interval MAXDWORD with both totals 0: at once, with whatever is queued.
    const bool atOnce = timeouts_.ReadIntervalTimeout == MAXDWORD &&
                        timeouts_.ReadTotalTimeoutMultiplier == 0 &&
                        timeouts_.ReadTotalTimeoutConstant == 0;
    if (holdReads_) {
        ResetEvent(o->hEvent);
        o->Internal = kPending;
        readOverlapped_ = o;
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    if (!atOnce && input_.empty()) {
        SetLastError(ERROR_INVALID_FUNCTION);  // this fake models the immediate reads only
        return FALSE;
    }
    const DWORD n = std::min<DWORD>(count, static_cast<DWORD>(input_.size()));
    std::memcpy(data, input_.data(), n);
    input_.erase(0, n);
    Complete(o, ERROR_SUCCESS, n);
    return TRUE;
}

BOOL FakeCommDriver::WaitCommEvent(HANDLE h, LPDWORD mask, LPOVERLAPPED o) {
    std::lock_guard lock(mutex_);
    if (!Usable(h)) return FALSE;
    if (waitOverlapped_) {
        SetLastError(ERROR_INVALID_PARAMETER);  // one wait at a time
        return FALSE;
    }
    if (recorded_ & mask_) {
        *mask = recorded_ & mask_;
        recorded_ = 0;
        Complete(o, ERROR_SUCCESS, 0);
        return TRUE;
    }
    ResetEvent(o->hEvent);
    o->Internal = kPending;
    waitMask_ = mask;
    waitOverlapped_ = o;
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

BOOL FakeCommDriver::GetOverlappedResult(HANDLE, LPOVERLAPPED o, LPDWORD count, BOOL) {
    std::lock_guard lock(mutex_);
    if (o->Internal == kPending) {
        SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
    *count = static_cast<DWORD>(o->InternalHigh);
    if (o->Internal != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(o->Internal));
        return FALSE;
    }
    return TRUE;
}

BOOL FakeCommDriver::CancelIo(HANDLE h) {
    std::lock_guard lock(mutex_);
    if (ignoreCancels_) return TRUE;
    CompleteWait(0, ERROR_OPERATION_ABORTED);
    AbortWrite(ERROR_OPERATION_ABORTED);
    return reinterpret_cast<std::size_t>(h) - 1 < handles_.size();
}

std::vector<FakeCommDriver::Opening> FakeCommDriver::Openings() const {
    std::lock_guard lock(mutex_);
    return openings_;
}
DCB FakeCommDriver::LineSettings() const {
    std::lock_guard lock(mutex_);
    return dcb_;
}
COMMTIMEOUTS FakeCommDriver::Timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
}
std::string FakeCommDriver::Written() const {
    std::lock_guard lock(mutex_);
    return written_;
}
DWORD FakeCommDriver::Mask() const {
    std::lock_guard lock(mutex_);
    return mask_;
}
bool FakeCommDriver::WaitPending() const {
    std::lock_guard lock(mutex_);
    return waitOverlapped_ != nullptr;
}
std::vector<DWORD> FakeCommDriver::Purges() const {
    std::lock_guard lock(mutex_);
    return purges_;
}
int FakeCommDriver::OpenHandles() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(
        std::count_if(handles_.begin(), handles_.end(), [](const Handle& h) { return h.open; }));
}

}  // namespace orbiqa::test
