#pragma once
// ser2net in front of simulated modules, for measuring network ports: one ser2net process with
// one RFC 2217 connection per device, on loopback ports, with the shim that lets it set the
// modem lines of a pseudo-terminal preloaded.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <vector>

namespace orbiqa::bench {

/// The modem-line shim beside this program (built with it).
QString PtyLinesShim();

class Ser2netProcess {
public:
    static constexpr int kStartTimeoutMs = 10000;

    Ser2netProcess() = default;
    ~Ser2netProcess();
    Ser2netProcess(const Ser2netProcess&) = delete;
    Ser2netProcess& operator=(const Ser2netProcess&) = delete;

    /// Serves each device on its own loopback port in RFC 2217 mode, with chardelay off (it
    /// only holds data back). Returns the ports' addresses ("rfc2217://127.0.0.1:N"); throws
    /// std::runtime_error when ser2net is missing or does not listen.
    std::vector<QString> Start(const std::vector<QString>& devices);
    void Stop();

private:
    QTemporaryDir folder_;
    QProcess process_;
};

}  // namespace orbiqa::bench
