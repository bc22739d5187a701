#include <gtest/gtest.h>

#include <cstring>

#include "shell/VersionRecord.h"

using namespace orbiqa;

namespace {
std::array<std::uint8_t, kBlockSize> Record(const std::string& text, std::uint8_t low = 5, std::uint8_t high = 0,
                                            char quote = '"') {
    std::array<std::uint8_t, kBlockSize> b{};
    b[2] = low;
    b[3] = high;
    b[18] = static_cast<std::uint8_t>(quote);
    std::memcpy(b.data() + 19, text.data(), std::min<std::size_t>(text.size(), kBlockSize - 19));
    return b;
}
}  // namespace

TEST(VersionReplyText, ShowsFieldsOneTwoAndFour) {
    EXPECT_EQ(VersionReplyText(Record("AB;12;x;2010\"")), "AB  12  2010  DataVersion:5");
    EXPECT_EQ(VersionReplyText(Record("AB;12;x;2010;fifth\"")), "AB  12  2010  DataVersion:5");
    EXPECT_EQ(VersionReplyText(Record("AB;12;x;2010\"", 0x34, 0x12)), "AB  12  2010  DataVersion:4660");
}

TEST(VersionReplyText, WithoutSemicolonsTheWholeTextIsTheFourthField) {
    EXPECT_EQ(VersionReplyText(Record("VELMORA\"rest;x")), "    VELMORA  DataVersion:5");
}

TEST(VersionReplyText, FewFieldsAndLeadingSemicolon) {
    EXPECT_EQ(VersionReplyText(Record(";B;C;D\"")), "  B  D  DataVersion:5");
    EXPECT_EQ(VersionReplyText(Record("A;B\"")), "A    B  DataVersion:5");
}

TEST(VersionReplyText, WithoutAClosingQuoteTheTextRunsToByte63) {
    const std::string longText(45, 'z');  // bytes 19..63
    EXPECT_EQ(VersionReplyText(Record(longText + "ignored")), "    " + longText + "  DataVersion:5");
}

TEST(VersionReplyText, NotAVersionRecordWithoutTheQuoteAtByte18) {
    EXPECT_EQ(VersionReplyText(Record("AB;12;x;2010\"", 5, 0, 'x')), std::nullopt);
}
