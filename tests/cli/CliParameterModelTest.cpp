// orbiqa-cli with the files people really bring: texts taken for images, exports edited by hand,
// spreadsheets saved the Hungarian way, records that cannot be kept, and a module under another
// key.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "CliFixture.h"
#include "params/FieldCatalog.h"

namespace {

using namespace clitest;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class CliParameterModelTest : public CliEndToEndTest {
protected:
    SimProcess& AddModule(const std::string& memory, std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--fast", "--texts", "off", "--memory", memory});
        modules.push_back(std::make_unique<SimProcess>(options, config.Path() + "/orbiqa/ports"));
        return *modules.back();
    }
    void Put(const std::string& name, const std::string& text) {
        WriteFile(Path(name), Bytes(text.begin(), text.end()));
    }
    std::vector<std::unique_ptr<SimProcess>> modules;
};

TEST_F(CliParameterModelTest, ATextOrAFileOfAnotherSizeNeverGoesToAModule) {
    const std::string port = StartModule();
    SaveImage(Path("a.VR3"), ParameterImage());
    ASSERT_EQ(Cli({"export", Path("a.VR3"), Path("a.txt")}).status, 0);
    for (const auto& command : {"write", "compare"}) {
        const CliResult r = Cli({command, Path("a.txt"), "-p", port});
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_THAT(r.err, HasSubstr("a.txt: this is a parameter set's text form, not a "
                                     "parameter file (orbiqa-cli import"));
    }
    EXPECT_EQ(Cli({"provision", Path("a.txt"), "-p", port}).status, 2);
    EXPECT_EQ(Cli({"show", Path("a.txt")}).status, 2);
    Bytes longer(1100, 0x20);
    WriteFile(Path("long.bin"), longer);
    const CliResult r = Cli({"write", Path("long.bin"), "-p", port, "--verify"});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("not a parameter file: longer than the 1088 bytes"));
    EXPECT_EQ(ReadFile(memoryFile), moduleBytes);  // nothing reached the module

    const Bytes image = ReadFile(Path("a.VR3"));
    const CliResult onto = Cli({"export", Path("a.VR3"), Path("a.VR3")});
    EXPECT_EQ(onto.status, 2);
    EXPECT_THAT(onto.err, HasSubstr("is the parameter file itself"));
    EXPECT_EQ(ReadFile(Path("a.VR3")), image);
}

TEST_F(CliParameterModelTest, AnEditedExportKeepsTheEditAndAShortTextSaysWhatItLeftOut) {
    SaveImage(Path("erased.VR3"), ParameterImage());
    std::string text = Cli({"export", Path("erased.VR3")}).out;
    text.replace(text.find("\nUSER1 =\n"), 9, "\nUSER1 = 06301234567\n");
    text.replace(text.find("\nSMS1 = \"\"\n"), 11, "\nSMS1 = \"Riaszt\xC3\xA1s\"\n");
    Put("edited.txt", text);
    const CliResult imported = Cli({"import", Path("edited.txt"), Path("edited.VR3")});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_THAT(imported.err, IsEmpty());
    EXPECT_EQ(Cli({"get", Path("edited.VR3"), "USER1", "SMS1"}).out,
              "06301234567\nRiaszt\xC3\xA1s\n");

    Put("short.txt", "USER1 = 0630\r");
    const CliResult partial = Cli({"import", Path("short.txt"), Path("short.VR3")});
    ASSERT_EQ(partial.status, 0) << partial.err;
    EXPECT_THAT(partial.err, HasSubstr("gives 47 of 48 fields neither by a field line nor by "
                                       "bytes; they hold what an erased module holds: AUTODIAL"));
    EXPECT_EQ(Cli({"get", Path("short.VR3"), "USER1"}).out, "0630\n");
}

// Each of these texts would import with an edit silently lost; each is refused with its lines,
// and no file is written.
TEST_F(CliParameterModelTest, AnImportThatWouldLoseAnEditIsRefusedWithItsLines) {
    ParameterImage image;
    ASSERT_EQ(orbiqa::SetFieldValue(image, "CallMax", "5"), std::nullopt);
    SaveImage(Path("base.VR3"), image);
    const std::string text = Cli({"export", Path("base.VR3")}).out;
    const auto lineOf = [&](const std::string& start) {
        return std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(text.find("\n" + start)), '\n') + 2;
    };
    const auto user1 = text.find("\nUSER1 =");
    Put("twice.txt", text.substr(0, user1) + "\nUSER1 = 555" + text.substr(user1));
    Put("byte.txt", text + "@282 = 07\n");
    Put("header.txt", text.substr(0, text.find('\n') + 1));
    Put("cp1250.txt", "SMS1 = \"Riaszt\xE1s\"\n");
    const std::pair<const char*, std::string> cases[] = {
        {"twice.txt", "line " + std::to_string(lineOf("USER1 =") + 1) + ": USER1 is set again; line " +
                          std::to_string(lineOf("USER1 ="))},
        {"byte.txt", "gives CallMax the value 7, but line " + std::to_string(lineOf("CallMax =")) + " sets it to 5"},
        {"header.txt", "the text sets no field"},
        {"cp1250.txt", "line 1: the text is not UTF-8"},
    };
    for (const auto& [name, message] : cases) {
        const CliResult r = Cli({"import", Path(name), Path("out.VR3")});
        EXPECT_EQ(r.status, 2) << name;
        EXPECT_THAT(r.err, HasSubstr(message)) << name;
        EXPECT_FALSE(fs::exists(Path("out.VR3"))) << name;
    }
}

