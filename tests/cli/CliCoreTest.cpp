// The command line's own rules: argument parsing, JSON quoting, the field report and diff, and
// the line splitting of the monitor.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CommandLine.h"
#include "FileAccess.h"
#include "ImageReport.h"
#include "JsonText.h"
#include "MonitorLines.h"
#include "params/EEAddr.h"
#include "params/ImageFields.h"

namespace orbiqa::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::vector<OptionDef> kOptions = {{"--port", "COMn", ""}, {"--json", "", ""}};

int UsageStatus(const std::function<void()>& f) {
    try {
        f();
    } catch (const CliFailure& e) {
        return e.Status();
    }
    return -1;
}

TEST(CommandLineTest, OptionsAnywhereInBothFormsAndAfterDoubleDash) {
    const ParsedArgs a = ParseCommandArgs({"--port", "COM7", "file.VR3", "--json"}, kOptions);
    EXPECT_THAT(a.positionals, ElementsAre("file.VR3"));
    EXPECT_EQ(a.Value("--port"), "COM7");
    EXPECT_TRUE(a.Flag("--json"));

    const ParsedArgs b = ParseCommandArgs({"x", "--port=5", "--", "--json", "-"}, kOptions);
    EXPECT_THAT(b.positionals, ElementsAre("x", "--json", "-"));
    EXPECT_EQ(b.Value("--port"), "5");
    EXPECT_FALSE(b.Flag("--json"));

    EXPECT_TRUE(ParseCommandArgs({"x", "-h"}, kOptions).help);
}

TEST(CommandLineTest, MalformedArgumentsAreUsageErrors) {
    EXPECT_EQ(UsageStatus([] { ParseCommandArgs({"--colour"}, kOptions); }), kExitUsage);
    EXPECT_EQ(UsageStatus([] { ParseCommandArgs({"--port"}, kOptions); }), kExitUsage);
    EXPECT_EQ(UsageStatus([] { ParseCommandArgs({"--json=yes"}, kOptions); }), kExitUsage);
    EXPECT_EQ(UsageStatus([] {
                  ParseCommandArgs({"--port", "1", "--port=2"}, kOptions);
              }),
              kExitUsage);
}

TEST(CommandLineTest, PortNamesAreHeldToCom1ToCom256) {
    EXPECT_EQ(ParsePortName("COM7"), "COM7");
    EXPECT_EQ(ParsePortName("com96"), "COM96");
    EXPECT_EQ(ParsePortName("33"), "COM33");
    EXPECT_EQ(ParsePortName("COM007"), "COM7");
    EXPECT_EQ(ParsePortName("\\\\.\\com12"), "COM12");
    EXPECT_EQ(ParsePortName("COM105"), "COM105");
    EXPECT_EQ(ParsePortName("\\\\.\\COM256"), "COM256");  // the device path Windows tools print
    EXPECT_EQ(ParsePortName("COM+1"), "COM1");  // read as the window reads its settings file
    EXPECT_FALSE(IsDevicePath("\\\\.\\COM5"));
    // The window's rule would quietly turn these into COM1; a script must hear about them.
    for (const char* bad : {"COM0", "COM257", "COM", "COMX", "COM1x", "ttyUSB0", "", "-3",
                            "\\\\.\\COM257", "\\\\.\\", "\\\\?\\COM5"})
        EXPECT_EQ(UsageStatus([&] { ParsePortName(bad); }), kExitUsage) << bad;
}

