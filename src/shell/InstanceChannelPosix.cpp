// The channel as a Unix domain socket in a folder only the user can write ($XDG_RUNTIME_DIR, or
// a folder of the user's own in /tmp). Both ends check the other's user with SO_PEERCRED, and a
// start checks the socket's owner before connecting: a name in /tmp can be guessed, so another
// local user could otherwise bind it first, answer, and learn the files handed over.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "shell/InstanceChannel.h"

namespace orbiqa {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxMessage = 64 * 1024;
// How long a start waits for the running program to take its file; it never blocks the running
// program's user-interface thread.
constexpr int kAnswerWaitMs = 5000;
// How long a start waits for another start that is deciding at the same moment.
constexpr int kLockWaitMs = 3000;
constexpr int kLockPollMs = 20;
constexpr mode_t kPrivateModeBits = 077;

// A folder of this user that nobody else may write or enter: not a link, owned by the user,
// with no rights for group or others.
bool IsPrivateFolder(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & kPrivateModeBits) == 0;
}

std::string PrivateFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && IsPrivateFolder(runtime)) return runtime;
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = tmp && tmp[0] == '/' ? tmp : "/tmp";
    const std::string folder = base + "/orbiqa-" + std::to_string(geteuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    // Made by another user before us, or opened up: in doubt, no channel at all.
    return IsPrivateFolder(folder) ? folder : std::string();
}

bool Address(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool PeerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
           peer.uid == geteuid();
}

enum class Found { Nothing, Listener, Stranger };

// Connects to the socket at path when it is this user's and this user's program listens on it.
Found Connect(const std::string& path, int& fd) {
    fd = -1;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return Found::Nothing;
    if (!S_ISSOCK(st.st_mode) || st.st_uid != geteuid()) return Found::Stranger;
    sockaddr_un address;
    if (!Address(path, address)) return Found::Nothing;
    const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return Found::Nothing;
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(s);
        return Found::Nothing;  // left by a program that ended
    }
    if (!PeerIsThisUser(s)) {
        close(s);
        return Found::Stranger;
    }
    fd = s;
    return Found::Listener;
}

bool WaitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    int r;
    do r = poll(&p, 1, timeoutMs);
    while (r < 0 && errno == EINTR);
    return r > 0;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Serialises the decision between two programs started at once: one listens, the other hands
// over. A start that holds it for long (stopped in a debugger) does not hold the next one for
// ever: after kLockWaitMs it goes on without.
class FolderLock {
public:
    explicit FolderLock(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
        if (fd_ < 0) return;
        const auto giveUp = Clock::now() + std::chrono::milliseconds(kLockWaitMs);
        while (flock(fd_, LOCK_EX | LOCK_NB) != 0 && Clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(kLockPollMs));
    }
    ~FolderLock() {
        if (fd_ >= 0) close(fd_);  // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

class PosixInstanceChannel : public InstanceChannel {
public:
    explicit PosixInstanceChannel(const std::string& name) : name_(name) {}
    ~PosixInstanceChannel() override {
        if (stop_[1] >= 0) {
            const char stop = 's';
            [[maybe_unused]] const ssize_t n = write(stop_[1], &stop, 1);
        }
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) {
            close(listener_);
            unlink(path_.c_str());
        }
        for (int fd : stop_)
            if (fd >= 0) close(fd);
    }
    PosixInstanceChannel(const PosixInstanceChannel&) = delete;
    PosixInstanceChannel& operator=(const PosixInstanceChannel&) = delete;

    HandOverResult HandOver(const std::string& message) override {
        const std::string path = InstanceSocketPath(name_);
        if (path.empty()) return HandOverResult::NobodyListens;
        FolderLock lock(path + ".lock");
        int fd = -1;
        if (Connect(path, fd) != Found::Listener) return HandOverResult::NobodyListens;
        bool taken = WriteAll(fd, message.data(), message.size()) && shutdown(fd, SHUT_WR) == 0 &&
                     WaitReadable(fd, kAnswerWaitMs);
        char answer = 0;
        taken = taken && recv(fd, &answer, 1, 0) == 1 && answer == '1';
        close(fd);
        return taken ? HandOverResult::Taken : HandOverResult::NoAnswer;
    }

    bool Listen(Receiver receiver) override {
        if (listener_ >= 0) return true;
        path_ = InstanceSocketPath(name_);
        if (path_.empty()) return false;
        FolderLock lock(path_ + ".lock");
        int other = -1;
        if (Connect(path_, other) == Found::Listener) {
            close(other);
            return false;
        }
        sockaddr_un address;
        if (!Address(path_, address)) return false;
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        // What is left is a socket nobody answers on (a program that ended without removing it)
        // or one that is not to be trusted; the folder is the user's, so it may go.
        unlink(path_.c_str());
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            chmod(path_.c_str(), 0600) != 0 || listen(fd, kMaxClients) != 0 || pipe2(stop_, O_CLOEXEC) != 0) {
            close(fd);
            return false;
        }
        listener_ = fd;
        receiver_ = std::move(receiver);
        thread_ = std::thread([this] { Serve(); });
        return true;
    }

private:
    struct Client {
        int fd;
        Clock::time_point deadline;
        std::string message;
    };

