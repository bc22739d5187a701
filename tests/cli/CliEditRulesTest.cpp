// Editing parameter files without a hex editor: fields set through the editor's entry rules,
// the text form that gives a file back byte for byte, and the small parsers behind them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "CommandLine.h"
#include "CsvText.h"
#include "ImageReport.h"
#include "JsonText.h"
#include "params/ParameterText.h"
#include "params/EEAddr.h"
#include "params/ImageFields.h"

namespace orbiqa::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Optional;

struct Case {
    const char* field;
    std::string value;
};

TEST(SetFieldValueTest, ValuesWithinTheRulesAreStoredAsTheEditorStoresThem) {
    ParameterImage image;
    const Case accepted[] = {
        {"USER1", "0630123456789012"},  // 16 digits
        {"NETPREFIX", "12345678"},      // 8 digits
        {"ADDFIX", ""},
        {"Event1", "1*30"},
        {"Event2", ""},
        {"SMS1", "Riaszt\xC3\xA1s \xE2\x82\xAC $"},  // "Riasztás € $": € is in Windows-1250
        {"SMS2", std::string(40, 'x')},
        {"APN", std::string(37, 'a')},
        {"PWD", "p\xC3\xA1ss"},
        {"CallFilter", "off"},
        {"CallMax", "25"},
        {"BELLCallback", "on"},
        {"PanelID", "32767"},
        {"Receiver2", "192.168.1.20:5000"},
        {"receiver3", "0.0.0.0:0"},  // names in any letter case
    };
    for (const auto& c : accepted)
        EXPECT_EQ(SetFieldValue(image, c.field, c.value), std::nullopt)
            << c.field << "=" << c.value;
    for (const auto& c : accepted) {
        if (std::string(c.field) != "receiver3") {
            EXPECT_EQ(FieldValueText(image, c.field), c.value) << c.field;
        }
    }

    // The byte layouts of the editor's store routines.
    EXPECT_EQ(image[EEAddr::Event(1)], 0x1A);
    EXPECT_EQ(image[EEAddr::Event(1) + 1], 0x30);
    EXPECT_EQ(image[EEAddr::ADDFIX], 0);  // an empty 8-digit number counts 0, not 0xFF
    const std::uint8_t receiver2[] = {0xC0, 0xA8, 0x01, 0x14, 0x13, 0x88, 0x00, 0x00};
    EXPECT_TRUE(
        std::equal(std::begin(receiver2), std::end(receiver2), image.begin() + EEAddr::IP(2)));
    // One Bell bit set on an erased byte: the other bit is kept, bits 2..7 are cleared.
    EXPECT_EQ(image[EEAddr::BELLFlags], 0x03);
    ASSERT_EQ(SetFieldValue(image, "BELLOnlyListedNumbers", "off"), std::nullopt);
    EXPECT_EQ(image[EEAddr::BELLFlags], 0x02);

    // The capital "Ű" is stored as "Ü", the small one is kept.
    ASSERT_EQ(SetFieldValue(image, "SMS3", "\xC5\xB0\xC5\xB1"), std::nullopt);
    EXPECT_EQ(image[EEAddr::SMS(3) + 1], 0xDC);
    EXPECT_EQ(image[EEAddr::SMS(3) + 2], 0xFB);
}