// The checks before any port is opened, worded as the system's own tools word them, the same on
// every system.
TEST(FileAccessTest, UnreadableAndUnwritablePathsAreRefusedWithTheirReason) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "orbiqa-cli-file-access";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream((dir / "short.VR3").string(), std::ios::binary) << std::string(100, 'x');
    auto message = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const CliFailure& e) {
            return std::string(e.what());
        }
        return std::string("(accepted)");
    };
    const std::string shortFile = (dir / "short.VR3").string();
    const std::string missing = (dir / "none" / "x.VR3").string();
    EXPECT_EQ(message([&] { LoadImageFile(shortFile); }),
              shortFile + ": file too short (100 of 1088 bytes)");
    EXPECT_EQ(message([&] { LoadImageFile(missing); }), missing + ": No such file or directory");
    EXPECT_EQ(message([&] { LoadImageFile(dir.string()); }), dir.string() + ": Is a directory");
    EXPECT_EQ(message([&] { CheckWritable(dir.string()); }), dir.string() + ": Is a directory");
    EXPECT_EQ(message([&] { CheckWritable(missing); }), missing + ": No such file or directory");
    EXPECT_EQ(message([&] { CheckWritable(shortFile); }), "(accepted)");
    EXPECT_EQ(message([&] { CheckWritable((dir / "new.VR3").string()); }), "(accepted)");
    fs::remove_all(dir);
}

TEST(CommandLineTest, WholeNumbersWithinTheirRange) {
    EXPECT_EQ(ParseWholeNumber("--count", "3", 1, 10), 3);
    for (const char* bad : {"0", "11", "-1", "2.5", "", " 3", "3s", "99999999999"})
        EXPECT_EQ(UsageStatus([&] { ParseWholeNumber("--count", bad, 1, 10); }), kExitUsage) << bad;
}

