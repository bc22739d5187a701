#include <gtest/gtest.h>

#include "base/ErrorText.h"
#include "base/Errors.h"
#include "base/IntText.h"
#include "base/Win1250.h"

using namespace orbiqa;

TEST(IntText, WholeTextForms) {
    EXPECT_EQ(TryStrToInt("12"), 12);
    EXPECT_EQ(TryStrToInt("  -7"), -7);
    EXPECT_EQ(TryStrToInt("+7"), 7);
    EXPECT_EQ(TryStrToInt("$1F"), 31);
    EXPECT_EQ(TryStrToInt("0x10"), 16);
    EXPECT_EQ(TryStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(TryStrToInt("-2147483648"), -2147483647 - 1);
    for (const char* bad :
         {"", " ", "x", "12 ", "1a", "$", "0x", "-", "2147483648", "99999999999999999999"})
        EXPECT_FALSE(TryStrToInt(bad).has_value()) << bad;
}

TEST(IntText, StrToIntRaisesTheConversionError) {
    try {
        StrToInt("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
}

TEST(IntText, PrefixFormStopsAtTheFirstStranger) {
    EXPECT_EQ(StrToIntPrefix("12abc"), 12);
    EXPECT_EQ(StrToIntPrefix("abc"), 0);
    EXPECT_EQ(StrToIntPrefix(""), 0);
    EXPECT_EQ(StrToIntPrefix(" 4,3"), 4);
    EXPECT_EQ(StrToIntPrefix("$ff!"), 255);
    EXPECT_EQ(StrToIntPrefix("99999999999999"), 2147483647);
}

TEST(Win1250, RoundTripsHungarianLetters) {
    const std::string cp = "\xF5\xFB\xD5\xDB";  // ő ű Ő Ű
    EXPECT_EQ(Win1250ToUtf8(cp), "őűŐŰ");
    EXPECT_EQ(Utf8ToWin1250("őűŐŰ"), cp);
    EXPECT_FALSE(Utf8ToWin1250("日本").has_value());
    EXPECT_FALSE(Utf8ToWin1250("\xC3").has_value());   // truncated sequence
    EXPECT_EQ(Win1250ToUtf8("\x98"), "\xEF\xBF\xBD");  // undefined in the code page
}

// Each system converts through its own facility; all must agree on every byte of the code page.
TEST(Win1250, EveryByteTheSameOnEverySystem) {
    std::string holes;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string utf8 = Win1250ToUtf8(byte);
        if (utf8 == "\xEF\xBF\xBD") {
            holes += byte;
            continue;
        }
        EXPECT_EQ(Utf8ToWin1250(utf8), byte) << "byte " << b;
    }
    EXPECT_EQ(holes, "\x81\x83\x88\x90\x98");
    EXPECT_EQ(Win1250ToUtf8("\x8A\xA0\xFF\x80"), "Š\u00A0˙€");
    EXPECT_FALSE(Utf8ToWin1250("\xC2\x81").has_value());  // a C1 control: no place in the code page
    EXPECT_FALSE(Utf8ToWin1250("\xC3\xA3").has_value());  // ã: no look-alike stands in for it
    EXPECT_EQ(Utf8ToWin1250(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(Utf8ToWin1250(""), "");
    EXPECT_EQ(Win1250ToUtf8(""), "");
}

TEST(ErrorText, FullStopRuleAndTitle) {
    EXPECT_EQ(ErrorBoxText("File not found"), "File not found.");
    EXPECT_EQ(ErrorBoxText("Unable to open com port (win error code: 2)"),
              "Unable to open com port (win error code: 2)");
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText("x-"), "x-");  // "-" sorts before "."
    EXPECT_EQ(ErrorBoxText(""), "");
    EXPECT_EQ(ApplicationTitle("/usr/bin/orbiqa"), "Orbiqa");
    EXPECT_EQ(ApplicationTitle("C:\\X\\ORBIQA.EXE"), "Orbiqa");
}
