#include "NetworkBench.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "ModsimSession.h"
#include "SerialServer.h"
#include "serial/PortLinks.h"

namespace orbiqa::bench {

namespace {

constexpr double kRatioGoal = 1.05;
constexpr double kCpuGoalPercent = 5.0;

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    double wall = 0;
    double cpuShare = 0;
};

bool MeasureReads(const QString& port, int runs, Figures& figures) {
    TransferSession session(port);
    std::vector<double> walls, shares;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        const TransferResult r = session.Engine().Read();
        const double cpu = CpuSeconds() - cpuStart;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!r.Succeeded()) {
            std::printf("  read through %s FAILED at block %d\n", qPrintable(port), r.failedBlock);
            return false;
        }
        walls.push_back(wall);
        shares.push_back(100.0 * cpu / wall);
    }
    figures = {Median(walls), Median(shares)};
    return true;
}

}  // namespace

bool RunNetworkReadBench(int runs) {
    ModsimProcess sim;
    const QString com = sim.Start({QStringLiteral("--texts"), QStringLiteral("off"),
                                   QStringLiteral("--image"), QStringLiteral("demo")});
    const QString device =
        QString::fromStdString(ResolvePortDevice(com.toStdString()).value_or(""));
    std::printf(
        "\nRead of 15 blocks, line-timed simulator, local port against ser2net RFC 2217 on "
        "loopback, %d runs each, median shown\n",
        runs);
    std::printf("  %-28s %10s %8s\n", "", "wall ms", "CPU %");
    Figures local, network;
    // The local port holds the device exclusively: measure it first, then hand it to ser2net.
    if (!MeasureReads(com, runs, local)) return false;
    std::printf("  %-28s %10.1f %8.2f\n", qPrintable(com), local.wall * 1e3, local.cpuShare);
    Ser2netProcess server;
    const QString address = server.Start({device}).front();
    if (!MeasureReads(address, runs, network)) return false;
    std::printf("  %-28s %10.1f %8.2f\n", qPrintable(address), network.wall * 1e3,
                network.cpuShare);
    const double ratio = network.wall / local.wall;
    std::printf(
        "  ratio network/local: %.3f (goal <= %.2f); CPU %.2f %% of one core (goal < %.0f %%): "
        "%s\n",
        ratio, kRatioGoal, network.cpuShare, kCpuGoalPercent,
        ratio <= kRatioGoal && network.cpuShare < kCpuGoalPercent ? "met" : "MISSED");
    return true;
}

}  // namespace orbiqa::bench