TEST(JsonQuoteTest, EscapesQuotesBackslashesAndControlsAndKeepsUtf8) {
    EXPECT_EQ(JsonQuote(""), "\"\"");
    EXPECT_EQ(JsonQuote("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonQuote("\r\n\t\x01\x7f"), "\"\\r\\n\\t\\u0001\\u007f\"");
    EXPECT_EQ(JsonQuote("T\xC5\xB1z"), "\"T\xC5\xB1z\"");
}

std::string ValueOf(const std::vector<FieldValue>& fields, const std::string& name) {
    for (const auto& f : fields)
        if (f.name == name) return f.text;
    ADD_FAILURE() << "no field " << name;
    return {};
}

// Ten thousand failed modules still make a line a person reads; one left over is named, not
// counted, since "and 1 more" would be no shorter.
TEST(ImageReportTest, SummaryListsNameTheFirstAndCountTheRest) {
    std::vector<std::string> ports;
    for (int i = 1; i <= 10001; ++i) ports.push_back("COM" + std::to_string(i));
    const std::string line = SummaryList(ports, 3);
    EXPECT_EQ(line, "COM1, COM2, COM3 and 9998 more");
    EXPECT_LT(SummaryList(ports).size(), 120u);
    ports.resize(4);
    EXPECT_EQ(SummaryList(ports, 3), "COM1, COM2, COM3, COM4");
    EXPECT_EQ(SummaryList({}, 3), "");
}

TEST(ImageReportTest, ErasedImageLoadsAsTheEditorWould) {
    const auto fields = DecodeImage(ParameterImage());
    EXPECT_EQ(fields.size(), 7u + 4u + 2u + 20u + 2u + 3u + 4u + 1u + 4u + 1u);
    EXPECT_EQ(ValueOf(fields, "AUTODIAL"), "");
    EXPECT_EQ(ValueOf(fields, "Event1"), "");
    EXPECT_EQ(ValueOf(fields, "SMS10"), "");
    EXPECT_EQ(ValueOf(fields, "APN"), "");
    EXPECT_EQ(ValueOf(fields, "CallFilter"), "on");  // 0xFF is not 0
    EXPECT_EQ(ValueOf(fields, "BELLOnlyListedNumbers"), "on");
    EXPECT_EQ(ValueOf(fields, "BELLCallback"), "on");
    EXPECT_EQ(ValueOf(fields, "VoiceCaller"), "off");  // only 1 is on
    EXPECT_EQ(ValueOf(fields, "GPRSmode"), "off");
    EXPECT_EQ(ValueOf(fields, "CallMax"), "255");
    EXPECT_EQ(ValueOf(fields, "PanelID"), "65535");
    EXPECT_EQ(ValueOf(fields, "Receiver4"), "255.255.255.255:65535");
}

ParameterImage SampleImage() {
    ParameterImage image;
    StoreDigitField(image, EEAddr::USER1, {"0", "6", "", "2", "0"}, EEAddr::LongNumberDigits);
    StoreDigitField(image, EEAddr::NETPREFIX, {"9"}, EEAddr::ShortNumberDigits);
    StoreEventCode(image, EEAddr::Event(2), {"1", "*", "3", "0"});
    StoreSmsText(image, EEAddr::SMS(2),
                 "T\xFBz \"riaszt\xE1s\"");  // Tűz "riasztás" in Windows-1250
    StorePlainText(image, EEAddr::APN, "net.example", EEAddr::ApnCapacity);
    image[EEAddr::CallFilter] = 0;
    image[EEAddr::BELLFlags] = EEAddr::BellCallback;
    image[EEAddr::VoiceCaller] = 1;
    image[EEAddr::CallMax] = 7;
    for (std::size_t i = 0; i < 4; ++i)
        image[EEAddr::IP(2) + i] = static_cast<std::uint8_t>(10 + i);
    StoreWord(image, EEAddr::Port(2), 9000);
    StoreWord(image, EEAddr::ServerID, 1234);
    return image;
}

TEST(ImageReportTest, FieldsDecodeByName) {
    const auto fields = DecodeImage(SampleImage());
    EXPECT_EQ(ValueOf(fields, "USER1"), "0620");
    EXPECT_EQ(ValueOf(fields, "NETPREFIX"), "9");
    EXPECT_EQ(ValueOf(fields, "Event2"), "1*30");
    EXPECT_EQ(ValueOf(fields, "SMS2"), "T\xC5\xB1z \"riaszt\xC3\xA1s\"");
    EXPECT_EQ(ValueOf(fields, "APN"), "net.example");
    EXPECT_EQ(ValueOf(fields, "CallFilter"), "off");
    EXPECT_EQ(ValueOf(fields, "BELLOnlyListedNumbers"), "off");
    EXPECT_EQ(ValueOf(fields, "BELLCallback"), "on");
    EXPECT_EQ(ValueOf(fields, "VoiceCaller"), "on");
    EXPECT_EQ(ValueOf(fields, "CallMax"), "7");
    EXPECT_EQ(ValueOf(fields, "Receiver2"), "10.11.12.13:9000");
    EXPECT_EQ(ValueOf(fields, "ServerID"), "1234");
}

TEST(ImageReportTest, OddStoredValuesStillPrintSafely) {
    ParameterImage image;
    image[EEAddr::Event(1)] = 0x1B;  // symbol 11, which the editor shows as a blank cell
    image[EEAddr::Event(1) + 1] = 0x23;
    image[EEAddr::SMS(1)] = 41;  // a count beyond the capacity loads as empty
    image[EEAddr::APN] = 2;      // an undefined code-page byte and a line break
    image[EEAddr::APN + 1] = 0x81;
    image[EEAddr::APN + 2] = '\n';
    const auto fields = DecodeImage(image);
    EXPECT_EQ(ValueOf(fields, "Event1"), "1?23");
    EXPECT_EQ(ValueOf(fields, "SMS1"), "");
    const std::string plain = ShowPlain(fields);
    EXPECT_NE(plain.find("APN:                   \"\xEF\xBF\xBD\\n\"\n"), std::string::npos)
        << plain;
}

TEST(ImageReportTest, PlainAndJsonShapes) {
    const auto fields = DecodeImage(SampleImage());
    const std::string plain = ShowPlain(fields);
    EXPECT_EQ(plain.substr(0, plain.find('\n', plain.find("USER1"))),
              "AUTODIAL:\nSMSFW1:\nSMSFW2:\nUSER1:                 0620");
    EXPECT_NE(plain.find("\nSMS2:                  \"T\xC5\xB1z \\\"riaszt\xC3\xA1s\\\"\"\n"),
              std::string::npos);
    const std::string json = ShowJson(fields);
    EXPECT_EQ(json.rfind("{\n  \"AUTODIAL\": \"\",\n", 0), 0u);
    EXPECT_NE(json.find("\"CallMax\": 7,"), std::string::npos);
    EXPECT_NE(json.find("\"VoiceCaller\": true,"), std::string::npos);
    EXPECT_NE(json.find("\"ServerID\": 1234\n}\n"), std::string::npos);
}

TEST(ImageReportTest, DiffListsChangedFieldsAndUncoveredByteRuns) {
    const ParameterImage a = SampleImage();
    EXPECT_THAT(DiffImages(a, a), IsEmpty());
    EXPECT_EQ(DiffJson({}), "{\n  \"equal\": true,\n  \"differences\": []\n}\n");

    ParameterImage b = a;
    StoreSmsText(b, EEAddr::SMS(2), "Other");
    b[EEAddr::SMS(2) + 30] = 'x';  // behind the text: no reader looks there
    b[120] = b[121] = 0x00;        // inside the gap after ADDFIX, which no field covers
    b[123] = 0x01;
    b[EEAddr::ReceiverPadding(1)] = 0x00;
    b[EEAddr::BELLFlags] |= 0x80;  // a bit the load ignores
    const auto d = DiffImages(a, b);
    // The filler byte hides behind SMS2's own change; the unused BELLFlags bit is a byte run.
    ASSERT_EQ(d.size(), 5u);
    EXPECT_EQ(d[0].a.name, "SMS2");
    EXPECT_EQ(d[1].a.name, "@120-121");
    EXPECT_EQ(d[1].where, "block 1");
    EXPECT_EQ(d[1].a.text, "FF FF");
    EXPECT_EQ(d[1].b.text, "00 00");
    EXPECT_EQ(d[2].a.name, "@123");
    EXPECT_EQ(d[3].a.name, "@" + std::to_string(EEAddr::BELLFlags));
    EXPECT_EQ(d[3].where, "block 13, in BELLOnlyListedNumbers");
    EXPECT_EQ(d[4].a.name, "@" + std::to_string(EEAddr::ReceiverPadding(1)));
    EXPECT_EQ(d[4].where, "file only");
    EXPECT_EQ(DiffPlain({d[1]}), "@120-121 (block 1): FF FF -> 00 00\n");

    ParameterImage c = a;
    StoreDigitField(c, EEAddr::USER1, {}, EEAddr::LongNumberDigits);
    EXPECT_EQ(DiffPlain(DiffImages(a, c)), "USER1: 0620 -> (empty)\n");
    EXPECT_EQ(DiffJson(DiffImages(a, c)),
              "{\n  \"equal\": false,\n  \"differences\": [\n    {\"field\": \"USER1\", \"a\": "
              "\"0620\", \"b\": \"\"}\n  ]\n}\n");
}

TEST(ChannelLinesTest, LinesEndAtTheirCarriageReturn) {
    std::vector<std::string> lines;
    ChannelLines channel([&](const std::string& line) { lines.push_back(line); });
    channel.Append("AB");
    channel.Append("C\r");
    EXPECT_THAT(lines, ElementsAre("ABC"));  // printed as soon as it ended, before any more text
    channel.Append("D\r\n\rX");
    EXPECT_THAT(lines, ElementsAre("ABC", "D", " "));
    channel.Append("Y");
    channel.Flush();
    channel.Flush();
    EXPECT_THAT(lines, ElementsAre("ABC", "D", " ", "XY"));
    channel.Append("\r");  // a carriage return after a flushed line starts nothing new
    channel.Append("Z\r");
    EXPECT_THAT(lines, ElementsAre("ABC", "D", " ", "XY", "Z"));
}

}  // namespace
}  // namespace orbiqa::cli