TEST(SetFieldValueTest, ValuesThatBreakARuleAreRefusedWithTheRuleAndChangeNothing) {
    const Case refused[] = {
        {"USER1", "06301234567890123"},  // 17 digits
        {"USER1", "+3630"},
        {"USER1", "06 30"},
        {"NETPREFIX", "123456789"},
        {"Event1", "1A30"},  // the grid takes A..F, but the store cannot hold them
        {"Event1", "113"},
        {"Event1", "11300"},
        {"SMS1", std::string(41, 'x')},
        {"SMS1", "\xE6\xBC\xA2"},  // a character Windows-1250 cannot hold
        {"SMS1", "a\tb"},
        {"SMS1", "\xC3"},  // malformed UTF-8
        {"APN", "my apn"},
        {"APN", "a\"b"},
        {"APN", std::string(38, 'a')},
        {"UserName", std::string(21, 'u')},
        {"CallFilter", "yes"},
        {"CallMax", "26"},
        {"CallMax", "-1"},
        {"PanelID", "32768"},
        {"ServerID", "0x10"},
        {"Receiver1", "192.168.1.20"},
        {"Receiver1", "192.168.1:80"},
        {"Receiver1", "192.168.1.256:80"},
        {"Receiver1", "1.2.3.4:32768"},
        {"Receiver1", "1.2.3.4.5:80"},
        {"NoSuchField", "1"},
    };
    for (const auto& c : refused) {
        ParameterImage image;
        const ParameterImage before = image;
        const auto rule = SetFieldValue(image, c.field, c.value);
        EXPECT_NE(rule, std::nullopt) << c.field << "=" << c.value;
        EXPECT_EQ(image, before) << c.field << "=" << c.value;
    }
    ParameterImage image;
    EXPECT_EQ(SetFieldValue(image, "SMS1", std::string(41, 'x')), "at most 40 characters");
    EXPECT_EQ(SetFieldValue(image, "APN", "a b"), "no spaces or double quotes");
}

TEST(SetFieldValueTest, OnlyFieldsOfTheModulesMemoryCanBeProvisioned) {
    EXPECT_TRUE(InModuleMemory(*FindField("GPRSmode")));  // byte 958
    EXPECT_FALSE(InModuleMemory(*FindField("PanelID")));  // byte 960
    EXPECT_FALSE(InModuleMemory(*FindField("Receiver1")));
}

ParameterImage RandomImage(std::mt19937& random) {
    ParameterImage image;
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : image) b = static_cast<std::uint8_t>(byte(random));
    return image;
}

TEST(ParameterTextTest, ImportOfAnExportGivesEveryFileBackByteForByte) {
    ParameterImage zeros;
    zeros.Fill(0x00);
    ParameterImage erased;
    ParameterImage edited;
    ASSERT_EQ(SetFieldValue(edited, "SMS1", "T\xC5\xB1z \"van\"\\ \xE2\x82\xAC"), std::nullopt);
    ASSERT_EQ(SetFieldValue(edited, "CallMax", "7"), std::nullopt);
    std::vector<ParameterImage> images{zeros, erased, edited};
    std::mt19937 random(20261207);
    for (int i = 0; i < 300; ++i) images.push_back(RandomImage(random));
    // Random images rarely hold valid fields: also ones whose count bytes are in range.
    for (int i = 0; i < 100; ++i) {
        ParameterImage image = RandomImage(random);
        for (std::size_t n = 1; n <= EEAddr::EventCount; ++n)
            image[EEAddr::SMS(n)] = static_cast<std::uint8_t>(random() % 41);
        image[EEAddr::USER1] = static_cast<std::uint8_t>(random() % 17);
        images.push_back(image);
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::string text = ExportText(images[i]);
        ASSERT_EQ(ImportText(text), images[i]) << "image " << i << "\n" << text;
    }
    // A file the editor wrote needs no byte lines at all.
    const std::string text = ExportText(edited);
    EXPECT_THAT(text, HasSubstr("\nSMS1 = \"T\xC5\xB1z \\\"van\\\"\\\\ \xE2\x82\xAC\"\n"));
    EXPECT_THAT(text, HasSubstr("\nCallMax = 7\n"));
    EXPECT_THAT(text, HasSubstr("\nCallFilter = on\n"));
    EXPECT_THAT(text, HasSubstr("\nUSER1 =\n"));
}

