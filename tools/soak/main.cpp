// orbiqa-soak: read, write and compare cycles through the program's real link against
// orbiqa-modsim, restarting the simulator between batches with a different random fault. Every
// cycle's data are checked against the simulator's memory file; at the end it reports cycles,
// outcomes, and the process's resident memory and open descriptors, which must not grow.
//
//   orbiqa-soak [--cycles N] [--batch N] [--seed N] [--tick-ms N]
//
// Exit status 0 when every cycle's data were right and neither memory nor descriptors grew.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ModsimSession.h"
#include "support/PrivateSettingsFolder.h"
#include "base/IntText.h"
#include "link/EComPort.h"

namespace {

using namespace orbiqa;

struct Options {
    int cycles = 510;
    int batch = 10;
    unsigned seed = 2024;
    int tickMs = 5;  // failed waits run out in 50 and 80 of these
};

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const auto parsed = orbiqa::TryStrToInt(argv[i + 1]);
        if (!parsed || *parsed < 0) {
            std::fprintf(stderr, "orbiqa-soak: %s needs a number, not '%s'\n", name.c_str(), argv[i + 1]);
            std::exit(2);
        }
        const long v = *parsed;
        if (name == "--cycles") o.cycles = static_cast<int>(v);
        else if (name == "--batch") o.batch = static_cast<int>(v);
        else if (name == "--seed") o.seed = static_cast<unsigned>(v);
        else if (name == "--tick-ms") o.tickMs = static_cast<int>(v);
        else {
            std::fprintf(stderr, "usage: orbiqa-soak [--cycles N] [--batch N] [--seed N] [--tick-ms N]\n");
            std::exit(2);
        }
    }
    return o;
}

/// Resident memory in kB, from /proc/self/status.
long ResidentKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

int OpenDescriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n - 1;  // the iterator's own
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const char* OutcomeName(TransferOutcome o) {
    switch (o) {
        case TransferOutcome::NotConnected: return "not connected";
        case TransferOutcome::Completed: return "completed";
        case TransferOutcome::NoAnswer: return "no answer";
        case TransferOutcome::WrongBlock: return "wrong block";
        case TransferOutcome::NoAck: return "no acknowledgement";
        case TransferOutcome::Different: return "different";
        case TransferOutcome::DeviceLost: return "device lost";
    }
    return "?";
}

/// One random fault (or none) as simulator options.
QStringList RandomFault(std::mt19937& rng, std::string& label) {
    const auto block = [&] { return QString::number(std::uniform_int_distribution<int>(0, 14)(rng)); };
    switch (std::uniform_int_distribution<int>(0, 10)(rng)) {
        case 0: label = "none"; return {};
        case 1: label = "silent-from-block"; return {"--silent-from-block", block()};
        case 2: label = "bad-checksum-block"; return {"--bad-checksum-block", block()};
        case 3: label = "wrong-block"; return {"--wrong-block", block()};
        case 4: label = "drop-data-message";
            return {"--drop-data-message", block() + ":" + QString::number(std::uniform_int_distribution<int>(0, 5)(rng))};
        case 5: label = "no-ack-from-block"; return {"--no-ack-from-block", block()};
        case 6: label = "noise"; return {"--noise"};
        case 7: label = "flood"; return {"--flood", "--texts", "demo", "--text-interval", "100"};
        case 8: label = "noise+flood"; return {"--noise", "--flood"};
        case 9: label = "wrong-key"; return {"--wrong-key"};
        default:
            label = "hangup-after";
            return {"--hangup-after", QString::number(std::uniform_int_distribution<int>(100, 6000)(rng))};
    }
}

class Soak {
public:
    Soak(const Options& o, const QString& memoryFile) : o_(o), memoryFile_(memoryFile), rng_(o.seed) {}

