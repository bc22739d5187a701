// The channel as a named pipe of the user's logon session; a message is its length (4 bytes,
// least significant first) and its bytes, answered by one byte once taken.
//
// Any user can create a pipe of any name, so the running program creates the first instance
// (FILE_FLAG_FIRST_PIPE_INSTANCE: nobody can have made it before) with an access list that
// admits the user alone, and a start hands its file over only after checking that the process
// serving the pipe runs as the same user. Each client is served on a thread of its own within
// a deadline, so a client that connects and stays silent delays nobody.
#include <windows.h>
#include <sddl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "shell/InstanceChannel.h"

namespace orbiqa {
namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kMaxMessage = 64 * 1024;
constexpr DWORD kPipeBuffer = 4096;
// How long a start waits for the running program to take its file; it never blocks the running
// program's user-interface thread.
constexpr DWORD kAnswerWaitMs = 5000;
constexpr DWORD kBusyWaitMs = 2000;
constexpr int kBusyRetries = 3;
// Held while a program listens, so that the installer can tell that Orbiqa runs (orbiqa.nsi).
constexpr const wchar_t* kRunningMutex = L"Local\\OrbiqaRunning";

std::wstring PipeName(const std::string& name) {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    std::wstring wide(name.begin(), name.end());  // the name is ASCII
    return L"\\\\.\\pipe\\" + wide + L"-" + std::to_wstring(session);
}

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// The user a process runs as (its token's user SID); empty when it cannot be read.
std::vector<BYTE> ProcessUser(HANDLE process) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return {};
    const Handle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    if (!IsValidSid(sid)) return {};
    const auto* bytes = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(bytes, bytes + GetLengthSid(sid));
}

std::vector<BYTE> ThisUser() { return ProcessUser(GetCurrentProcess()); }

// Whether the process of the given id runs as this user; false when that cannot be told.
bool RunsAsThisUser(ULONG pid) {
    const std::vector<BYTE> self = ThisUser();
    const Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (self.empty() || !process) return false;
    std::vector<BYTE> other = ProcessUser(process.get());
    return !other.empty() && EqualSid(const_cast<BYTE*>(self.data()), other.data());
}

// A security descriptor whose access list admits this user alone.
struct PrivateSecurity {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes{};
    PrivateSecurity() {
        std::vector<BYTE> user = ThisUser();
        LPWSTR sidText = nullptr;
        if (user.empty() || !ConvertSidToStringSidW(user.data(), &sidText)) return;
        const std::wstring sddl = L"D:P(A;;GA;;;" + std::wstring(sidText) + L")";
        LocalFree(sidText);
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
            descriptor = nullptr;
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = descriptor;
        attributes.bInheritHandle = FALSE;
    }
    ~PrivateSecurity() {
        if (descriptor) LocalFree(descriptor);
    }
    PrivateSecurity(const PrivateSecurity&) = delete;
    PrivateSecurity& operator=(const PrivateSecurity&) = delete;
    SECURITY_ATTRIBUTES* Attributes() { return descriptor ? &attributes : nullptr; }
};

