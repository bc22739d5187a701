// The text form of a parameter set as people edit it: exported, changed in an editor on any
// system, imported again. An edit must never be undone by the byte lines, and the lines must read
// alike whatever ends them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "params/EEAddr.h"
#include "params/FieldCatalog.h"
#include "params/ParameterText.h"

namespace orbiqa {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

ParameterImage RandomImage(std::mt19937& random) {
    ParameterImage image;
    for (auto& b : image) b = static_cast<std::uint8_t>(random());
    return image;
}

// A valid value for a field, in the catalog's form.
std::string RandomValue(const FieldInfo& field, std::mt19937& random) {
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::string value;
    switch (field.kind) {
        case ValueKind::Digits:
            for (int i = pick(static_cast<int>(field.size)); i > 0; --i)
                value += char('0' + pick(10));
            return value;
        case ValueKind::Code:
            if (pick(4) == 0) return {};
            for (int i = 0; i < 4; ++i) value += "0123456789*"[pick(11)];
            return value;
        case ValueKind::Text: {
            const int length = pick(static_cast<int>(std::min<std::size_t>(field.size - 1, 20)));
            for (int i = 0; i < length; ++i) value += "abcXYZ019.-_"[pick(12)];
            return field.name.rfind("SMS", 0) == 0 && pick(2) ? value + " \xC5\x91 v\xC3\xA9g"
                                                              : value;
        }
        case ValueKind::Flag:
            return pick(2) ? "on" : "off";
        case ValueKind::Number:
            return std::to_string(pick(field.name == "CallMax" ? 26 : 32768));
        case ValueKind::Receiver:
            return std::to_string(pick(256)) + ".1.2." + std::to_string(pick(256)) + ":" +
                   std::to_string(pick(32768));
        case ValueKind::Bytes:
            break;
    }
    return value;
}

// The field line of `name` in an export, given a new value.
std::string WithValue(std::string text, const FieldInfo& field, const std::string& value) {
    const std::string written =
        field.kind == ValueKind::Text ? PlainValue({field.name, field.kind, value}) : value;
    const std::string line = field.name + " =" + (written.empty() ? "" : " " + written);
    const auto at = text.find("\n" + field.name + " =");
    if (at == std::string::npos) return text + line + "\n";  // a value without a set form
    const auto end = text.find('\n', at + 1);
    return text.replace(at + 1, end - at - 1, line);
}

TEST(ParameterTextTest, AnEditedExportGivesWhatSetGivesForEveryImage) {
    std::mt19937 random(170);
    std::vector<ParameterImage> images{ParameterImage()};  // erased
    ParameterImage zeros;
    zeros.Fill(0);
    images.push_back(zeros);
    for (int i = 0; i < 150; ++i) images.push_back(RandomImage(random));
    const auto& fields = AllFields();
    for (std::size_t i = 0; i < images.size(); ++i) {
        const ParameterImage& original = images[i];
        std::string text = ExportText(original);
        ParameterImage expected = original;
        std::string edits;
        for (int e = 0; e < 4; ++e) {
            const FieldInfo& field = fields[random() % fields.size()];
            const std::string value = RandomValue(field, random);
            // A line rewritten with the value it had is no edit: its bytes come back as they were.
            ParameterImage edited = expected;
            ASSERT_EQ(SetFieldValue(edited, field.name, value), std::nullopt) << field.name;
            if (FieldValueText(edited, field.name) == FieldValueText(expected, field.name))
                continue;
            expected = edited;
            text = WithValue(text, field, value);
            edits += field.name + "=" + value + " ";
        }
        ASSERT_EQ(ImportText(text), expected) << "image " << i << ", " << edits << "\n" << text;
    }
}

TEST(ParameterTextTest, EmptyNumbersAndTextsOfAnErasedSetTakeTheirEdits) {
    std::string text = ExportText(ParameterImage());
    text = WithValue(text, *FindField("USER1"), "06301234567");
    text = WithValue(text, *FindField("SMS1"), "Riaszt\xC3\xA1s");
    text = WithValue(text, *FindField("NETPREFIX"), "9");
    const ParameterImage imported = ImportText(text);
    EXPECT_EQ(FieldValueText(imported, "USER1"), "06301234567");
    EXPECT_EQ(FieldValueText(imported, "SMS1"), "Riaszt\xC3\xA1s");
    EXPECT_EQ(FieldValueText(imported, "NETPREFIX"), "9");
}

TEST(ParameterTextTest, LinesEndAlikeWhateverEndsThem) {
    ParameterImage image;
    ASSERT_EQ(SetFieldValue(image, "USER1", "0620"), std::nullopt);
    ASSERT_EQ(SetFieldValue(image, "SMS2", "T\xC5\xB1z"), std::nullopt);
    const std::string lf = ExportText(image);
    std::string crlf, cr;
    for (const char c : lf) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        cr += c == '\n' ? '\r' : c;
    }
    EXPECT_EQ(ImportText(crlf), image);
    EXPECT_EQ(ImportText(cr), image);  // an old Mac editor's lines

    // UTF-16 with its byte order mark, as Windows editors save "Unicode".
    std::string little = "\xFF\xFE", big = "\xFE\xFF";
    for (const char c : "USER1 = 0620\r\nSMS2 = \"\\u0171\"\r\n") {
        if (c == '\0') break;
        little += std::string{c, '\0'};
        big += std::string{'\0', c};
    }
    EXPECT_EQ(FieldValueText(ImportText(little), "USER1"), "0620");
    EXPECT_EQ(FieldValueText(ImportText(big), "SMS2"), "\xC5\xB1");
    try {
        ImportText(little.substr(2));
        ADD_FAILURE() << "UTF-16 without its mark was taken";
    } catch (const ImportError& e) {
        EXPECT_THAT(e.what(), HasSubstr("not UTF-8"));
    }
}

