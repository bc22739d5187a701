// The channel as a named pipe of the user's logon session; a message is its length (4 bytes,
// least significant first) and its bytes, answered by one byte once taken.
#include <windows.h>

#include <cstdint>
#include <thread>

#include "platform/InstanceChannel.h"

namespace orbiqa {
namespace {

constexpr DWORD kMaxMessage = 64 * 1024;
constexpr DWORD kPipeBuffer = 4096;
// How long a start waits for the running program to take its file, and how long the running
// program waits for the rest of a message; neither ever blocks the user-interface thread.
constexpr DWORD kAnswerWaitMs = 5000;
constexpr DWORD kMessageWaitMs = 2000;
constexpr int kBusyRetries = 3;
// Held while a program listens, so that the installer can tell that Orbiqa runs (orbiqa.nsi).
constexpr const wchar_t* kRunningMutex = L"Local\\OrbiqaRunning";

std::wstring PipeName(const std::string& name) {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    std::wstring wide(name.begin(), name.end());  // the name is ASCII
    return L"\\\\.\\pipe\\" + wide + L"-" + std::to_wstring(session);
}

// One overlapped read or write of exactly size bytes, given up after timeoutMs or on stop.
bool Transfer(HANDLE pipe, bool write, void* data, DWORD size, DWORD timeoutMs, HANDLE stop) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        OVERLAPPED ov{};
        ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!ov.hEvent) return false;
        DWORD done = 0;
        BOOL ok = write ? WriteFile(pipe, bytes, size, nullptr, &ov) : ReadFile(pipe, bytes, size, nullptr, &ov);
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            HANDLE events[2] = {ov.hEvent, stop};
            const DWORD woken = WaitForMultipleObjects(stop ? 2 : 1, events, FALSE, timeoutMs);
            if (woken != WAIT_OBJECT_0) CancelIo(pipe);
            ok = GetOverlappedResult(pipe, &ov, &done, TRUE);
            if (woken != WAIT_OBJECT_0) ok = FALSE;
        } else if (ok) {
            ok = GetOverlappedResult(pipe, &ov, &done, FALSE);
        }
        CloseHandle(ov.hEvent);
        if (!ok || done == 0) return false;
        bytes += done;
        size -= done;
    }
    return true;
}

class Win32InstanceChannel : public InstanceChannel {
public:
    explicit Win32InstanceChannel(const std::string& name) : name_(PipeName(name)) {}
    ~Win32InstanceChannel() override {
        if (stop_) SetEvent(stop_);
        if (thread_.joinable()) thread_.join();
        if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
        if (stop_) CloseHandle(stop_);
        if (running_) CloseHandle(running_);
    }
    Win32InstanceChannel(const Win32InstanceChannel&) = delete;
    Win32InstanceChannel& operator=(const Win32InstanceChannel&) = delete;

    bool HandOver(const std::string& message) override {
        HANDLE pipe = INVALID_HANDLE_VALUE;
        for (int attempt = 0; attempt <= kBusyRetries; ++attempt) {
            pipe = CreateFileW(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
            if (pipe != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY) break;
            // The running program is reading another start's message.
            WaitNamedPipeW(name_.c_str(), kMessageWaitMs);
        }
        if (pipe == INVALID_HANDLE_VALUE) return false;
        // Windows lets only the program the user just started take the foreground; it passes
        // that right on, so that the running program can come forward with the file.
        AllowSetForegroundWindow(ASFW_ANY);
        std::uint8_t length[4];
        const auto size = static_cast<std::uint32_t>(message.size());
        for (int i = 0; i < 4; ++i) length[i] = static_cast<std::uint8_t>(size >> (8 * i));
        std::string copy = message;
        char answer = 0;
        const bool taken = Transfer(pipe, true, length, 4, kAnswerWaitMs, nullptr) &&
                           Transfer(pipe, true, copy.data(), size, kAnswerWaitMs, nullptr) &&
                           Transfer(pipe, false, &answer, 1, kAnswerWaitMs, nullptr) && answer == '1';
        CloseHandle(pipe);
        return taken;
    }

    bool Listen(Receiver receiver) override {
        if (pipe_ != INVALID_HANDLE_VALUE) return true;
        // The first instance only: a second program's attempt fails, whoever made the first.
        pipe_ = CreateNamedPipeW(name_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, kPipeBuffer, kPipeBuffer, 0, nullptr);
        if (pipe_ == INVALID_HANDLE_VALUE) return false;
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!stop_) return false;
        running_ = CreateMutexW(nullptr, FALSE, kRunningMutex);
        receiver_ = std::move(receiver);
        thread_ = std::thread([this] { Serve(); });
        return true;
    }

private:
    // Waits for a client; false on stop or failure.
    bool Accept() {
        OVERLAPPED ov{};
        ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!ov.hEvent) return false;
        bool connected = false;
        if (ConnectNamedPipe(pipe_, &ov)) {
            connected = true;
        } else if (GetLastError() == ERROR_PIPE_CONNECTED) {
            connected = true;
        } else if (GetLastError() == ERROR_IO_PENDING) {
            HANDLE events[2] = {ov.hEvent, stop_};
            const DWORD woken = WaitForMultipleObjects(2, events, FALSE, INFINITE);
            DWORD ignored = 0;
            if (woken != WAIT_OBJECT_0) CancelIo(pipe_);
            connected = GetOverlappedResult(pipe_, &ov, &ignored, TRUE) && woken == WAIT_OBJECT_0;
        }
        CloseHandle(ov.hEvent);
        return connected;
    }

    void Serve() {
        while (WaitForSingleObject(stop_, 0) != WAIT_OBJECT_0) {
            if (!Accept()) {
                if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) return;
                DisconnectNamedPipe(pipe_);
                continue;
            }
            std::uint8_t length[4] = {};
            std::string message;
            bool whole = Transfer(pipe_, false, length, 4, kMessageWaitMs, stop_);
            const DWORD size = length[0] | (length[1] << 8) | (length[2] << 16) | (static_cast<DWORD>(length[3]) << 24);
            whole = whole && size <= kMaxMessage;
            if (whole) {
                message.resize(size);
                whole = Transfer(pipe_, false, message.data(), size, kMessageWaitMs, stop_);
            }
            if (whole) {
                char answer = '1';
                Transfer(pipe_, true, &answer, 1, kMessageWaitMs, stop_);
                FlushFileBuffers(pipe_);
            }
            DisconnectNamedPipe(pipe_);
            if (whole && receiver_) receiver_(message);
        }
    }

    std::wstring name_;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    HANDLE stop_ = nullptr;
    HANDLE running_ = nullptr;
    Receiver receiver_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<InstanceChannel> CreateInstanceChannel(const std::string& name) {
    return std::make_unique<Win32InstanceChannel>(name);
}

}  // namespace orbiqa