// One overlapped read or write of exactly size bytes, given up at the deadline or on stop.
bool Transfer(HANDLE pipe, bool write, void* data, DWORD size, Clock::time_point deadline, HANDLE stop) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        OVERLAPPED ov{};
        ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!ov.hEvent) return false;
        DWORD done = 0;
        BOOL ok = write ? WriteFile(pipe, bytes, size, nullptr, &ov) : ReadFile(pipe, bytes, size, nullptr, &ov);
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            HANDLE events[2] = {ov.hEvent, stop};
            const DWORD woken = WaitForMultipleObjects(stop ? 2 : 1, events, FALSE, static_cast<DWORD>(left));
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
    explicit Win32InstanceChannel(const std::string& name)
        : name_(PipeName(name)), listeningName_(L"Local\\" + std::wstring(name.begin(), name.end())) {}
    ~Win32InstanceChannel() override {
        if (stop_) SetEvent(stop_);
        if (thread_.joinable()) thread_.join();
        for (Worker& w : workers_) w.thread.join();
        if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
        if (stop_) CloseHandle(stop_);
        if (running_) CloseHandle(running_);
        if (listening_) CloseHandle(listening_);
    }
    Win32InstanceChannel(const Win32InstanceChannel&) = delete;
    Win32InstanceChannel& operator=(const Win32InstanceChannel&) = delete;

    HandOverResult HandOver(const std::string& message) override {
        HANDLE raw = INVALID_HANDLE_VALUE;
        for (int attempt = 0; attempt <= kBusyRetries; ++attempt) {
            // Identification only: the server may learn who connects but never act as the user.
            raw = CreateFileW(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
            if (raw != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY) break;
            WaitNamedPipeW(name_.c_str(), kBusyWaitMs);
        }
        if (raw == INVALID_HANDLE_VALUE) return HandOverResult::NobodyListens;
        const Handle pipe(raw);
        ULONG server = 0;
        if (!GetNamedPipeServerProcessId(pipe.get(), &server) || !RunsAsThisUser(server))
            return HandOverResult::NobodyListens;  // a pipe another user made: not ours to trust
        // Windows lets only the program the user just started take the foreground; it passes
        // that right on, so that the running program can come forward with the file.
        AllowSetForegroundWindow(static_cast<DWORD>(server));
        std::uint8_t length[4];
        const auto size = static_cast<std::uint32_t>(message.size());
        for (int i = 0; i < 4; ++i) length[i] = static_cast<std::uint8_t>(size >> (8 * i));
        std::string copy = message;
        char answer = 0;
        const auto deadline = Clock::now() + std::chrono::milliseconds(kAnswerWaitMs);
        const bool taken = Transfer(pipe.get(), true, length, 4, deadline, nullptr) &&
                           Transfer(pipe.get(), true, copy.data(), size, deadline, nullptr) &&
                           Transfer(pipe.get(), false, &answer, 1, deadline, nullptr) && answer == '1';
        return taken ? HandOverResult::Taken : HandOverResult::NoAnswer;
    }

    bool Listen(Receiver receiver) override {
        if (pipe_ != INVALID_HANDLE_VALUE) return true;
        if (!security_.Attributes()) return false;
        // One listener per name: the channel's own mutex, held while listening, decides between
        // two programs (Wine does not refuse a further pipe instance made as a first one).
        listening_ = CreateMutexW(security_.Attributes(), FALSE, listeningName_.c_str());
        if (!listening_ || GetLastError() == ERROR_ALREADY_EXISTS) {
            if (listening_) CloseHandle(listening_);
            listening_ = nullptr;
            return false;
        }
        // The first instance only: a second program's attempt fails, whoever made the first.
        pipe_ = NewInstance(FILE_FLAG_FIRST_PIPE_INSTANCE);
        if (pipe_ == INVALID_HANDLE_VALUE) {
            CloseHandle(listening_);
            listening_ = nullptr;
            return false;
        }
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!stop_) return false;
        running_ = CreateMutexW(nullptr, FALSE, kRunningMutex);
        receiver_ = std::move(receiver);
        thread_ = std::thread([this] { Serve(); });
        return true;
    }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    HANDLE NewInstance(DWORD extraFlags) {
        return CreateNamedPipeW(name_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | extraFlags,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                kMaxClients + 1, kPipeBuffer, kPipeBuffer, 0, security_.Attributes());
    }

    // Waits for a client on pipe_; false on stop or failure.
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

    bool Stopped() const { return WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0; }

    void ReapWorkers(bool waitForOne) {
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (it->done->load()) {
                it->thread.join();
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
        if (waitForOne && !workers_.empty()) {
            workers_.front().thread.join();  // ends by its deadline at the latest
            workers_.pop_front();
        }
    }

    void Serve() {
        while (!Stopped()) {
            if (!Accept()) {
                if (Stopped()) return;
                DisconnectNamedPipe(pipe_);
                continue;
            }
            // The connected instance goes to a worker; a new one takes the next client.
            HANDLE client = pipe_;
            pipe_ = NewInstance(0);
            ULONG pid = 0;
            if (!GetNamedPipeClientProcessId(client, &pid) || !RunsAsThisUser(pid)) {
                DisconnectNamedPipe(client);
                CloseHandle(client);
            } else {
                ReapWorkers(static_cast<int>(workers_.size()) >= kMaxClients);
                auto done = std::make_shared<std::atomic<bool>>(false);
                workers_.push_back({std::thread([this, client, done] {
                                        ServeClient(client);
                                        done->store(true);
                                    }),
                                    done});
            }
            if (pipe_ == INVALID_HANDLE_VALUE) return;  // no further instance: no further clients
        }
    }

    void ServeClient(HANDLE pipe) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(kClientDeadlineMs);
        std::uint8_t length[4] = {};
        std::string message;
        bool whole = Transfer(pipe, false, length, 4, deadline, stop_);
        const DWORD size = length[0] | (length[1] << 8) | (length[2] << 16) | (static_cast<DWORD>(length[3]) << 24);
        whole = whole && size <= kMaxMessage;
        if (whole) {
            message.resize(size);
            whole = Transfer(pipe, false, message.data(), size, deadline, stop_);
        }
        if (whole) {
            char answer = '1';
            Transfer(pipe, true, &answer, 1, deadline, stop_);
            FlushFileBuffers(pipe);
        }
        DisconnectNamedPipe(pipe);
        CloseHandle(pipe);
        if (whole && !message.empty() && receiver_) {
            const std::lock_guard<std::mutex> one(receiving_);
            receiver_(message);
        }
    }

    std::wstring name_;
    std::wstring listeningName_;
    PrivateSecurity security_;
    HANDLE listening_ = nullptr;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    HANDLE stop_ = nullptr;
    HANDLE running_ = nullptr;
    Receiver receiver_;
    std::mutex receiving_;
    std::thread thread_;
    std::list<Worker> workers_;
};

}  // namespace

std::unique_ptr<InstanceChannel> CreateInstanceChannel(const std::string& name) {
    return std::make_unique<Win32InstanceChannel>(name);
}

}  // namespace orbiqa
