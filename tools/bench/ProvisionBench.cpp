#include "ProvisionBench.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ModsimSession.h"
#include "NetworkBench.h"
#include "SerialServer.h"
#include "params/EEAddr.h"
#include "serial/PortLinks.h"

extern char** environ;

namespace orbiqa::bench {

namespace {

constexpr int kBatchSize = 8;
constexpr int kFirstPort = 81;
constexpr double kRatioGoal = 1.10;
constexpr double kCpuGoalPercent = 5.0;
constexpr std::size_t kTemplateBytes = EEAddr::ImageSize;

struct Run {
    double wall = 0;
    double cpu = 0;
    int status = -1;
};

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

/// Runs the program and measures its wall time and its own CPU time (user and system).
Run Measure(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool Batch(const std::string& cli, const std::string& templatePath,
           const std::vector<QString>& ports, int runs, double& wall, double& cpu) {
    std::vector<std::string> args{cli, "provision", templatePath};
    for (const auto& p : ports) args.insert(args.end(), {"-p", p.toStdString()});
    std::vector<double> walls, cpus;
    for (int i = 0; i < runs; ++i) {
        const Run r = Measure(args);
        if (r.status != 0) {
            std::printf("  provision of %zu modules FAILED (exit status %d)\n", ports.size(),
                        r.status);
            return false;
        }
        walls.push_back(r.wall);
        cpus.push_back(r.cpu);
    }
    wall = Median(walls);
    cpu = Median(cpus);
    return true;
}

}  // namespace

namespace {

// 8 line-timed simulators with a template file; ports are their COM names.
struct Batch8 {
    QTemporaryDir work;
    std::string templatePath;
    std::vector<std::unique_ptr<ModsimProcess>> sims;
    std::vector<QString> ports;

    Batch8() : templatePath(work.filePath(QStringLiteral("template.VR3")).toStdString()) {
        std::ofstream file(templatePath, std::ios::binary);
        for (std::size_t i = 0; i < kTemplateBytes; ++i) file.put(static_cast<char>(i * 13 + 1));
        for (int i = 0; i < kBatchSize; ++i) {
            sims.push_back(std::make_unique<ModsimProcess>());
            // The simulator picks from only seven free names by itself.
            ports.push_back(
                sims.back()->Start({QStringLiteral("--texts"), QStringLiteral("off"),
                                    QStringLiteral("--port"), QString::number(kFirstPort + i)}));
        }
    }
};

bool CompareBatches(const std::string& cli, const Batch8& batch, const std::vector<QString>& ports,
                    int runs) {
    std::printf("  %-10s %10s %10s %8s\n", "modules", "wall ms", "CPU ms", "CPU %");
    double wall1 = 0, cpu1 = 0, wall8 = 0, cpu8 = 0;
    if (!Batch(cli, batch.templatePath, {ports.front()}, runs, wall1, cpu1)) return false;
    std::printf("  %-10d %10.1f %10.2f %8.2f\n", 1, wall1 * 1e3, cpu1 * 1e3, 100 * cpu1 / wall1);
    if (!Batch(cli, batch.templatePath, ports, runs, wall8, cpu8)) return false;
    const double share = 100 * cpu8 / wall8;
    std::printf("  %-10d %10.1f %10.2f %8.2f\n", kBatchSize, wall8 * 1e3, cpu8 * 1e3, share);
    const double ratio = wall8 / wall1;
    std::printf("  ratio %d/1: %.3f (goal <= %.2f); CPU %.2f %% of one core (goal < %.0f %%): %s\n",
                kBatchSize, ratio, kRatioGoal, share, kCpuGoalPercent,
                ratio <= kRatioGoal && share < kCpuGoalPercent ? "met" : "MISSED");
    return true;
}

std::string CliProgram() {
    return QFileInfo(ModsimProgram()).dir().filePath(QStringLiteral("orbiqa-cli")).toStdString();
}

}  // namespace

bool RunNetworkProvisionBench(int runs) {
    Batch8 batch;
    std::vector<QString> devices;
    for (const QString& com : batch.ports)
        devices.push_back(
            QString::fromStdString(ResolvePortDevice(com.toStdString()).value_or("")));
    Ser2netProcess server;
    const std::vector<QString> addresses = server.Start(devices);
    std::printf(
        "\norbiqa-cli provision through ser2net RFC 2217 ports on loopback, line-timed "
        "simulators, %d runs each, median shown\n",
        runs);
    return CompareBatches(CliProgram(), batch, addresses, runs);
}

bool RunProvisionBench(int runs) {
    Batch8 batch;
    std::printf(
        "\norbiqa-cli provision (write and verify), line-timed simulators, %d runs each, "
        "median shown\n",
        runs);
    return CompareBatches(CliProgram(), batch, batch.ports, runs);
}

}  // namespace orbiqa::bench