TEST_F(CliParameterModelTest, ABatchSummaryNamesTheFirstFailuresAndCountsTheRest) {
    SaveImage(Path("template.VR3"), ParameterImage());
    std::vector<std::string> args{"provision", Path("template.VR3")};
    for (int n = 200; n < 213; ++n) args.insert(args.end(), {"-p", "COM" + std::to_string(n)});
    const CliResult r = Cli(args);
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.out, HasSubstr("provision: 0 of 13 modules written and verified; not complete: COM200, "
                                 "COM201, COM202, COM203, COM204, COM205, COM206, COM207, COM208, COM209 "
                                 "and 3 more\n"));
}

TEST_F(CliParameterModelTest, ASpreadsheetSavedTheHungarianWayProvisionsItsModules) {
    WriteFile(Path("m.VR3"), moduleBytes);
    const std::string port = AddModule(Path("m.VR3")).ComName();
    SaveImage(Path("template.VR3"), ParameterImage());
    // Semicolons, Windows-1250 ("Riasztás: Kovács bolt"), the header in other letter case, and
    // the separator a spreadsheet leaves at the end of each line.
    Put("each.csv", "Port;user1;SMS1;\r\n" + port +
                        ";06301111111;Riaszt\xE1s: Kov\xE1"
                        "cs bolt;\r\n");
    const CliResult r = Cli({"provision", Path("template.VR3"), "--each", Path("each.csv")});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(Cli({"get", Path("m.VR3"), "USER1", "SMS1"}).out,
              "06301111111\nRiaszt\xC3\xA1s: Kov\xC3\xA1"
              "cs bolt\n");

    Put("twice.csv", "port,USER1,user1\n" + port + ",0620,0630\n");
    const Bytes before = ReadFile(Path("m.VR3"));
    const CliResult twice = Cli({"provision", Path("template.VR3"), "--each", Path("twice.csv")});
    EXPECT_EQ(twice.status, 2);
    EXPECT_THAT(twice.err, HasSubstr("the header names USER1 twice (columns 2 and 3)"));
    Put("ports.csv", "port,port\n" + port + "," + port + "\n");
    EXPECT_THAT(Cli({"provision", Path("template.VR3"), "--each", Path("ports.csv")}).err,
                HasSubstr("the header names port twice"));
    EXPECT_EQ(ReadFile(Path("m.VR3")), before);
}

TEST_F(CliParameterModelTest, ARecordThatCannotBeSavedComesAfterTheResults) {
    WriteFile(Path("m.VR3"), moduleBytes);
    const std::string port = AddModule(Path("m.VR3")).ComName();
    SaveImage(Path("template.VR3"), ParameterImage());
    const CliResult r = Cli(
        {"provision", Path("template.VR3"), "-p", port, "-p", "COM55", "--report", "/dev/full"});
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.out, ContainsRegex(port + " \\([^)]*\\): ok, written and verified"));
    EXPECT_THAT(r.out, HasSubstr("provision: 1 of 2 modules written and verified; not complete: "
                                 "COM55\n"));
    // The failed module's line names its port once.
    EXPECT_THAT(r.out, ContainsRegex("COM55[^:]*: FAILED: cannot open: "));
    EXPECT_THAT(r.err, HasSubstr("provision: the report was not saved: /dev/full: No space left "
                                 "on device"));
    // The same record as JSON is printed whole before the report fails.
    const CliResult json = Cli({"provision", Path("template.VR3"), "-p", port, "-p", "COM55",
                                "--report", "/dev/full", "--json"});
    EXPECT_EQ(json.status, 3);
    EXPECT_THAT(json.out, HasSubstr("\"complete\": 1,\n  \"total\": 2\n}\n"));
    EXPECT_THAT(json.out, HasSubstr("\"port\": \"COM55\""));
    EXPECT_THAT(json.err, HasSubstr("provision: the report was not saved: /dev/full"));
    EXPECT_THAT(Cli({"provision", "--help"}).out, HasSubstr("[--report CSV] [--json]"));
}

TEST_F(CliParameterModelTest, FileErrorsReadAlikeForEveryKindOfFile) {
    Put("a.txt", "USER1 = 0620\n");
    const CliResult r = Cli({"import", Path("a.txt"), "/dev/full"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "orbiqa-cli: /dev/full: No space left on device\n");
    const CliResult missing = Cli({"show", Path("none.VR3")});
    EXPECT_EQ(missing.err, "orbiqa-cli: " + Path("none.VR3") + ": No such file or directory\n");
}

TEST_F(CliParameterModelTest, StatusIntoAPipeThatClosesEndsQuietly) {
    const std::string port = StartModule();
    const std::string command = "set -o pipefail; XDG_CONFIG_HOME=" + config.Path() + " " +
                                modsimtest::BinaryDir() + "/orbiqa-cli status -p " + port + " 2> " +
                                Path("err.txt") + " | head -1 > " + Path("out.txt");
    const int status = std::system(("bash -c '" + command + "'").c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const Bytes err = ReadFile(Path("err.txt"));
    EXPECT_EQ(std::string(err.begin(), err.end()), "");
    const Bytes out = ReadFile(Path("out.txt"));
    EXPECT_THAT(std::string(out.begin(), out.end()), HasSubstr("IN1="));
}

TEST_F(CliParameterModelTest, AnUnansweredRequestToAModuleUnderAnotherKeySaysSo) {
    const std::string port = StartModule({"--wrong-key"});
    for (const auto& command : {"read", "compare"}) {
        SaveImage(Path("x.VR3"), ParameterImage());
        const CliResult r = Cli({command, Path("x.VR3"), "-p", port});
        EXPECT_EQ(r.status, 4) << command;
        EXPECT_THAT(r.err, HasSubstr("did not answer for block 0"));
        EXPECT_THAT(r.err, HasSubstr("frames arrived but none could be deciphered: the module "
                                     "probably uses another key"))
            << command;
    }
}

}  // namespace