    // Every client is read as its bytes arrive, each within its own deadline, so a client that
    // connects and stays silent delays nobody.
    void Serve() {
        std::vector<Client> clients;
        for (;;) {
            std::vector<pollfd> p = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            int timeoutMs = -1;
            const auto now = Clock::now();
            for (const Client& c : clients) {
                p.push_back({c.fd, POLLIN, 0});
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(c.deadline - now).count();
                const int ms = left < 0 ? 0 : static_cast<int>(left) + 1;
                if (timeoutMs < 0 || ms < timeoutMs) timeoutMs = ms;
            }
            if (poll(p.data(), p.size(), timeoutMs) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (p[1].revents) break;
            for (std::size_t i = clients.size(); i-- > 0;) {
                if (!(p[i + 2].revents & (POLLIN | POLLHUP | POLLERR)) && Clock::now() < clients[i].deadline) continue;
                if (ReadClient(clients[i])) continue;
                close(clients[i].fd);
                clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
            }
            if (p[0].revents & POLLIN) Accept(clients);
        }
        for (const Client& c : clients) close(c.fd);
    }

    void Accept(std::vector<Client>& clients) {
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        if (!PeerIsThisUser(fd) || static_cast<int>(clients.size()) >= kMaxClients) {
            close(fd);
            return;
        }
        clients.push_back({fd, Clock::now() + std::chrono::milliseconds(kClientDeadlineMs), {}});
    }

    // Takes what the client sent; false once the client is done with (its whole message taken
    // and answered, or dropped).
    bool ReadClient(Client& client) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                client.message.append(buffer, static_cast<std::size_t>(n));
                if (client.message.size() > kMaxMessage) return false;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Clock::now() < client.deadline;
            if (n < 0) return false;
            break;  // the whole message
        }
        const char answer = '1';
        WriteAll(client.fd, &answer, 1);
        // An empty message is another start looking whether one listens.
        if (!client.message.empty() && receiver_) receiver_(client.message);
        return false;
    }

    std::string name_;
    std::string path_;
    int listener_ = -1;
    int stop_[2] = {-1, -1};
    Receiver receiver_;
    std::thread thread_;
};

}  // namespace

std::string InstanceSocketPath(const std::string& name) {
    const std::string folder = PrivateFolder();
    if (folder.empty()) return {};
    const std::string path = folder + "/" + name + ".sock";
    sockaddr_un address;
    return Address(path, address) ? path : std::string();
}

std::unique_ptr<InstanceChannel> CreateInstanceChannel(const std::string& name) {
    return std::make_unique<PosixInstanceChannel>(name);
}

}  // namespace orbiqa
