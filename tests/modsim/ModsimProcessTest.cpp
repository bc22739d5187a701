// The launcher every test, the benchmark and the soak start the simulator with: what it reads
// from the start line, what it tells when the simulator does not come up, and that it ends even
// a simulator that ignores SIGTERM. Stand-in simulators are small shell scripts.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "modsim/SimHarness.h"
#include "support/ModsimProcess.h"

using orbiqa::testsupport::ModsimProcess;
using orbiqa::testsupport::ParseModsimStartLine;

namespace {

// ORBIQA_BIN_DIR pointed at a folder with a stand-in orbiqa-modsim, put back afterwards.
class StandIn {
public:
    explicit StandIn(const std::string& script) {
        if (const char* old = std::getenv("ORBIQA_BIN_DIR")) old_ = old;
        ::setenv("ORBIQA_BIN_DIR", dir_.Path().c_str(), 1);
        if (script.empty()) return;  // no program at all
        const std::string program = dir_.Path() + "/orbiqa-modsim";
        std::ofstream(program) << "#!/bin/sh\n" << script;
        ::chmod(program.c_str(), 0755);
    }
    ~StandIn() {
        if (old_)
            ::setenv("ORBIQA_BIN_DIR", old_->c_str(), 1);
        else
            ::unsetenv("ORBIQA_BIN_DIR");
    }

private:
    modsimtest::TempDir dir_;
    std::optional<std::string> old_;
};

bool Alive(pid_t pid) { return ::kill(pid, 0) == 0; }

}  // namespace

TEST(ModsimStartLine, NamesThePortAndTheTerminalAndNothingElse) {
    const auto line = ParseModsimStartLine("orbiqa-modsim: COM91 -> /dev/pts/4");
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->comName, "COM91");
    EXPECT_EQ(line->devicePath, "/dev/pts/4");
    for (const char* other : {"", "orbiqa-modsim: COM91", "orbiqa-modsim: COM -> /dev/pts/4",
                              "orbiqa-modsim: COM9x -> /dev/pts/4", "orbiqa-modsim: COM9 -> ",
                              "orbiqa-modsim: error: port COM7 is taken", "modsim: COM9 -> /dev/pts/4"})
        EXPECT_FALSE(ParseModsimStartLine(other).has_value()) << other;
}

TEST(ModsimProcess, ASimulatorThatDoesNotComeUpIsReportedWithItsExitStatusAndErrors) {
    ModsimProcess sim;
    EXPECT_FALSE(sim.Start({"--no-such-option"}));
    EXPECT_EQ(sim.StartLine(), "");
    EXPECT_EQ(sim.ComName(), "");
    EXPECT_NE(sim.Failure().find("(exit status 2)"), std::string::npos) << sim.Failure();
    EXPECT_NE(sim.Failure().find("--no-such-option"), std::string::npos) << sim.Failure();
    EXPECT_THROW(sim.StartOrThrow({"--no-such-option"}), std::runtime_error);

    StandIn missing("");
    EXPECT_FALSE(sim.Start({}));
    EXPECT_NE(sim.Failure().find("(exit status 127)"), std::string::npos) << sim.Failure();

    StandIn talking("echo 'Listening on COM5' && sleep 30\n");
    EXPECT_FALSE(sim.Start({}));
    EXPECT_EQ(sim.Failure(), "unexpected start line: Listening on COM5");
}

TEST(ModsimProcess, ALoudSimulatorNeverStallsAndOneThatIgnoresTermIsKilled) {
    // 200 KB of errors before the start line: far more than a pipe nobody reads would hold.
    StandIn loud("trap '' TERM\n"
                 "head -c 200000 /dev/zero | tr '\\0' x >&2\n"
                 "echo 'orbiqa-modsim: COM5 -> /dev/pts/99'\n"
                 "exec sleep 30\n");
    ModsimProcess sim;
    ASSERT_TRUE(sim.Start({}, 5000)) << sim.Failure();
    EXPECT_EQ(sim.ComName(), "COM5");
    EXPECT_EQ(sim.StandardError().size(), 64u * 1024);
    const pid_t pid = sim.Pid();
    EXPECT_FALSE(sim.Terminate(200).has_value());  // SIGTERM is ignored
    EXPECT_TRUE(sim.Running());
    sim.Stop(100);
    EXPECT_FALSE(Alive(pid));
    EXPECT_EQ(sim.Wait(0), 128 + SIGKILL);

    // Starting again ends the simulator started before.
    StandIn quiet("echo 'orbiqa-modsim: COM6 -> /dev/pts/98'\nexec sleep 30\n");
    ASSERT_TRUE(sim.Start({}, 5000)) << sim.Failure();
    const pid_t first = sim.Pid();
    ASSERT_TRUE(sim.Start({}, 5000)) << sim.Failure();
    EXPECT_FALSE(Alive(first));
    EXPECT_EQ(sim.ComName(), "COM6");
}
