// orbiqa-cli as a script runs it: the built program against orbiqa-modsim on a pseudo-terminal,
// with the simulator's faults, judged by exit status and output.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdlib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "CliFixture.h"
#include "params/EEAddr.h"
#include "params/ImageFields.h"
#include "transfer/ParameterFile.h"

namespace {

namespace fs = std::filesystem;
using clitest::CliProcess;
using clitest::CliResult;
using modsimtest::SimProcess;
using modsimtest::TempDir;
using orbiqa::ParameterImage;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::StartsWith;
using namespace clitest;

TEST_F(CliEndToEndTest, ReadSavesTheModuleBlocksWithAZeroTail) {
    const std::string port = StartModule();
    const std::string out = Path("read.VR3");
    const CliResult r = Cli({"read", out, "--port", port});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "read: 15 blocks from " + port + " saved to " + out + "\n");
    EXPECT_THAT(r.err, IsEmpty());  // no progress bar into a pipe
    const Bytes file = ReadFile(out);
    ASSERT_EQ(file.size(), kImageSize);
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + kModuleBytes, moduleBytes.begin()));
    EXPECT_TRUE(std::all_of(file.begin() + kModuleBytes, file.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

TEST_F(CliEndToEndTest, ProgressBarIsDrawnOnlyAtATerminal) {
    const std::string port = StartModule();
    const CliResult r = Cli({"compare", memoryFile, "--port", port}, true);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("\rcompare [#.............."));
    EXPECT_THAT(r.err, HasSubstr("\rcompare [###############] 15/15"));
    EXPECT_EQ(r.out, "compare: " + port + " equals " + memoryFile + " (15 blocks)\n");
}

TEST_F(CliEndToEndTest, CompareNamesTheFirstBlockThatDiffers) {
    const std::string port = StartModule();
    Bytes file = moduleBytes;
    file[3 * 64 + 10] ^= 0x01;  // 202: inside PhnrEnabled4
    file[7 * 64] ^= 0x01;       // 448: inside SMS4
    file[1000] ^= 0xFF;         // beyond the module's memory: never compared
    WriteFile(Path("changed.VR3"), file);
    const CliResult r = Cli({"compare", Path("changed.VR3"), "--port", port});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, IsEmpty());
    // Every differing block is named, and what differs in it: here bytes that the fields hold
    // behind their values.
    EXPECT_EQ(r.err, "orbiqa-cli: compare: " + port + " differs from " + Path("changed.VR3") +
                         " in blocks 3, 7: @202 (block 3, in PhnrEnabled4), @448 (block 7, in "
                         "SMS4)\n");

    file = moduleBytes;
    file[1000] ^= 0xFF;
    WriteFile(Path("tail.VR3"), file);
    EXPECT_EQ(Cli({"compare", Path("tail.VR3"), "--port", port}).status, 0);
}

TEST_F(CliEndToEndTest, SilentModuleFailsNamingTheBlockAndWritesNoFile) {
    const std::string port = StartModule({"--silent-from-block", "4"});
    const CliResult r = Cli({"read", Path("partial.VR3"), "--port", port});
    EXPECT_EQ(r.status, 4);
    EXPECT_THAT(r.err, HasSubstr("read: the module did not answer for block 4 (4 of 15 blocks "
                                 "read); " +
                                 Path("partial.VR3") + " not written"));
    EXPECT_FALSE(fs::exists(Path("partial.VR3")));
}

TEST_F(CliEndToEndTest, AnswerForAnotherBlockFailsNamingTheBlock) {
    const std::string port = StartModule({"--wrong-block", "2"});
    const CliResult r = Cli({"compare", memoryFile, "--port", port});
    EXPECT_EQ(r.status, 4);
    EXPECT_THAT(
        r.err,
        HasSubstr(
            "compare: the module answered the request for block 2 with another block (2 of 15"));
}

TEST_F(CliEndToEndTest, MissingAcknowledgementFailsNamingTheBlock) {
    const std::string port = StartModule({"--no-ack-from-block", "6"});
    const CliResult r = Cli({"write", memoryFile, "--port", port});
    EXPECT_EQ(r.status, 4);
    EXPECT_THAT(
        r.err, HasSubstr("write: the module did not acknowledge block 6 (6 of 15 blocks written)"));
}

TEST_F(CliEndToEndTest, VersionPrintsTheInfoLine) {
    const std::string port =
        StartModule({"--version-text", "ACME-GSM;V9.99;2030-01-01;7.1", "--data-version", "258"});
    const CliResult r = Cli({"version", "--port", port});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ACME-GSM  V9.99  7.1  DataVersion:258\n");
}