TEST(ParameterTextTest, EditedTextChangesOnlyWhatWasEdited) {
    ParameterImage original;
    ASSERT_EQ(SetFieldValue(original, "USER1", "0620"), std::nullopt);
    std::string text = ExportText(original);
    text.replace(text.find("USER1 = 0620"), 12, "USER1 = 0630999");
    text += "\n# a reviewer's note\n\n@1087 = 7f\n";
    // As an editor on Windows saves it: a byte order mark and CR LF line ends.
    std::string windows = "\xEF\xBB\xBF";
    for (const char ch : text) windows += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    const ParameterImage imported = ImportText(windows);
    const auto differences = DiffImages(original, imported);
    ASSERT_EQ(differences.size(), 2u);
    EXPECT_EQ(DiffPlain(differences), "USER1: 0620 -> 0630999\n@1087 (file only): FF -> 7F\n");
}

TEST(ParameterTextTest, MalformedLinesAreRefusedWithTheirLineNumber) {
    const std::pair<std::string, std::string> cases[] = {
        {"USER1 = 0620\nNoField = 1\n", "line 2: 'NoField' is not a field"},
        {"\n\nUSER1 = 06a\n", "line 3: USER1: digits 0-9 only, at most 16 of them"},
        {"SMS1 = Tuz\n", "line 1: SMS1: a text is written in double quotes"},
        {"SMS1 = \"open\n", "line 1: SMS1: a text is written in double quotes"},
        {"USER1 0620\n", "line 1: expected FIELD = value or @OFFSET = bytes"},
        {"@1088 = 00\n", "line 1: '@1088' is not an offset @0..@1087"},
        {"@1087 = 00 01\n", "line 1: the bytes run past offset 1087"},
        {"@10 = 0\n", "line 1: bytes are two hexadecimal digits each, separated by blanks"},
        {"@10 = 0G\n", "line 1: bytes are two hexadecimal digits each, separated by blanks"},
        {"@10 = 001\n", "line 1: bytes are two hexadecimal digits each, separated by blanks"},
        {"@10 =\n", "line 1: @10 gives no bytes"},
        {"@x = 00\n", "line 1: '@x' is not an offset @0..@1087"},
    };
    for (const auto& [text, message] : cases) {
        try {
            ImportText(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const ImportError& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, message.size()), message) << text;
        }
    }
}

TEST(JsonUnquoteTest, UndoesEveryEscapeAndRefusesMalformedLiterals) {
    for (const std::string& s :
         {std::string("plain"), std::string("q\"b\\s/\b\f\n\r\t"), std::string("\x01\x1F\x7F"),
          std::string("\xC5\xB1 \xF0\x9F\x98\x80"), std::string()})
        EXPECT_EQ(JsonUnquote(JsonQuote(s)), s);
    EXPECT_EQ(JsonUnquote("\"\\u0171\\ud83d\\ude00\\/\""), "\xC5\xB1\xF0\x9F\x98\x80/");
    for (const char* bad : {"", "\"", "x\"\"", "\"a\"b\"", "\"\\x\"", "\"\\u12\"", "\"\\ud83d\"",
                            "\"\\ude00\"", "\"tab\there\"", "\"ends\\\""})
        EXPECT_EQ(JsonUnquote(bad), std::nullopt) << bad;
}

TEST(CsvTest, SpreadsheetFormsAreReadAndWritten) {
    const auto rows = ParseCsv(
        "\xEF\xBB\xBFport,USER1,SMS1\r\nCOM3,0630,\"Riaszt\xC3\xA1s, \"\"bolt\"\"\"\r\n\r\n"
        "COM4,,\"two\nlines\"\nCOM5,1,x");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_THAT(rows[0].fields, ElementsAre("port", "USER1", "SMS1"));
    EXPECT_THAT(rows[1].fields, ElementsAre("COM3", "0630", "Riaszt\xC3\xA1s, \"bolt\""));
    EXPECT_THAT(rows[2].fields, ElementsAre("COM4", "", "two\nlines"));
    EXPECT_EQ(rows[2].line, 4u);
    EXPECT_EQ(rows[3].line, 6u);
    EXPECT_EQ(CsvLine({"a", "b,c", "say \"hi\"", ""}), "a,\"b,c\",\"say \"\"hi\"\"\",\r\n");
    EXPECT_THROW(ParseCsv("port\nCOM3,\"open"), CsvError);
    EXPECT_THROW(ParseCsv("port\n\"COM3\"x"), CsvError);
}

