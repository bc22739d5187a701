// The channel as a Unix domain socket in the user's runtime folder ($XDG_RUNTIME_DIR, else /tmp
// with the user's number in the name), private to the user.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/InstanceChannel.h"

namespace orbiqa {
namespace {

constexpr std::size_t kMaxMessage = 64 * 1024;
// How long a start waits for the running program to take its file, and how long the running
// program waits for the rest of a message; neither ever blocks the user-interface thread.
constexpr int kAnswerWaitMs = 5000;
constexpr int kMessageWaitMs = 2000;

std::string SocketPath(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return std::string(runtime) + "/" + name + ".sock";
    return "/tmp/" + name + "-" + std::to_string(getuid()) + ".sock";
}

bool Address(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int Connect(const std::string& path) {
    sockaddr_un address;
    if (!Address(path, address)) return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
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
// over.
class FolderLock {
public:
    explicit FolderLock(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0) flock(fd_, LOCK_EX);
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
    explicit PosixInstanceChannel(const std::string& name) : path_(SocketPath(name)) {}
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

    bool HandOver(const std::string& message) override {
        FolderLock lock(path_ + ".lock");
        const int fd = Connect(path_);
        if (fd < 0) return false;
        bool taken = WriteAll(fd, message.data(), message.size()) && shutdown(fd, SHUT_WR) == 0 &&
                     WaitReadable(fd, kAnswerWaitMs);
        char answer = 0;
        taken = taken && recv(fd, &answer, 1, 0) == 1 && answer == '1';
        close(fd);
        return taken;
    }

    bool Listen(Receiver receiver) override {
        if (listener_ >= 0) return true;
        FolderLock lock(path_ + ".lock");
        const int other = Connect(path_);
        if (other >= 0) {
            close(other);
            return false;
        }
        sockaddr_un address;
        if (!Address(path_, address)) return false;
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        // Nobody answers on a socket that is left: a program that ended without removing it.
        unlink(path_.c_str());
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || chmod(path_.c_str(), 0600) != 0 ||
            listen(fd, 8) != 0 || pipe2(stop_, O_CLOEXEC) != 0) {
            close(fd);
            return false;
        }
        listener_ = fd;
        receiver_ = std::move(receiver);
        thread_ = std::thread([this] { Serve(); });
        return true;
    }

private:
    void Serve() {
        for (;;) {
            pollfd p[2] = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (poll(p, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (p[1].revents) return;
            if (!(p[0].revents & POLLIN)) continue;
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::string message;
            bool whole = false;
            char buffer[4096];
            while (message.size() <= kMaxMessage && WaitReadable(client, kMessageWaitMs)) {
                const ssize_t n = recv(client, buffer, sizeof buffer, 0);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    whole = n == 0;
                    break;
                }
                message.append(buffer, static_cast<std::size_t>(n));
            }
            if (whole) {
                const char answer = '1';
                WriteAll(client, &answer, 1);
            }
            close(client);
            // An empty message is another start looking whether one listens.
            if (whole && !message.empty() && receiver_) receiver_(message);
        }
    }

    std::string path_;
    int listener_ = -1;
    int stop_[2] = {-1, -1};
    Receiver receiver_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<InstanceChannel> CreateInstanceChannel(const std::string& name) {
    return std::make_unique<PosixInstanceChannel>(name);
}

}  // namespace orbiqa
