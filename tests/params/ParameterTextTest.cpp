// The text form of a parameter set as people edit it: exported, changed in an editor on any
// system, imported again. An edit must never be undone by the byte lines, and the lines must read
// alike whatever ends them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "params/EEAddr.h"
#include "params/FieldCatalog.h"
#include "params/ParameterText.h"

namespace orbiqa {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

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

}  // namespace
}  // namespace orbiqa
