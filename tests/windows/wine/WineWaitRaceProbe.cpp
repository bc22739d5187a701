// Measures a race inside Wine's serial emulation, not the program: Wine's worker thread completes
// a pending WaitCommEvent (mask written, status success, event set) and the calling thread, if it
// is held up past the worker's first millisecond, then overwrites the status with "pending".
// GetOverlappedResult then reports ERROR_IO_INCOMPLETE for a wait whose event is set and whose
// mask says EV_RXCHAR. docs/portability.md ("Why the Wine run of a provision may need a second
// try") gives the figure this probe measured; run it with `make wine-race-probe`.
//
// Usage: WineWaitRaceProbe COMn     (the port served by pty-peer, see run-serial-probe.sh)
// Asks the peer for a frame every kGapMs for kFrames frames, purges and waits after each arrival,
// and prints how many waits went pending and how many of those lost their completed status.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr std::uint16_t kFrames = 40000;
constexpr std::uint8_t kGapMs = 2;
// Long enough that a peer starved by the busy machine is not taken for one that has finished.
constexpr DWORD kArrivalWaitMs = 5000;
constexpr DWORD kWriteTimeoutMs = 1000;

bool WriteAll(HANDLE port, const std::string& bytes) {
    OVERLAPPED o{};
    o.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD written = 0;
    bool ok = WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &o) ||
              GetLastError() == ERROR_IO_PENDING;
    ok = ok && GetOverlappedResult(port, &o, &written, TRUE) && written == bytes.size();
    CloseHandle(o.hEvent);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: WineWaitRaceProbe COMn\n");
        return 2;
    }
    const std::string path = std::string("\\\\.\\") + argv[1];
    const HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    dcb.BaudRate = CBR_19200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    SetCommState(port, &dcb);
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, kWriteTimeoutMs};
    SetCommTimeouts(port, &timeouts);
    SetCommMask(port, EV_RXCHAR);

    const std::string request = {'F', static_cast<char>(kFrames & 0xFF), static_cast<char>(kFrames >> 8),
                                 static_cast<char>(kGapMs)};
    if (!WriteAll(port, request)) {
        std::fprintf(stderr, "cannot ask the peer for frames: error %lu\n", GetLastError());
        return 1;
    }
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    long pending = 0, lost = 0, atOnce = 0;
    for (;;) {
        PurgeComm(port, PURGE_RXCLEAR);
        OVERLAPPED o{};
        o.hEvent = event;
        ResetEvent(event);
        DWORD mask = 0;
        if (WaitCommEvent(port, &mask, &o)) {
            ++atOnce;
            continue;
        }
        if (GetLastError() != ERROR_IO_PENDING) {
            std::fprintf(stderr, "WaitCommEvent failed: error %lu\n", GetLastError());
            return 1;
        }
        ++pending;
        if (WaitForSingleObject(event, kArrivalWaitMs) != WAIT_OBJECT_0) {
            // The peer has sent every frame: end the wait (a mask change completes it) and stop.
            SetCommMask(port, 0);
            WaitForSingleObject(event, kArrivalWaitMs);
            --pending;
            break;
        }
        DWORD unused = 0;
        if (!GetOverlappedResult(port, &o, &unused, FALSE)) {
            if (GetLastError() == ERROR_IO_INCOMPLETE && (mask & EV_RXCHAR)) ++lost;
            // The record reads "pending" for ever: start the watch afresh.
            SetCommMask(port, EV_RXCHAR);
        }
    }
    SetCommMask(port, EV_RXCHAR);
    std::printf("race probe: %ld waits went pending (%ld completed at once); %ld completed waits read as "
                "pending afterwards",
                pending, atOnce, lost);
    if (lost > 0) std::printf(" (1 in %ld)", pending / lost);
    std::printf("\n");
    // The peer ends by hanging up, as run-serial-probe.sh expects.
    WriteAll(port, std::string("H\0\0\0\0", 5));
    CloseHandle(event);
    CloseHandle(port);
    return 0;
}
