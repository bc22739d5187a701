// orbiqa-cli through network ports: ser2net (RFC 2217 and raw) and pyserial's RFC 2217 server in
// front of orbiqa-modsim, on loopback only; and the failures a network adds: nobody listening,
// a server that refuses or ignores the COM port option, a server turning a second client away
// and a server killed mid-transfer.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <thread>

#include "HostileServers.h"
#include "SerialServers.h"
#include "cli/CliFixture.h"
#include "netport/NetworkPortError.h"
#include "netport/TelnetComPort.h"
#include "netport/NetworkSerialDevice.h"

using namespace clitest;
using namespace nettest;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

class NetworkPortTest : public CliEndToEndTest {
protected:
    void SetUp() override {
        CliEndToEndTest::SetUp();
        if (IsSkipped()) return;
        for (const char* program : {kSer2net, kPyserialServer})
            ASSERT_TRUE(fs::exists(program)) << program << ": run scripts/install-deps.sh";
    }

    const std::string& Device() const { return sim->DevicePath(); }

    std::unique_ptr<ServerProcess> Ser2net(bool rfc2217,
                                           const std::string& lineSettings = "9600n82") {
        auto server = StartSer2net(config.Path(), Device(), rfc2217, lineSettings);
        EXPECT_TRUE(server->Listening());
        return server;
    }
};

// A one-connection TCP server on loopback that plays a scripted Telnet peer.
class ScriptedPeer {
public:
    explicit ScriptedPeer(std::vector<std::uint8_t> answer) : answer_(std::move(answer)) {
        listen_ = ListenOnLoopback(port_, 1);
        thread_ = std::thread([this] {
            const int c = ::accept(listen_, nullptr, nullptr);
            if (c < 0) return;
            if (!answer_.empty()) ::send(c, answer_.data(), answer_.size(), MSG_NOSIGNAL);
            // Keeps what the client sends until it closes.
            std::uint8_t buffer[512];
            for (;;) {
                const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                std::lock_guard lock(mutex_);
                received_.insert(received_.end(), buffer, buffer + n);
            }
            ::close(c);
        });
    }
    ~ScriptedPeer() {
        ::shutdown(listen_, SHUT_RDWR);
        ::close(listen_);
        thread_.join();
    }
    int Port() const { return port_; }
    std::vector<std::uint8_t> Received() {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    std::vector<std::uint8_t> answer_;
    int listen_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::uint8_t> received_;
};

}  // namespace

TEST_F(NetworkPortTest, ReadWriteCompareAndStatusThroughSer2netRfc2217) {
    StartModule({"--status-flags", "17", "--signal", "31", "--line-state", "2"});
    const auto server = Ser2net(true);
    const std::string port = Rfc2217(server->Port());

    const CliResult read = Cli({"read", Path("read.VR3"), "-p", port});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out, "read: 15 blocks from " + port + " saved to " + Path("read.VR3") + "\n");
    const Bytes file = ReadFile(Path("read.VR3"));
    ASSERT_EQ(file.size(), kImageSize);
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + kModuleBytes, moduleBytes.begin()));

    // Every byte value, 0xFF among them, travels in both directions.
    Bytes all(kImageSize, 0);
    for (std::size_t i = 0; i < kImageSize; ++i) all[i] = static_cast<std::uint8_t>(255 - i % 256);
    WriteFile(Path("all.VR3"), all);
    const CliResult write = Cli({"write", Path("all.VR3"), "-p", port, "--verify"});
    ASSERT_EQ(write.status, 0) << write.err;
    EXPECT_TRUE(std::equal(all.begin(), all.begin() + kModuleBytes, ReadFile(memoryFile).begin()));
    EXPECT_EQ(Cli({"compare", Path("all.VR3"), "-p", port}).status, 0);

    const CliResult status = Cli({"status", "-p", port, "--count", "1"});
    EXPECT_EQ(status.status, 0) << status.err;
    EXPECT_THAT(status.out, HasSubstr("code=2\tsignal=31\n"));
}