TEST_F(CliEndToEndTest, StatusPrintsEachDecodedStatusMessage) {
    const std::string port =
        StartModule({"--status-flags", "17", "--signal", "31", "--line-state", "2"});
    const CliResult r = Cli({"status", "--port", port, "--count", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string line =
        "IN1=R\xC3\xB6vidz\xC3\xA1r\tline=Vonal rendben\tGSM=Kimen\xC5\x91 h\xC3\xADv\xC3\xA1s "
        "folyamatban\tcode=2\tsignal=31\n";
    EXPECT_EQ(r.out, line + line);
}

TEST_F(CliEndToEndTest, ModuleUnderAnotherKeyIsToldApartFromASilentOne) {
    // Under another key nothing the module sends is valid, but frames do arrive.
    const std::string port = StartModule({"--wrong-key"});
    const std::string note =
        "frames arrived but none could be deciphered: the module probably "
        "uses another key (this program's key fingerprint is ";
    const CliResult status = Cli({"status", "--port", port, "--count", "1"});
    EXPECT_EQ(status.status, 4);
    EXPECT_THAT(status.err,
                HasSubstr(port + ": the module did not answer the status poll for 5 s; "));
    EXPECT_THAT(status.err, HasSubstr(note));
    const CliResult version = Cli({"version", "--port", port});
    EXPECT_EQ(version.status, 4);
    EXPECT_THAT(version.err, HasSubstr("did not answer the version request (block 254); "));
    EXPECT_THAT(version.err, HasSubstr(note));
    const std::string fingerprint = Cli({"--version"}).out;
    EXPECT_THAT(fingerprint, HasSubstr(version.err.substr(version.err.size() - 10, 8)));

    // A module that sends nothing at all gets no such note.
    sim.reset();
    const std::string silent = StartModule({"--silent-from-block", "0"});
    const CliResult read = Cli({"read", Path("x.VR3"), "-p", silent});
    EXPECT_EQ(read.status, 4);
    EXPECT_THAT(read.err, ::testing::Not(HasSubstr("frames arrived")));
}

TEST_F(CliEndToEndTest, ModuleThatSendsNothingIsToldApartFromOneUnderAnotherKey) {
    // Not even the status poll after the unanswered request gets an answer.
    const std::string port = StartModule({"--silent"});
    const std::string note =
        "; nothing arrived from the module, not even an answer to the status poll (is it "
        "connected and powered?)";
    const CliResult version = Cli({"version", "--port", port});
    EXPECT_EQ(version.status, 4);
    EXPECT_THAT(version.out, IsEmpty());
    EXPECT_EQ(version.err, "orbiqa-cli: " + port +
                               ": the module did not answer the version request (block 254)" +
                               note + "\n");

    const CliResult read = Cli({"read", Path("x.VR3"), "--port", port});
    EXPECT_EQ(read.status, 4);
    EXPECT_THAT(read.err, HasSubstr("read: the module did not answer for block 0 (0 of 15 blocks "
                                    "read)"));
    EXPECT_THAT(read.err, HasSubstr(note));
    EXPECT_THAT(read.err, ::testing::Not(HasSubstr("frames arrived")));
    EXPECT_FALSE(fs::exists(Path("x.VR3")));

    // The status command polls by itself: five seconds of polls without one frame say the same.
    const CliResult status = Cli({"status", "--port", port, "--count", "1"});
    EXPECT_EQ(status.status, 4);
    EXPECT_THAT(status.out, IsEmpty());
    EXPECT_EQ(status.err, "orbiqa-cli: " + port + ": the module did not answer the status poll for 5 s" +
                              note + "\n");
}

TEST_F(CliEndToEndTest, MonitorPrintsWholeLinesByChannel) {
    const std::string port = StartModule({"--texts", "demo", "--text-interval", "40"});
    const CliResult r = Cli({"monitor", "--port", port, "--seconds", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::set<std::string> channels;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_THAT(line, MatchesRegex("(1|2|3|DTMF): .*")) << line;
        EXPECT_EQ(line.find('\r'), std::string::npos);
        channels.insert(line.substr(0, line.find(':')));
    }
    EXPECT_EQ(channels, (std::set<std::string>{"1", "2", "3", "DTMF"})) << r.out;
    EXPECT_THAT(r.out,
                HasSubstr("1: H\xC3\xADv\xC3\xA1s v\xC3\xA9ge.\n"));  // UTF-8, not Windows-1250
}

TEST_F(CliEndToEndTest, InterruptEndsMonitoringAndReleasesThePort) {
    const std::string port = StartModule({"--texts", "demo", "--text-interval", "40"});
    CliProcess monitor({"monitor", "--port", port}, config.Path());
    ASSERT_TRUE(monitor.WaitForOutput(": ", 10000));
    // While it holds the port, nobody else gets it.
    const CliResult busy = Cli({"version", "--port", port});
    EXPECT_EQ(busy.status, 3);
    EXPECT_THAT(busy.err, HasSubstr("cannot open " + port));
    EXPECT_THAT(busy.err, HasSubstr("Device or resource busy"));

    ::kill(monitor.Pid(), SIGINT);
    EXPECT_EQ(monitor.Finish(10000).status, 0);
    const CliResult after = Cli({"version", "--port", port});
    EXPECT_EQ(after.status, 0) << after.err;
}

TEST_F(CliEndToEndTest, PortThatCannotBeOpenedIsExitThreeWithTheReason) {
    const std::string links = config.Path() + "/orbiqa/ports";
    fs::create_directories(links);
    fs::create_symlink(files.Path() + "/no-such-device", links + "/COM5");
    const CliResult r = Cli({"read", Path("x.VR3"), "--port", "COM5"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err,
              "orbiqa-cli: cannot open COM5 (" + links + "/COM5): No such file or directory\n");
    EXPECT_FALSE(fs::exists(Path("x.VR3")));
}

TEST_F(CliEndToEndTest, UsageErrorsAreExitTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"read", "--port", "COM5"},
        {"read", "a.VR3"},
        {"read", "a.VR3", "b.VR3", "--port", "COM5"},
        {"write", "a.VR3", "--port", "COM0"},
        {"status", "--port", "COM5", "--count", "0"},
        {"monitor", "--port", "COM5", "--seconds", "x"},
        {"show", "a.VR3", "--port", "COM5"},
        {"diff", "a.VR3"},
        {"ports", "--colour"},
        {"-p", "COM5"},
        {"get", "a.VR3"},
        {"help", "nothing"},
    };
    for (const auto& args : cases) {
        const CliResult r = Cli(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_THAT(r.out, IsEmpty()) << ::testing::PrintToString(args);
        EXPECT_THAT(r.err, HasSubstr("orbiqa-cli")) << ::testing::PrintToString(args);
    }
    const CliResult help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command :
         {"ports", "version", "status", "monitor", "read", "write", "compare", "show", "diff"})
        EXPECT_THAT(help.out, HasSubstr("\n  " + std::string(command) + " ")) << command;
    const CliResult readHelp = Cli({"read", "--help"});
    EXPECT_EQ(readHelp.status, 0);
    EXPECT_THAT(readHelp.out, StartsWith("Usage: orbiqa-cli read FILE.VR3 -p PORT\n"));
    EXPECT_THAT(help.out, HasSubstr("  4  the module did not answer or did not acknowledge\n"));
}

TEST_F(CliEndToEndTest, FilesThatCannotBeReadWholeAreExitTwoBeforeThePortIsTouched) {
    const std::string port = StartModule();
    WriteFile(Path("short.VR3"), Bytes(100, 0));
    const CliResult missing = Cli({"write", Path("none.VR3"), "--port", port});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "orbiqa-cli: " + Path("none.VR3") + ": No such file or directory\n");
    const CliResult shortFile = Cli({"compare", Path("short.VR3"), "--port", port});
    EXPECT_EQ(shortFile.status, 2);
    EXPECT_EQ(shortFile.err,
              "orbiqa-cli: " + Path("short.VR3") + ": file too short (100 of 1088 bytes)\n");
    // The file is checked first: the port named here does not even exist.
    EXPECT_EQ(Cli({"write", Path("short.VR3"), "--port", "COM7"}).status, 2);
    EXPECT_EQ(Cli({"show", Path("short.VR3")}).status, 2);
    EXPECT_EQ(Cli({"diff", memoryFile, Path("none.VR3")}).status, 2);
    EXPECT_EQ(ReadFile(memoryFile), moduleBytes);

    // The output folder is checked before the port is opened: the port need not even exist.
    const CliResult unwritable = Cli({"read", Path("no-folder/read.VR3"), "--port", "COM7"});
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_EQ(unwritable.err,
              "orbiqa-cli: " + Path("no-folder/read.VR3") + ": No such file or directory\n");
}

TEST_F(CliEndToEndTest, ShowAndDiffDecodeFilesByField) {
    ParameterImage a;
    orbiqa::StoreDigitField(a, orbiqa::EEAddr::AUTODIAL, {"0", "6", "3", "0"},
                            orbiqa::EEAddr::LongNumberDigits);
    orbiqa::StoreEventCode(a, orbiqa::EEAddr::Event(1), {"1", "1", "3", "0"});
    orbiqa::StoreSmsText(a, orbiqa::EEAddr::SMS(1), "T\xFBzjelz\xE9s");  // Tűzjelzés
    orbiqa::StorePlainText(a, orbiqa::EEAddr::APN, "internet", orbiqa::EEAddr::ApnCapacity);
    a[orbiqa::EEAddr::GPRSmode] = 1;
    orbiqa::StoreWord(a, orbiqa::EEAddr::PanelID, 300);
    SaveImage(Path("a.VR3"), a);
    ParameterImage b = a;
    orbiqa::StoreSmsText(b, orbiqa::EEAddr::SMS(1), "Bet\xF6r\xE9s");  // Betörés
    b[orbiqa::EEAddr::GPRSmode] = 0;
    SaveImage(Path("b.VR3"), b);

    const CliResult show = Cli({"show", Path("a.VR3")});
    EXPECT_EQ(show.status, 0);
    EXPECT_THAT(show.out, StartsWith("AUTODIAL:              0630\nSMSFW1:\n"));
    EXPECT_THAT(
        show.out,
        HasSubstr(
            "\nEvent1:                1130\nSMS1:                  \"T\xC5\xB1zjelz\xC3\xA9s\"\n"));

    const QJsonObject fields = JsonOf(Cli({"show", Path("a.VR3"), "--json"}).out);
    EXPECT_EQ(fields.size(), 48);
    EXPECT_EQ(fields["AUTODIAL"].toString(), "0630");
    EXPECT_EQ(fields["SMS1"].toString(), QString::fromUtf8("Tűzjelzés"));
    EXPECT_EQ(fields["APN"].toString(), "internet");
    EXPECT_EQ(fields["GPRSmode"].toBool(), true);
    EXPECT_EQ(fields["PanelID"].toInt(), 300);
    EXPECT_EQ(fields["Receiver1"].toString(), "255.255.255.255:65535");

    const CliResult diff = Cli({"diff", Path("a.VR3"), Path("b.VR3")});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(
        diff.out,
        "SMS1: \"T\xC5\xB1zjelz\xC3\xA9s\" -> \"Bet\xC3\xB6r\xC3\xA9s\"\nGPRSmode: on -> off\n");
    const QJsonObject diffJson = JsonOf(Cli({"diff", Path("a.VR3"), Path("b.VR3"), "--json"}).out);
    EXPECT_FALSE(diffJson["equal"].toBool());
    const QJsonArray differences = diffJson["differences"].toArray();
    ASSERT_EQ(differences.size(), 2);
    EXPECT_EQ(differences[1].toObject()["field"].toString(), "GPRSmode");
    EXPECT_EQ(differences[1].toObject()["a"].toBool(), true);

    const CliResult same = Cli({"diff", Path("a.VR3"), Path("a.VR3")});
    EXPECT_EQ(same.status, 0);
    EXPECT_THAT(same.out, IsEmpty());
}

TEST_F(CliEndToEndTest, ScriptReadsChangesWritesAndCompares) {
    const std::string port = StartModule();
    ASSERT_EQ(Cli({"read", Path("before.VR3"), "--port", port}).status, 0);

    ParameterImage image = LoadImage(Path("before.VR3"));
    orbiqa::StoreDigitField(image, orbiqa::EEAddr::USER2, {"0", "6", "2", "0", "5", "5", "5"},
                            orbiqa::EEAddr::LongNumberDigits);
    orbiqa::StoreSmsText(image, orbiqa::EEAddr::SMS(3), "\xDAj sz\xF6veg");  // Új szöveg
    SaveImage(Path("after.VR3"), image);

    const CliResult write = Cli({"write", Path("after.VR3"), "--port", port});
    ASSERT_EQ(write.status, 0) << write.err;
    EXPECT_EQ(write.out,
              "write: 15 blocks from " + Path("after.VR3") + " acknowledged by " + port + "\n");
    EXPECT_EQ(Cli({"compare", Path("after.VR3"), "--port", port}).status, 0);
    const CliResult old = Cli({"compare", Path("before.VR3"), "--port", port});
    EXPECT_EQ(old.status, 1);
    EXPECT_THAT(old.err, HasSubstr("in blocks 1, 6: USER2, SMS3\n"));  // USER2 lies at 68..84

    const CliResult diff = Cli({"diff", Path("before.VR3"), Path("after.VR3")});
    EXPECT_EQ(diff.status, 1);
    EXPECT_THAT(diff.out,
                MatchesRegex("USER2: .* -> 0620555\nSMS3: .* -> \"\xC3\x9Aj sz\xC3\xB6veg\"\n"));
    // The simulated module saved what it was given.
    const Bytes memory = ReadFile(memoryFile);
    EXPECT_TRUE(std::equal(memory.begin(), memory.begin() + kModuleBytes, image.begin()));
}

TEST_F(CliEndToEndTest, PortsListsThePublishedSimulatorAsPresent) {
    const std::string port = StartModule();
    const CliResult r = Cli({"ports"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("+ Pseudo terminal - pts/"));
    EXPECT_THAT(r.out, HasSubstr(" (" + port + ")\t(Orbiqa port link)\n"));
}

// ports --watch as a script follows a bench: the simulator started and killed with SIGKILL, a
// link made and removed by hand. The lines of the machine's own ports are left aside.
TEST_F(CliEndToEndTest, PortsWatchFollowsArrivalsAndRemovalsAndRefusesADeadMakersLink) {
    const std::string links = config.Path() + "/orbiqa/ports";
    fs::create_directories(links);
    // A link made by hand to a terminal of the test's own.
    const int bench = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(bench >= 0 && ::grantpt(bench) == 0 && ::unlockpt(bench) == 0);
    const std::string benchTerminal = ::ptsname(bench);
    const std::string com3 = "Pseudo terminal - " + benchTerminal.substr(5) + " (COM3)\t(Orbiqa port link)\n";
    fs::create_symlink(benchTerminal, links + "/COM3");
    CliProcess watch({"ports", "--watch"}, config.Path());
    CliProcess json({"ports", "--watch", "--json"}, config.Path());
    // The starting list: the watch is running once it is printed.
    ASSERT_TRUE(watch.WaitForOutput("+ " + com3, 20000));
    ASSERT_TRUE(json.WaitForOutput(
        "{\"event\": \"arrived\", \"port\": \"COM3\", \"device\": \"" + links + "/COM3\", \"present\": true", 20000));

    const std::string port = StartModule();
    const std::string terminal = sim->DevicePath();
    const std::string line = "Pseudo terminal - " + terminal.substr(5) + " (" + port + ")\t(Orbiqa port link)\n";
    ASSERT_TRUE(watch.WaitForOutput("+ " + line, 20000)) << watch.Finish(0).out;
    ASSERT_TRUE(json.WaitForOutput("\"port\": \"" + port + "\"", 20000));

    // Killed, the simulator leaves its link behind; its terminal's number may go to another
    // program, which the test plays by taking it when it can.
    ::kill(sim->Pid(), SIGKILL);
    ASSERT_TRUE(sim->Wait(10000).has_value());
    std::vector<int> terminals;
    for (int i = 0; i < 64; ++i) {
        const int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (fd < 0) break;
        terminals.push_back(fd);
        if (::grantpt(fd) == 0 && ::unlockpt(fd) == 0 && terminal == ::ptsname(fd)) break;
    }
    ASSERT_TRUE(fs::is_symlink(links + "/" + port));
    ASSERT_TRUE(watch.WaitForOutput("- " + line, 20000)) << watch.Finish(0).out;
    const CliResult listed = Cli({"ports"});
    EXPECT_THAT(listed.out, HasSubstr("- " + line));
    const CliResult refused = Cli({"version", "--port", port});
    EXPECT_EQ(refused.status, 3);
    EXPECT_THAT(refused.err, HasSubstr("was made by a program that has ended (process " +
                                       std::to_string(sim->Pid()) + ")"));
    for (int fd : terminals) ::close(fd);

    fs::remove(links + "/COM3");
    ::close(bench);
    ASSERT_TRUE(watch.WaitForOutput("- " + com3, 20000));
    ASSERT_TRUE(json.WaitForOutput("{\"event\": \"removed\", \"port\": \"COM3\"", 20000));
    ::kill(watch.Pid(), SIGINT);
    ::kill(json.Pid(), SIGTERM);
    EXPECT_EQ(watch.Finish(10000).status, 0);
    EXPECT_EQ(json.Finish(10000).status, 0);
}

}  // namespace
