// orbiqa-cli as a field technician and a workshop use it: port habits, JSON and timestamps,
// editing files by field, verified writes, a lost or interrupted transfer, and provision of
// several simulated modules at once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "CliFixture.h"
#include "params/EEAddr.h"
#include "params/ImageFields.h"

namespace {

using namespace clitest;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::Not;
namespace A = orbiqa::EEAddr;

const std::string kIsoTime =
    "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}[+-][0-9]{2}:[0-9]{2}";

std::string Digits(const ParameterImage& image, std::size_t offset) {
    orbiqa::GridCells cells;
    orbiqa::LoadDigitField(image, offset, cells, A::LongNumberDigits);
    std::string digits;
    for (const auto& c : cells) digits += c;
    return digits;
}

class CliFieldWorkTest : public CliEndToEndTest {
protected:
    /// Another simulated module on its own memory file, published beside the first.
    SimProcess& AddModule(const std::string& memory, std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--fast", "--texts", "off", "--memory", memory});
        modules.push_back(std::make_unique<SimProcess>(options, config.Path() + "/orbiqa/ports"));
        return *modules.back();
    }
    std::vector<std::unique_ptr<SimProcess>> modules;
};

TEST_F(CliFieldWorkTest, PortBeforeOrAfterTheCommandFromTheEnvironmentOrAsADevicePath) {
    const std::string port = StartModule();
    const std::string line = "ORBIQA-GSM  V1.05  3.2  DataVersion:5\n";
    EXPECT_EQ(Cli({"-p", port, "version"}).out, line);
    EXPECT_EQ(Cli({"version", "-p", sim->DevicePath()}).out, line);
    ::setenv("ORBIQA_PORT", port.c_str(), 1);
    const CliResult fromEnvironment = Cli({"version"});
    ::unsetenv("ORBIQA_PORT");
    EXPECT_EQ(fromEnvironment.out, line) << fromEnvironment.err;

    // Messages name the COM name and the device.
    const CliResult missing = Cli({"version", "-p", "/dev/ttyUSB31"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_EQ(missing.err,
              "orbiqa-cli: cannot open COM64 (/dev/ttyUSB31): No such file or directory\n");
    const CliResult unnamed = Cli({"version", "-p", "/dev/null"});
    EXPECT_EQ(unnamed.status, 2);
    EXPECT_THAT(unnamed.err, HasSubstr("/dev/null: no COM name leads to this device"));
    EXPECT_EQ(Cli({"version"}).status, 2);  // no port anywhere

    EXPECT_THAT(Cli({"--version"}).out,
                MatchesRegex("orbiqa-cli [0-9.]+\nmodule key fingerprint [0-9a-f]{8}.*\n"));
}

// A malformed port in the environment is refused by `ports` as by every module command, instead
// of being left out of the list unnoticed.
TEST_F(CliFieldWorkTest, PortsRefusesAMalformedPortInTheEnvironment) {
    for (const char* malformed : {"COMX", "COM999", "rfc2217://no-port", "socket://host:99999"}) {
        ::setenv("ORBIQA_PORT", malformed, 1);
        const CliResult listed = Cli({"ports"});
        const CliResult asked = Cli({"version"});
        CliProcess followed({"ports", "--watch"}, config.Path());
        const int followedStatus = followed.Finish(10000).status;
        ::unsetenv("ORBIQA_PORT");
        EXPECT_EQ(followedStatus, 2) << malformed;
        EXPECT_EQ(listed.status, 2) << malformed << ": " << listed.out;
        EXPECT_EQ(asked.status, 2) << malformed;
        EXPECT_THAT(listed.err, HasSubstr(std::string("'") + malformed + "'"));
    }
    ::setenv("ORBIQA_PORT", "RFC2217://Bench:2217", 1);
    const CliResult listed = Cli({"ports"});
    ::unsetenv("ORBIQA_PORT");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_THAT(listed.out, HasSubstr("  rfc2217://Bench:2217\t(network port)\n"));
}

TEST_F(CliFieldWorkTest, JsonAndTimestampsForScripts) {
    const std::string port =
        StartModule({"--texts", "demo", "--text-interval", "40", "--signal", "17"});
    const QJsonArray ports =
        QJsonDocument::fromJson(QByteArray::fromStdString(Cli({"ports", "--json"}).out)).array();
    bool found = false;
    for (const auto& p : ports) {
        const QJsonObject o = p.toObject();
        if (o["port"].toString().toStdString() != port) continue;
        found = true;
        EXPECT_TRUE(o["present"].toBool());
        EXPECT_EQ(o["device"].toString().toStdString(), sim->LinkPath());
    }
    EXPECT_TRUE(found);

    const QJsonObject version = JsonOf(Cli({"version", "-p", port, "--json"}).out);
    EXPECT_EQ(version["version"].toString(), "ORBIQA-GSM  V1.05  3.2  DataVersion:5");

    const CliResult status = Cli({"status", "-p", port, "--count", "2", "--json", "--timestamps"});
    EXPECT_EQ(status.status, 0) << status.err;
    std::istringstream lines(status.out);
    int count = 0;
    for (std::string l; std::getline(lines, l); ++count) {
        const QJsonObject o = JsonOf(l);
        EXPECT_THAT(o["time"].toString().toStdString(), MatchesRegex(kIsoTime));
        EXPECT_EQ(o["signal"].toInt(), 17);
        EXPECT_TRUE(o["linePresent"].toBool());
    }
    EXPECT_EQ(count, 2);

    const CliResult monitor = Cli({"monitor", "-p", port, "--seconds", "1", "--timestamps"});
    EXPECT_EQ(monitor.status, 0);
    EXPECT_THAT(monitor.out, ContainsRegex("^" + kIsoTime + "\t(1|2|3|DTMF): "));
}

TEST_F(CliFieldWorkTest, OutputThatCannotBeWrittenIsAnError) {
    SaveImage(Path("a.VR3"), ParameterImage());
    const std::string command = modsimtest::BinaryDir() + "/orbiqa-cli show " + Path("a.VR3") +
                                " > /dev/full 2> " + Path("err.txt");
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2);
    const Bytes err = ReadFile(Path("err.txt"));
    EXPECT_EQ(std::string(err.begin(), err.end()),
              "orbiqa-cli: write error: No space left on device\n");
}

TEST_F(CliFieldWorkTest, FieldsAreSetByNameAndKeptAsReviewableText) {
    const std::string file = Path("a.VR3");
    SaveImage(file, ParameterImage());
    const CliResult set =
        Cli({"set", file, "USER1=06301234567", "SMS1=T\xC5\xB1z a rakt\xC3\xA1rban", "CallMax=5"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out,
              "USER1: (empty) -> 06301234567\nCallMax: 255 -> 5\nSMS1: \"\" -> \"T\xC5\xB1z a "
              "rakt\xC3\xA1rban\"\n");
    EXPECT_EQ(Cli({"get", file, "USER1", "SMS1"}).out,
              "06301234567\nT\xC5\xB1z a rakt\xC3\xA1rban\n");

    // A value that breaks a rule leaves the file as it was, even beside good values.
    const Bytes before = ReadFile(file);
    const CliResult refused = Cli({"set", file, "USER2=0620", "Event1=1A30"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err,
              "orbiqa-cli: set: Event1: four symbols 0-9 or *, or nothing for no "
              "code (not '1A30')\n");
    EXPECT_EQ(Cli({"set", file, "Nothing=1"}).status, 2);
    EXPECT_EQ(ReadFile(file), before);
    const CliResult accent = Cli({"set", file, "SMS2=\xC5\xB0r"});
    EXPECT_THAT(accent.err, HasSubstr("SMS2: \"\xC5\xB0\" is stored as \"\xC3\x9C\""));

    // Export, review, edit one line, import: only that field changes.
    ASSERT_EQ(Cli({"export", file, Path("a.txt")}).status, 0);
    const Bytes exported = ReadFile(Path("a.txt"));
    std::string text(exported.begin(), exported.end());
    EXPECT_EQ(Cli({"export", file}).out, text);
    text.replace(text.find("CallMax = 5"), 11, "CallMax = 20");
    WriteFile(Path("b.txt"), Bytes(text.begin(), text.end()));
    ASSERT_EQ(Cli({"import", Path("b.txt"), Path("b.VR3")}).status, 0);
    const CliResult diff = Cli({"diff", file, Path("b.VR3")});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(diff.out, "CallMax: 5 -> 20\n");

    // A malformed line names its line number; the target keeps what it held.
    text.insert(0, "USER1 = 06 30\n");
    WriteFile(Path("c.txt"), Bytes(text.begin(), text.end()));
    const Bytes target = ReadFile(Path("b.VR3"));
    const CliResult malformed = Cli({"import", Path("c.txt"), Path("b.VR3")});
    EXPECT_EQ(malformed.status, 2);
    EXPECT_EQ(malformed.err, "orbiqa-cli: " + Path("c.txt") +
                                 ": line 1: USER1: digits 0-9 only, at most 16 of them\n");
    EXPECT_EQ(ReadFile(Path("b.VR3")), target);

    // A byte no field shows still makes the files differ.
    Bytes raw = ReadFile(file);
    raw[A::SMS(1) + 40] ^= 0x01;
    WriteFile(Path("d.VR3"), raw);
    const CliResult hidden = Cli({"diff", file, Path("d.VR3")});
    EXPECT_EQ(hidden.status, 1);
    EXPECT_THAT(hidden.out, MatchesRegex("@349 \\(block 5, in SMS1\\): 20 -> 21\n"));
}

TEST_F(CliFieldWorkTest, VerifiedWriteReadsTheModuleBack) {
    const std::string port = StartModule();
    const CliResult ok = Cli({"write", memoryFile, "-p", port, "--verify"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, "write: 15 blocks from " + memoryFile + " acknowledged by " + port +
                          " and read back equal\n");

    sim.reset();
    const std::string faulty = StartModule({"--wrong-block", "3"});
    const CliResult bad = Cli({"write", memoryFile, "-p", faulty, "--verify"});
    EXPECT_EQ(bad.status, 4);
    EXPECT_THAT(bad.err, HasSubstr("write: verify: the module answered the request for block 3 "
                                   "with another block (3 of 15 blocks read back)"));
}

TEST_F(CliFieldWorkTest, LostDeviceAndInterruptSayHowManyBlocksWereWritten) {
    // The module hangs up after a few acknowledgements: reported at once, not after 8 s.
    const std::string port = StartModule({"--hangup-after", "100"});
    const auto start = std::chrono::steady_clock::now();
    const CliResult lost = Cli({"write", memoryFile, "-p", port});
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(lost.status, 3);
    EXPECT_THAT(lost.err, ContainsRegex("write: " + port +
                                        " \\([^)]*\\): the device went away at block [0-9]+ "
                                        "\\([0-9]+ of 15 blocks written\\)"));
    EXPECT_LT(elapsed, std::chrono::seconds(6));

    sim.reset();
    const std::string slow = StartModule({"--reply-delay", "300"});
    CliProcess write({"write", memoryFile, "-p", slow}, config.Path());
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ::kill(write.Pid(), SIGINT);
    const CliResult interrupted = write.Finish(10000);
    EXPECT_EQ(interrupted.status, 130);
    EXPECT_THAT(
        interrupted.err,
        ContainsRegex("write: interrupted at block [0-9]+ \\([0-9]+ of 15 blocks written\\)"));
    EXPECT_EQ(Cli({"version", "-p", slow}).status, 0);  // the port was released
}

TEST_F(CliFieldWorkTest, ProvisionWritesEveryModuleWithItsOwnValuesAndKeepsARecord) {
    std::vector<std::string> ports;
    for (int i = 0; i < 3; ++i) {
        WriteFile(Path("m" + std::to_string(i) + ".VR3"), moduleBytes);
        ports.push_back(AddModule(Path("m" + std::to_string(i) + ".VR3")).ComName());
    }
    const std::string csv = "port,USER1,SMS1\n" + ports[0] + ",06301111111,Bolt\n" + ports[1] +
                            ",06302222222,\"Rakt\xC3\xA1r, h\xC3\xA1ts\xC3\xB3\"\n" + ports[2] +
                            ",06303333333,Iroda\n";
    WriteFile(Path("each.csv"), Bytes(csv.begin(), csv.end()));
    SaveImage(Path("template.VR3"), ParameterImage());
    const CliResult r = Cli({"provision", Path("template.VR3"), "--set", "CallMax=9", "--each",
                             Path("each.csv"), "--report", Path("report.csv")});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    for (const auto& port : ports)
        EXPECT_THAT(r.out, ContainsRegex(port + " \\([^)]*\\): ok, written and verified \\("));
    EXPECT_THAT(r.out, HasSubstr("provision: 3 of 3 modules written and verified\n"));

    const char* numbers[] = {"06301111111", "06302222222", "06303333333"};
    for (int i = 0; i < 3; ++i) {
        const ParameterImage memory = LoadImage(Path("m" + std::to_string(i) + ".VR3"));
        EXPECT_EQ(Digits(memory, A::USER1), numbers[i]);
        EXPECT_EQ(memory[A::CallMax], 9);
    }
    const Bytes report = ReadFile(Path("report.csv"));
    const std::string reportText(report.begin(), report.end());
    EXPECT_THAT(reportText, HasSubstr("port,device,CallMax,USER1,SMS1,outcome,status,failed_block,"
                                      "seconds,finished\r\n"));
    EXPECT_THAT(reportText, ContainsRegex(ports[1] +
                                          ",[^,]*,9,06302222222,\"Rakt\xC3\xA1r, "
                                          "h\xC3\xA1ts\xC3\xB3\",ok,0,,[0-9.]+," +
                                          kIsoTime));

    const QJsonObject json = JsonOf(
        Cli({"provision", Path("template.VR3"), "-p", ports[2], "--set", "USER2=0620", "--json"})
            .out);
    EXPECT_EQ(json["complete"].toInt(), 1);
    const QJsonObject module = json["modules"].toArray()[0].toObject();
    EXPECT_TRUE(module["ok"].toBool());
    EXPECT_EQ(module["set"].toObject()["USER2"].toString(), "0620");
}

TEST_F(CliFieldWorkTest, ProvisionGoesOnPastAFailedModule) {
    WriteFile(Path("good.VR3"), moduleBytes);
    WriteFile(Path("bad.VR3"), moduleBytes);
    const std::string good = AddModule(Path("good.VR3")).ComName();
    const std::string bad = AddModule(Path("bad.VR3"), {"--no-ack-from-block", "2"}).ComName();
    SaveImage(Path("template.VR3"), ParameterImage());
    const CliResult r = Cli({"provision", Path("template.VR3"), "-p", good, "-p", bad});
    EXPECT_EQ(r.status, 4);
    EXPECT_THAT(r.out, ContainsRegex(good + " \\([^)]*\\): ok, written and verified"));
    EXPECT_THAT(r.out, HasSubstr("FAILED: the module did not acknowledge block 2 (2 of 15 blocks "
                                 "written)"));
    EXPECT_THAT(
        r.out,
        HasSubstr("provision: 1 of 2 modules written and verified; not complete: " + bad + "\n"));
}

TEST_F(CliFieldWorkTest, ProvisionRefusesABadBatchBeforeTouchingAnyModule) {
    WriteFile(Path("m.VR3"), moduleBytes);
    const std::string port = AddModule(Path("m.VR3")).ComName();
    SaveImage(Path("template.VR3"), ParameterImage());
    const std::string t = Path("template.VR3");

    const CliResult beyond = Cli({"provision", t, "-p", port, "--set", "PanelID=5"});
    EXPECT_EQ(beyond.status, 2);
    EXPECT_THAT(beyond.err, HasSubstr("PanelID lives in bytes 960..1087, which never reach the "
                                      "module"));
    const std::string csv = "port,USER1\n" + port + ",06a\n";
    WriteFile(Path("each.csv"), Bytes(csv.begin(), csv.end()));
    const CliResult badValue = Cli({"provision", t, "--each", Path("each.csv")});
    EXPECT_EQ(badValue.status, 2);
    EXPECT_THAT(badValue.err, HasSubstr("each.csv line 2: USER1: digits 0-9 only"));
    EXPECT_EQ(Cli({"provision", t, "-p", port, "-p", "COM5", "--each", Path("each.csv")}).status,
              2);
    EXPECT_EQ(Cli({"provision", t, "-p", port, "-p", port}).status, 2);
    EXPECT_EQ(Cli({"provision", t, "-p", port, "--report", Path("none/r.csv")}).status, 2);
    EXPECT_EQ(ReadFile(Path("m.VR3")), moduleBytes);
}

TEST_F(CliFieldWorkTest, InterruptedProvisionSaysWhichModulesAreComplete) {
    WriteFile(Path("fast.VR3"), moduleBytes);
    WriteFile(Path("slow.VR3"), moduleBytes);
    const std::string fast = AddModule(Path("fast.VR3")).ComName();
    const std::string slow = AddModule(Path("slow.VR3"), {"--reply-delay", "300"}).ComName();
    SaveImage(Path("template.VR3"), ParameterImage());
    CliProcess batch({"provision", Path("template.VR3"), "-p", fast, "-p", slow}, config.Path());
    ASSERT_TRUE(batch.WaitForOutput("ok, written and verified", 10000));
    ::kill(batch.Pid(), SIGINT);
    const CliResult r = batch.Finish(10000);
    EXPECT_EQ(r.status, 130);
    EXPECT_THAT(r.out, ContainsRegex(slow + " \\([^)]*\\): FAILED: interrupted at block"));
    EXPECT_THAT(r.err, HasSubstr("provision: interrupted; complete: " + fast + "\n"));
}

}  // namespace