TEST_F(NetworkPortTest, LineSettingsArriveAndRawPortsCarryBytesAsTheyAre) {
    StartModule();
    {
        const auto server = Ser2net(true, "9600n82");
        orbiqa::NetworkSerialDevice device;
        ASSERT_EQ(device.Open(Rfc2217(server->Port())), 0);
        // A pseudo-terminal reports 8N1 whatever is asked: the baud rate and the stop bits show
        // that the settings reached the device.
        EXPECT_EQ(device.ServerBaudRate(), 19200u);
        EXPECT_EQ(device.ServerStopSize(), 1u);
        EXPECT_EQ(device.Purge(), 0);
    }
    const auto raw = Ser2net(false, "19200n81");
    const std::string port = Raw(raw->Port());
    const CliResult read = Cli({"read", Path("raw.VR3"), "-p", port});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_TRUE(std::equal(moduleBytes.begin(), moduleBytes.begin() + kModuleBytes,
                           ReadFile(Path("raw.VR3")).begin()));
    const CliResult write = Cli({"write", memoryFile, "-p", port, "--verify"});
    EXPECT_EQ(write.status, 0) << write.err;
}

TEST_F(NetworkPortTest, ProvisionThroughSeveralServersAtOnceAndThroughPyserial) {
    StartModule();
    WriteFile(Path("second.VR3"), moduleBytes);
    SimProcess second({"--fast", "--texts", "off", "--memory", Path("second.VR3")},
                      config.Path() + "/orbiqa/ports");
    const auto a = Ser2net(true);
    const auto b = StartPyserialServer(second.DevicePath());
    ASSERT_TRUE(b->Listening());
    SaveImage(Path("template.VR3"), ParameterImage());
    const CliResult r = Cli({"provision", Path("template.VR3"), "--set", "CallMax=7", "-p",
                             Rfc2217(a->Port()), "-p", Rfc2217(b->Port())});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_THAT(r.out, HasSubstr("provision: 2 of 2 modules written and verified\n"));
    EXPECT_EQ(LoadImage(memoryFile)[orbiqa::EEAddr::CallMax], 7);
    EXPECT_EQ(LoadImage(Path("second.VR3"))[orbiqa::EEAddr::CallMax], 7);
}

TEST_F(NetworkPortTest, ServerKilledMidTransferIsNoSuccessAndWritesNoFile) {
    StartModule({"--reply-delay", "300"});
    auto server = Ser2net(true);
    // The progress bar (standard error at a terminal) shows the transfer under way.
    CliProcess read({"read", Path("cut.VR3"), "-p", Rfc2217(server->Port())}, config.Path(), true);
    ASSERT_TRUE(read.WaitForError("read [#", 20000));
    server->Kill(SIGKILL);
    const CliResult r = read.Finish(20000);
    EXPECT_EQ(r.status, 3) << r.err;
    // The loss is seen by the event thread or, when a request goes out first, by the write: as
    // with an adapter unplugged in the middle of a write, both are a port failure (status 3).
    EXPECT_THAT(r.err, ::testing::AnyOf(HasSubstr("went away"), HasSubstr("the port failed")));
    EXPECT_FALSE(fs::exists(Path("cut.VR3")));
}

TEST_F(NetworkPortTest, SecondClientIsBusyAndInterruptReleasesTheServer) {
    StartModule({"--texts", "demo", "--text-interval", "40"});
    const auto server = Ser2net(true);
    const std::string port = Rfc2217(server->Port());
    CliProcess monitor({"monitor", "-p", port}, config.Path());
    ASSERT_TRUE(monitor.WaitForOutput(": ", 10000));
    const CliResult busy = Cli({"version", "-p", port});
    EXPECT_EQ(busy.status, 3);
    EXPECT_THAT(busy.err, HasSubstr("cannot open " + port + ": Device or resource busy"));
    ::kill(monitor.Pid(), SIGINT);
    EXPECT_EQ(monitor.Finish(10000).status, 0);
    ASSERT_TRUE(WaitUntil([&] { return SocketsInState(server->Port(), "01") == 0; }));
    const CliResult after = Cli({"version", "-p", port});
    EXPECT_EQ(after.status, 0) << after.err;
}

TEST_F(NetworkPortTest, AddressesThatLeadNowhereGiveAMessageNamingThem) {
    const std::string nobody = Rfc2217(FreeTcpPort());
    const CliResult refused = Cli({"read", Path("x.VR3"), "-p", nobody});
    EXPECT_EQ(refused.status, 3);
    EXPECT_EQ(refused.err, "orbiqa-cli: cannot open " + nobody + ": Connection refused\n");

    // (An unknown host name is not tried: looking it up could ask a name server off this
    // machine.)
    const CliResult malformed = Cli({"version", "-p", "rfc2217://127.0.0.1"});
    EXPECT_EQ(malformed.status, 2);
    EXPECT_THAT(malformed.err, HasSubstr("not a network port address"));
    EXPECT_FALSE(fs::exists(Path("x.VR3")));
}