TEST(CsvTest, HungarianSpreadsheetsSeparateBySemicolonsInTheWindowsCodePage) {
    // "Riasztás, raktár" in Windows-1250, a decimal comma inside a field, CR alone ending lines.
    const auto rows = ParseCsv("port;SMS1;CallMax\rCOM3;Riaszt\xE1s, rakt\xE1r;5\r");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_THAT(rows[1].fields, ElementsAre("COM3", "Riaszt\xC3\xA1s, rakt\xC3\xA1r", "5"));
    const auto marked = ParseCsv("\xEF\xBB\xBFport;USER1\r\nCOM4;\"06;30\"\r\n");
    EXPECT_THAT(marked[1].fields, ElementsAre("COM4", "06;30"));
    // UTF-16 (a spreadsheet's "Unicode text"), whole: a literal would end at the first NUL.
    EXPECT_THROW(ParseCsv(std::string("\xFF\xFEp\0o\0r\0t\0\r\0\n\0", 14)), CsvError);
    EXPECT_THROW(ParseCsv("port\nCOM3,\x81\x98"), CsvError);  // undefined in Windows-1250 too
}

TEST(SetFieldValueTest, TextsRefuseWhatTheLoadWouldDrop) {
    ParameterImage image;
    const ParameterImage before = image;
    // "˙" is the byte 0xFF, which the load skips as an empty place; DEL is a control character.
    EXPECT_THAT(SetFieldValue(image, "SMS1", "a\xCB\x99"), Optional(HasSubstr("FF")));
    EXPECT_THAT(SetFieldValue(image, "APN", "net\xCB\x99"), Optional(HasSubstr("FF")));
    EXPECT_EQ(SetFieldValue(image, "SMS2", "a\x7F"), "no control characters");
    EXPECT_EQ(SetFieldValue(image, "PWD", "\x7F"), "no control characters");
    EXPECT_EQ(image, before);
}

TEST(CommandLineTest, PortOptionsMayStandBeforeTheCommand) {
    EXPECT_THAT(MoveLeadingPortOptions({"-p", "COM5", "read", "x.VR3"}),
                ElementsAre("read", "-p", "COM5", "x.VR3"));
    EXPECT_THAT(MoveLeadingPortOptions({"--port=COM5", "-p", "6", "provision", "t.VR3"}),
                ElementsAre("provision", "--port=COM5", "-p", "6", "t.VR3"));
    EXPECT_THAT(MoveLeadingPortOptions({"--version"}), ElementsAre("--version"));
    EXPECT_THAT(MoveLeadingPortOptions({"read", "-p", "COM5"}), ElementsAre("read", "-p", "COM5"));

    const std::vector<OptionDef> options = {{"--port", "PORT", "", "-p", true},
                                            {"--each", "CSV", ""}};
    const ParsedArgs a = ParseCommandArgs({"-p", "COM3", "--port=COM4", "-p", "5"}, options);
    EXPECT_THAT(a.Values("--port"), ElementsAre("COM3", "COM4", "5"));
    EXPECT_EQ(a.Value("--port"), "5");
    EXPECT_THROW(ParseCommandArgs({"--each", "a", "--each", "b"}, options), CliFailure);

    EXPECT_EQ(ParsePortName("\\\\.\\COM5"), "COM5");
    EXPECT_TRUE(IsDevicePath("/dev/ttyUSB0"));
    EXPECT_FALSE(IsDevicePath("COM5"));
}

}  // namespace
}  // namespace orbiqa::cli