TEST(ParameterTextTest, TheFieldsATextLeavesOutAreNamed) {
    ImportNotes notes;
    ImportText(ExportText(RandomImage(*std::make_unique<std::mt19937>(3))), &notes);
    EXPECT_THAT(notes.fieldsLeftOut, IsEmpty());
    ImportText(ExportText(ParameterImage()), &notes);
    EXPECT_THAT(notes.fieldsLeftOut, IsEmpty());

    std::string text;
    for (const FieldInfo& field : AllFields())
        if (field.name != "USER2" && field.name != "ServerID")
            text += field.name + " =" + (field.kind == ValueKind::Text ? " \"\"" : "") + "\n";
    text = WithValue(text, *FindField("CallMax"), "3");
    text = WithValue(text, *FindField("PanelID"), "3");
    text = WithValue(text, *FindField("Receiver1"), "1.2.3.4:5");
    text = WithValue(text, *FindField("Receiver2"), "1.2.3.4:5");
    text = WithValue(text, *FindField("Receiver3"), "1.2.3.4:5");
    text = WithValue(text, *FindField("Receiver4"), "1.2.3.4:5");
    for (const char* flag :
         {"CallFilter", "BELLOnlyListedNumbers", "BELLCallback", "VoiceCaller", "GPRSmode"})
        text = WithValue(text, *FindField(flag), "off");
    ImportText(text + "@1026 = 00\n", &notes);
    EXPECT_THAT(notes.fieldsLeftOut, ElementsAre("USER2"));
}

TEST(ParameterTextTest, AnExportIsKnownByItsHeader) {
    const std::string text = ExportText(ParameterImage());
    EXPECT_TRUE(IsParameterText(text));
    EXPECT_TRUE(IsParameterText("\xEF\xBB\xBF" + text));
    std::string utf16 = "\xFF\xFE";
    for (const char c : text.substr(0, 40)) utf16 += std::string{c, '\0'};
    EXPECT_TRUE(IsParameterText(utf16));
    ParameterImage image;
    EXPECT_FALSE(IsParameterText(std::string(image.begin(), image.end())));
    EXPECT_FALSE(IsParameterText("USER1 = 0620\n"));
}

std::string ImportRefusal(const std::string& text) {
    try {
        ImportText(text);
    } catch (const ImportError& e) {
        return e.what();
    }
    return "(imported)";
}

// Each of these would import with one of the user's edits silently lost.
TEST(ParameterTextTest, EditsThatWouldBeLostAreRefusedWithTheirLines) {
    ParameterImage image;
    ASSERT_EQ(SetFieldValue(image, "USER1", "0620"), std::nullopt);
    ASSERT_EQ(SetFieldValue(image, "CallMax", "5"), std::nullopt);
    const std::string text = ExportText(image);
    const auto lineOf = [&](const std::string& start) {
        const auto at = text.find("\n" + start);
        return std::to_string(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n') + 2);
    };

    // A second USER1 line above the exported one.
    const auto user1 = text.find("\nUSER1 =");
    const std::string twice = text.substr(0, user1) + "\nUSER1 = 555" + text.substr(user1);
    EXPECT_EQ(ImportRefusal(twice), "line " + std::to_string(std::stoi(lineOf("USER1 =")) + 1) +
                                        ": USER1 is set again; line " + lineOf("USER1 =") +
                                        " sets it already");

    // A byte line that gives CallMax a value of its own.
    const std::string byte = text + "@" + std::to_string(EEAddr::CallMax) + " = 07\n";
    const std::string byteLine = std::to_string(std::count(byte.begin(), byte.end(), '\n'));
    EXPECT_EQ(ImportRefusal(byte), "line " + byteLine + ": @" + std::to_string(EEAddr::CallMax) +
                                       " gives CallMax the value 7, but line " + lineOf("CallMax =") +
                                       " sets it to 5; keep only one of the two");
    // The same bytes that the line stores are no contradiction.
    EXPECT_EQ(ImportText(text + "@" + std::to_string(EEAddr::CallMax) + " = 05\n"), image);

    // Nothing but the header, comments and byte lines.
    EXPECT_THAT(ImportRefusal(std::string(kParameterTextHeader) + "\n"), HasSubstr("sets no field"));
    EXPECT_THAT(ImportRefusal("# a\n\n@0 = 01\n"), HasSubstr("sets no field (no FIELD = value line in 3 lines)"));
    EXPECT_THAT(ImportRefusal(""), HasSubstr("sets no field"));
}

TEST(ParameterTextTest, ATextInAnotherCodePageIsRefusedAsNotUtf8) {
    // "Riasztás" saved by a Windows editor in Windows-1250: 0xE1 is "á".
    const std::string text = "USER1 = 0620\r\nSMS1 = \"Riaszt\xE1s\"\r\n";
    EXPECT_THAT(ImportRefusal(text), AllOf(HasSubstr("line 2: the text is not UTF-8"), HasSubstr("save it as UTF-8")));
    // Cut and overlong sequences and encoded surrogates are not UTF-8 either.
    for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"})
        EXPECT_THAT(ImportRefusal(std::string("USER1 = 0620\rSMS1 = \"") + bad + "\"\n"),
                    HasSubstr("line 2: the text is not UTF-8"))
            << bad;
    // Four-byte characters are UTF-8, though no SMS can hold them.
    EXPECT_THAT(ImportRefusal("USER1 = 0620\nSMS1 = \"\xF0\x9F\x94\xA5\"\n"), Not(HasSubstr("UTF-8")));
}

}  // namespace
}  // namespace orbiqa