TEST_F(NetworkPortTest, PortsListsTheNetworkPortsTheUserNamed) {
    ::setenv("ORBIQA_PORT", "socket://[::1]:4001", 1);
    const CliResult r = Cli({"ports", "-p", "RFC2217://bench:2217", "-p", "socket://[::1]:4001"});
    ::unsetenv("ORBIQA_PORT");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, ::testing::StartsWith("  rfc2217://bench:2217\t(network port)\n"
                                             "  socket://[::1]:4001\t(network port)\n"));
    EXPECT_EQ(Cli({"ports", "-p", "COM3"}).status, 2);
}

TEST_F(NetworkPortTest, ServerThatRefusesOrIgnoresTheOptionIsNotAPort) {
    using T = orbiqa::TelnetComPort;
    ScriptedPeer refusing({T::kIac, T::kDont, T::kOptComPort, T::kIac, T::kWont, T::kOptBinary});
    const CliResult refused = Cli({"version", "-p", Rfc2217(refusing.Port())});
    EXPECT_EQ(refused.status, 3);
    EXPECT_THAT(refused.err, HasSubstr("refused the COM port option"));

    ScriptedPeer silent({});
    orbiqa::NetworkSerialDevice device;
    EXPECT_EQ(device.Open(Rfc2217(silent.Port())), orbiqa::kNetNoNegotiation);
}

// A network namespace of the test's own whose loopback delays every packet: the line of a
// module at a distant site. The test thread enters it, so that the simulator, the server and the
// program it starts all live there, and leaves it at the end.
class DelayedNamespace {
public:
    explicit DelayedNamespace(int delayMs) : name_("orbiqa-latency-" + std::to_string(::getpid())) {
        if (::geteuid() != 0) {
            reason_ = "making a network namespace needs root";
            return;
        }
        if (!Run("ip netns add " + name_)) {
            reason_ = "ip netns add failed (iproute2 missing or namespaces not allowed)";
            return;
        }
        created_ = true;
        if (!Run("ip -n " + name_ + " link set lo up")) {
            reason_ = "cannot bring up the namespace's loopback";
            return;
        }
        if (!Run("ip netns exec " + name_ + " tc qdisc add dev lo root netem delay " +
                 std::to_string(delayMs) + "ms")) {
            reason_ =
                "this machine's kernel has no netem queueing discipline (sch_netem), so no "
                "delay can be added";
            return;
        }
        home_ = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        const int target = ::open(("/var/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
        entered_ = home_ >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
        if (target >= 0) ::close(target);
        if (!entered_) reason_ = "cannot enter the namespace";
    }
    ~DelayedNamespace() {
        if (entered_) ::setns(home_, CLONE_NEWNET);
        if (home_ >= 0) ::close(home_);
        if (created_) Run("ip netns del " + name_);
    }
    bool Entered() const { return entered_; }
    const std::string& Reason() const { return reason_; }

private:
    static bool Run(const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    }
    std::string name_, reason_;
    int home_ = -1;
    bool created_ = false, entered_ = false;
};

TEST_F(NetworkPortTest, ReadAndWriteOverALineWithAddedLatency) {
    constexpr int kDelayMs = 40;  // each way: 80 ms more for every request and its reply
    DelayedNamespace line(kDelayMs);
    if (!line.Entered()) GTEST_SKIP() << line.Reason();
    StartModule();
    const auto server = Ser2net(true);
    const std::string port = Rfc2217(server->Port());
    const CliResult read = Cli({"read", Path("far.VR3"), "-p", port});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_TRUE(std::equal(moduleBytes.begin(), moduleBytes.begin() + kModuleBytes,
                           ReadFile(Path("far.VR3")).begin()));
    const CliResult write = Cli({"write", memoryFile, "-p", port, "--verify"});
    EXPECT_EQ(write.status, 0) << write.err;
}

// A relay on loopback that holds every chunk for a fixed time before passing it on, both ways:
// added latency without the kernel's help, for machines without netem.
class DelayingRelay {
public:
    DelayingRelay(int targetPort, int delayMs) : target_(targetPort), delay_(delayMs) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = Loopback(0);
        socklen_t length = sizeof a;
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 4);
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
        acceptor_ = std::thread([this] {
            for (;;) {
                const int client = ::accept(listen_, nullptr, nullptr);
                if (client < 0) return;
                const int server = ::socket(AF_INET, SOCK_STREAM, 0);
                sockaddr_in t = Loopback(target_);
                if (::connect(server, reinterpret_cast<sockaddr*>(&t), sizeof t) != 0) {
                    ::close(client);
                    ::close(server);
                    continue;
                }
                std::lock_guard lock(mutex_);
                sockets_.insert(sockets_.end(), {client, server});
                pumps_.emplace_back([this, client, server] { Pump(client, server); });
                pumps_.emplace_back([this, client, server] { Pump(server, client); });
            }
        });
    }
    ~DelayingRelay() {
        ::shutdown(listen_, SHUT_RDWR);
        ::close(listen_);
        acceptor_.join();
        {
            std::lock_guard lock(mutex_);
            for (int s : sockets_) ::shutdown(s, SHUT_RDWR);
        }
        for (auto& t : pumps_) t.join();
        for (int s : sockets_) ::close(s);
    }
    int Port() const { return port_; }

private:
    static sockaddr_in Loopback(int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        return a;
    }
    // Reads what comes from one side and passes each chunk to the other once it is due; a
    // writer thread keeps the order.
    void Pump(int from, int to) {
        using Clock = std::chrono::steady_clock;
        std::mutex m;
        std::condition_variable cv;
        std::deque<std::pair<Clock::time_point, std::vector<std::uint8_t>>> queue;
        bool ended = false;
        std::thread writer([&] {
            std::unique_lock lock(m);
            for (;;) {
                cv.wait(lock, [&] { return ended || !queue.empty(); });
                if (queue.empty()) break;
                auto [due, bytes] = queue.front();
                queue.pop_front();
                lock.unlock();
                std::this_thread::sleep_until(due);
                ::send(to, bytes.data(), bytes.size(), MSG_NOSIGNAL);
                lock.lock();
            }
            ::shutdown(to, SHUT_WR);
        });
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
            std::lock_guard lock(m);
            if (n <= 0) {
                ended = true;
                cv.notify_all();
                break;
            }
            queue.emplace_back(Clock::now() + std::chrono::milliseconds(delay_),
                               std::vector<std::uint8_t>(buffer, buffer + n));
            cv.notify_all();
        }
        writer.join();
    }

    int target_, delay_;
    int listen_ = -1;
    int port_ = 0;
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<int> sockets_;
    std::vector<std::thread> pumps_;
};

