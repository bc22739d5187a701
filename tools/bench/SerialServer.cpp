#include "SerialServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace orbiqa::bench {

namespace {

constexpr int kPollMs = 10;

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0;
    ::close(fd);
    if (!ok) throw std::runtime_error("no free loopback port");
    return ntohs(a.sin_port);
}

bool Listening(int port) {
    std::ifstream in("/proc/net/tcp");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        const auto colon = local.rfind(':');
        if (colon != std::string::npos && std::stoi(local.substr(colon + 1), nullptr, 16) == port &&
            state == "0A")
            return true;
    }
    return false;
}

}  // namespace

QString PtyLinesShim() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("liborbiqa_ptylines_shim.so"));
}

Ser2netProcess::~Ser2netProcess() {
    Stop();
}

std::vector<QString> Ser2netProcess::Start(const std::vector<QString>& devices) {
    std::vector<QString> addresses;
    std::vector<int> ports;
    const QString config = folder_.filePath(QStringLiteral("ser2net.yaml"));
    {
        std::ofstream out(config.toStdString());
        for (std::size_t i = 0; i < devices.size(); ++i) {
            const int port = FreeLoopbackPort();
            ports.push_back(port);
            out << "connection: &c" << i << "\n"
                << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << port << "\n"
                << "  connector: serialdev," << devices[i].toStdString() << ",19200n81,local\n"
                << "  options:\n    chardelay: false\n";
            addresses.push_back(QStringLiteral("rfc2217://127.0.0.1:%1").arg(port));
        }
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_PRELOAD"), PtyLinesShim());
    process_.setProcessEnvironment(env);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start(QStringLiteral("/usr/sbin/ser2net"),
                   {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-c"), config,
                    QStringLiteral("-P"), folder_.filePath(QStringLiteral("ser2net.pid"))});
    if (!process_.waitForStarted(kStartTimeoutMs))
        throw std::runtime_error("cannot start ser2net (scripts/install-deps.sh installs it)");
    const QDeadlineTimer deadline(kStartTimeoutMs);
    for (int port : ports) {
        while (!Listening(port)) {
            if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
                throw std::runtime_error("ser2net did not listen on port " + std::to_string(port));
            QThread::msleep(kPollMs);
        }
    }
    return addresses;
}

void Ser2netProcess::Stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(1000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

}  // namespace orbiqa::bench