    bool Run() {
        const auto wallStart = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        const long rssStart = ResidentKb();
        const int fdStart = OpenDescriptors();
        long rssWarm = -1;
        int fdWarm = -1;
        long rssMax = rssStart;

        int batches = 0;
        while (cycles_ < o_.cycles) {
            RunBatch();
            ++batches;
            // The first batches load libraries, caches and the cipher; growth is measured after.
            if (batches == 3) {
                rssWarm = ResidentKb();
                fdWarm = OpenDescriptors();
            }
            rssMax = std::max(rssMax, ResidentKb());
        }
        const long rssEnd = ResidentKb();
        const int fdEnd = OpenDescriptors();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

        std::printf("\norbiqa-soak: %d cycles in %d batches, seed %u, %.1f s wall, %.1f s CPU\n", cycles_, batches,
                    o_.seed, wall, CpuSeconds() - cpuStart);
        std::printf("\nfaults (batches):\n");
        for (const auto& [fault, n] : faults_) std::printf("  %-22s %5d\n", fault.c_str(), n);
        std::printf("\noutcomes (cycles):\n");
        for (const auto& [outcome, n] : outcomes_) std::printf("  %-34s %5d\n", outcome.c_str(), n);
        std::printf("\ndata checks: %d passed, %d failed\n", checks_, mismatches_);
        std::printf("\n%-24s %10s %10s %10s %10s\n", "", "start", "warm", "end", "max");
        std::printf("%-24s %10ld %10ld %10ld %10ld\n", "resident memory (kB)", rssStart, rssWarm, rssEnd, rssMax);
        std::printf("%-24s %10d %10d %10d %10s\n", "open descriptors", fdStart, fdWarm, fdEnd, "");

        bool ok = mismatches_ == 0;
        if (fdEnd > fdWarm || fdEnd > fdStart) {
            std::printf("FAIL: open descriptors grew\n");
            ok = false;
        }
        // Allocator noise is a few hundred kB; a leak of a transfer's buffers per cycle is far more.
        if (rssEnd - rssWarm > 2048) {
            std::printf("FAIL: resident memory grew by %ld kB\n", rssEnd - rssWarm);
            ok = false;
        }
        std::printf("%s\n", ok ? "PASS" : "FAIL");
        return ok;
    }

private:
    void RunBatch() {
        std::string label;
        QStringList args = RandomFault(rng_, label);
        ++faults_[label];
        args << "--fast" << "--memory" << memoryFile_ << "--seed" << QString::number(rng_() % 100000);
        if (!args.contains("--texts")) args << "--texts" << "off";

        bench::ModsimProcess sim;
        bench::TransferSession session(sim.Start(args), o_.tickMs);
        bool lost = false;
        session.Link().ComPort1().OnDeviceLost = [&](TComPort&) { lost = true; };

        for (int i = 0; i < o_.batch && cycles_ < o_.cycles; ++i) {
            ++cycles_;
            const int kind = std::uniform_int_distribution<int>(0, 2)(rng_);
            const char* name = kind == 0 ? "read" : kind == 1 ? "write" : "compare";
            try {
                const TransferResult r = Cycle(session, kind);
                ++outcomes_[std::string(name) + ": " + OutcomeName(r.outcome)];
            } catch (const EComPort& e) {
                // The simulator hung up: a send meets the vanished device. Start a new batch.
                ++outcomes_[std::string(name) + ": send error " + std::to_string(e.ErrorCode())];
                break;
            }
            if (lost) {
                ++outcomes_["device lost (batch ended)"];
                break;
            }
        }
        try {
            session.Link().ComPort1().SetConnected(false);
        } catch (const EComPort& e) {
            ++outcomes_["close error " + std::to_string(e.ErrorCode())];
        }
    }

    TransferResult Cycle(bench::TransferSession& s, int kind) {
        auto& image = s.Image();
        TransferEngine& engine = s.Engine();
        if (kind == 0) {
            const TransferResult r = engine.Read();
            if (r.Succeeded()) Check(std::equal(image.begin(), image.begin() + kModuleMemorySize, Memory().begin()));
            return r;
        }
        if (kind == 1) {
            std::uniform_int_distribution<int> byte(0, 255);
            for (auto& b : image) b = static_cast<std::uint8_t>(byte(rng_));
            const TransferResult r = engine.Write();
            if (r.Succeeded()) Check(std::equal(image.begin(), image.begin() + kModuleMemorySize, Memory().begin()));
            return r;
        }
        const TransferResult r = engine.Compare();
        const std::vector<std::uint8_t> memory = Memory();
        const bool same = std::equal(engine.ModuleCopy().begin(), engine.ModuleCopy().end(), memory.begin());
        if (r.Succeeded()) Check(same);
        if (r.outcome == TransferOutcome::Different) Check(!same);
        return r;
    }

    std::vector<std::uint8_t> Memory() const {
        std::ifstream in(memoryFile_.toStdString(), std::ios::binary);
        std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        bytes.resize(kParameterImageSize);
        return bytes;
    }

    void Check(bool ok) {
        ++checks_;
        if (!ok) {
            ++mismatches_;
            std::printf("data mismatch in cycle %d\n", cycles_);
        }
    }

    Options o_;
    QString memoryFile_;
    std::mt19937 rng_;
    int cycles_ = 0;
    int checks_ = 0;
    int mismatches_ = 0;
    std::map<std::string, int> faults_;
    std::map<std::string, int> outcomes_;
};

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    // The simulator publishes its port link under a folder of this run only.
    const orbiqa::testsupport::PrivateSettingsFolder config;
    QCoreApplication app(argc, argv);
    const QString memoryFile = QDir(QString::fromStdString(config.Path())).filePath(QStringLiteral("module.VR3"));
    // The module's memory lives in this file across the simulator's restarts; it starts random.
    std::mt19937 rng(options.seed ^ 0x5EEDu);
    std::string start(kParameterImageSize, '\0');
    for (char& c : start) c = static_cast<char>(rng() & 0xFF);
    std::ofstream(memoryFile.toStdString(), std::ios::binary).write(start.data(), static_cast<std::streamsize>(start.size()));
    return Soak(options, memoryFile).Run() ? 0 : 1;
}