TEST_F(NetworkPortTest, ReadAndWriteThroughADelayingRelay) {
    constexpr int kDelayMs = 40;  // each way, as in the namespace test above
    StartModule();
    const auto server = Ser2net(true);
    DelayingRelay relay(server->Port(), kDelayMs);
    const std::string port = Rfc2217(relay.Port());
    const CliResult read = Cli({"read", Path("far.VR3"), "-p", port});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_TRUE(std::equal(moduleBytes.begin(), moduleBytes.begin() + kModuleBytes,
                           ReadFile(Path("far.VR3")).begin()));
    // The server learns of the end of the read only after the delay; until then it turns a new
    // client away as busy.
    ASSERT_TRUE(WaitUntil([&] { return SocketsInState(server->Port(), "01") == 0; }));
    const CliResult write = Cli({"write", memoryFile, "-p", port, "--verify"});
    EXPECT_EQ(write.status, 0) << write.err;
}

TEST(NetworkSerialDevice, EscapesOnTheWireAndInterruptsAWait) {
    // A peer that agrees at once and takes every setting (the codec's own tests fix the bytes
    // of both).
    ScriptedPeer peer(AcceptComPort());
    orbiqa::NetworkSerialDevice device;
    ASSERT_EQ(device.Open(Rfc2217(peer.Port())), 0);
    ASSERT_EQ(device.ApplyTimeouts(100, 1000), 0);
    int error = 0;
    const std::uint8_t frame[] = {0x02, 0xFF, 0x03};
    EXPECT_EQ(device.Write(frame, sizeof frame, error), 3);
    std::thread stopper([&] { device.StopWaiting(); });
    EXPECT_EQ(device.WaitForEvent(), orbiqa::SerialDevice::WaitResult::Stopped);
    stopper.join();
    device.Close();
    ASSERT_TRUE(WaitUntil([&] {
        const auto r = peer.Received();
        return r.size() >= 4 && r[r.size() - 4] == 0x02;
    }));
    const auto r = peer.Received();
    EXPECT_EQ(std::vector<std::uint8_t>(r.end() - 4, r.end()),
              (std::vector<std::uint8_t>{0x02, 0xFF, 0xFF, 0x03}));
}
