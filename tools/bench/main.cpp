// orbiqa-bench: the program's read, write and compare of all 15 blocks against orbiqa-modsim,
// measured against the physical limit of the serial line, and the CPU the program spends while
// it waits. Then the same against a simulator that answers as fast as it can.
#include <time.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "ModsimSession.h"
#include "support/PrivateSettingsFolder.h"
#include "NetworkBench.h"
#include "ProvisionBench.h"
#include "SitesBench.h"
#include "base/IntText.h"

namespace {

using namespace orbiqa;

// Each block costs 18 + 7 * 18 = 144 bytes on the line whichever way it goes; 10 bits a byte.
constexpr double kLineBaud = 19200.0;
constexpr double kBytesPerBlock = 144.0;
constexpr double kLineLimitSeconds =
    kModuleBlockCount * kBytesPerBlock * 10.0 / kLineBaud;  // 1.125
constexpr double kRatioTarget = 1.03;
constexpr double kCpuTargetPercent = 3.0;
constexpr int kDefaultRuns = 5;
constexpr int kFastRunFactor = 20;
// A provision run takes seconds (a write and a read of 15 blocks at line pace).
constexpr int kMaxProvisionRuns = 3;

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Sample {
    double wall;
    double cpu;
};

struct Operation {
    const char* name;
    TransferResult (TransferEngine::*run)();
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool Measure(bench::TransferSession& session, const Operation& op, int runs,
             std::vector<Sample>& samples) {
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        const TransferResult r = (session.Engine().*op.run)();
        const double cpu = CpuSeconds() - cpuStart;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!r.Succeeded()) {
            std::printf("  %-8s FAILED at block %d\n", op.name, r.failedBlock);
            return false;
        }
        samples.push_back({wall, cpu});
    }
    return true;
}

bool RunMode(bool fast, int runs) {
    bench::ModsimProcess sim;
    QStringList args{QStringLiteral("--texts"), QStringLiteral("off"), QStringLiteral("--image"),
                     QStringLiteral("demo")};
    if (fast) args << QStringLiteral("--fast");
    const QString com = sim.Start(args);
    bench::TransferSession session(com);
    for (std::size_t i = 0; i < kModuleMemorySize; ++i)
        session.Image()[i] = static_cast<std::uint8_t>(i * 31 + 7);

    // A fast transfer takes about a millisecond: more runs steady its median.
    if (fast) runs *= kFastRunFactor;
    std::printf("\n%s simulator on %s, %d runs each, median shown\n",
                fast ? "Fast (--fast)" : "Line-timed 19200 baud", qPrintable(com), runs);
    if (fast)
        std::printf("  %-8s %10s %10s %8s %12s\n", "", "wall ms", "CPU ms", "CPU %", "blocks/s");
    else
        std::printf("  %-8s %10s %10s %8s %8s %8s\n", "", "wall ms", "CPU ms", "CPU %", "ratio",
                    "target");

    bool ok = true;
    const Operation ops[] = {{"write", &TransferEngine::Write},
                             {"read", &TransferEngine::Read},
                             {"compare", &TransferEngine::Compare}};
    for (const Operation& op : ops) {
        std::vector<Sample> samples;
        if (!Measure(session, op, runs, samples)) {
            ok = false;
            continue;
        }
        std::vector<double> walls, cpus, shares;
        for (const Sample& s : samples) {
            walls.push_back(s.wall);
            cpus.push_back(s.cpu);
            shares.push_back(100.0 * s.cpu / s.wall);
        }
        const double wall = Median(walls), cpu = Median(cpus), share = Median(shares);
        if (fast) {
            std::printf("  %-8s %10.1f %10.2f %8.2f %12.0f\n", op.name, wall * 1e3, cpu * 1e3,
                        share, kModuleBlockCount / wall);
        } else {
            const double ratio = wall / kLineLimitSeconds;
            const bool met = ratio <= kRatioTarget && share <= kCpuTargetPercent;
            std::printf("  %-8s %10.1f %10.2f %8.2f %8.3f %8s\n", op.name, wall * 1e3, cpu * 1e3,
                        share, ratio, met ? "met" : "MISSED");
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = kDefaultRuns;
    bool fastOnly = false;
    bool provisionOnly = false;
    bool sitesOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            const auto parsed = orbiqa::TryStrToInt(argv[++i]);
            if (!parsed) {
                std::fprintf(stderr, "orbiqa-bench: --runs needs a number, not '%s'\n", argv[i]);
                return 2;
            }
            runs = std::max(1, *parsed);
        } else if (a == "--fast-only") {
            fastOnly = true;
        } else if (a == "--provision-only") {
            provisionOnly = true;
        } else if (a == "--sites-only") {
            sitesOnly = true;
        } else {
            std::printf(
                "Usage: orbiqa-bench [--runs N] [--fast-only | --provision-only | --sites-only]\n"
                "Reads, writes and compares 15 blocks against orbiqa-modsim, line-timed and fast;\n"
                "then orbiqa-cli provision of 8 line-timed modules against one; then the\n"
                "read and the provision through ser2net's RFC 2217 ports against local ports; then\n"
                "the site register: a read's record, and search and history in 10,000 sites and\n"
                "1,000,000 entries on SQLite and PostgreSQL.\n");
            return a == "--help" || a == "-h" ? 0 : 2;
        }
    }

    // A private port-link folder: the benchmark never touches the user's simulated ports.
    const orbiqa::testsupport::PrivateSettingsFolder config;

    std::printf(
        "Line limit: 15 blocks x %.0f bytes x 10 bits / %.0f baud = %.3f s; targets: ratio <= "
        "%.2f, CPU <= %.0f %%\n",
        kBytesPerBlock, kLineBaud, kLineLimitSeconds, kRatioTarget, kCpuTargetPercent);
    try {
        bool ok = true;
        if (sitesOnly) return bench::RunSitesBench(true) ? 0 : 1;
        if (!provisionOnly) {
            if (!fastOnly) ok &= RunMode(false, runs);
            ok &= RunMode(true, runs);
        }
        if (!fastOnly) ok &= bench::RunProvisionBench(std::min(runs, kMaxProvisionRuns));
        if (!fastOnly && !provisionOnly) ok &= bench::RunNetworkReadBench(runs);
        if (!fastOnly) ok &= bench::RunNetworkProvisionBench(std::min(runs, kMaxProvisionRuns));
        if (!fastOnly && !provisionOnly) ok &= bench::RunSitesBench(true);
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orbiqa-bench: %s\n", e.what());
        return 1;
    }
}
