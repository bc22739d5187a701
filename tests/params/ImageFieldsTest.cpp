#include <gtest/gtest.h>

#include <stdexcept>

#include "params/ImageFields.h"

using namespace orbiqa;

namespace {

GridCells Cells(std::initializer_list<const char*> texts) {
    GridCells cells;
    for (const char* t : texts) cells.emplace_back(t);
    return cells;
}

std::vector<std::uint8_t> Bytes(const ParameterImage& image, std::size_t offset, std::size_t n) {
    return {image.begin() + static_cast<long>(offset), image.begin() + static_cast<long>(offset + n)};
}

}  // namespace

TEST(DigitField, EmptyNumbersMarkTheirCountDifferently) {
    ParameterImage image;
    StoreDigitField(image, EEAddr::USER1, GridCells(16), 16);
    std::vector<std::uint8_t> expected(17, 0x00);
    expected[0] = 0xFF;
    EXPECT_EQ(Bytes(image, EEAddr::USER1, 17), expected);

    StoreDigitField(image, EEAddr::NETPREFIX, GridCells(8), 8);
    EXPECT_EQ(Bytes(image, EEAddr::NETPREFIX, 9), std::vector<std::uint8_t>(9, 0x00));
    // The rest of the 17-byte slot is never written by an 8-digit field.
    EXPECT_EQ(Bytes(image, EEAddr::NETPREFIX + 9, 8), std::vector<std::uint8_t>(8, 0xFF));
}

TEST(DigitField, GapsCloseOnStoreAndLoadFromTheFirstCell) {
    ParameterImage image;
    GridCells grid(16);
    grid[0] = "3";
    grid[3] = "7";
    grid[7] = "9";
    grid[9] = "x";  // not a digit: skipped like an empty cell
    StoreDigitField(image, EEAddr::SMSFW2, grid, 16);
    EXPECT_EQ(image[EEAddr::SMSFW2], 3);
    EXPECT_EQ(Bytes(image, EEAddr::SMSFW2 + 1, 4), (std::vector<std::uint8_t>{'3', '7', '9', 0}));

    GridCells loaded;
    LoadDigitField(image, EEAddr::SMSFW2, loaded, 16);
    ASSERT_EQ(loaded.size(), 16u);
    EXPECT_EQ(loaded[0], "3");
    EXPECT_EQ(loaded[1], "7");
    EXPECT_EQ(loaded[2], "9");
    EXPECT_EQ(loaded[3], "");
}

TEST(DigitField, FullNumberUsesEveryByte) {
    ParameterImage image;
    GridCells grid;
    for (char c : std::string("0123456789012345")) grid.emplace_back(1, c);
    StoreDigitField(image, EEAddr::AUTODIAL, grid, 16);
    EXPECT_EQ(image[EEAddr::AUTODIAL], 16);
    EXPECT_EQ(image[EEAddr::AUTODIAL + 16], '5');
    EXPECT_EQ(image[EEAddr::SMSFW1], 0xFF);  // the next field is not touched
}

TEST(DigitField, CountAboveCapacityOrStrangeBytesLoadAsEmpty) {
    ParameterImage image;
    image[EEAddr::USER2] = 17;
    for (std::size_t k = 1; k <= 16; ++k) image[EEAddr::USER2 + k] = '5';
    GridCells grid = Cells({"1"});
    LoadDigitField(image, EEAddr::USER2, grid, 16);
    EXPECT_EQ(grid, GridCells(16));

    image[EEAddr::ADDFIX] = 9;  // one more than an 8-digit field holds
    LoadDigitField(image, EEAddr::ADDFIX, grid, 8);
    EXPECT_EQ(grid, GridCells(8));

    image[EEAddr::ADDFIX] = 3;
    image[EEAddr::ADDFIX + 1] = '1';
    image[EEAddr::ADDFIX + 2] = 'A';
    image[EEAddr::ADDFIX + 3] = '2';
    LoadDigitField(image, EEAddr::ADDFIX, grid, 8);
    EXPECT_EQ(grid, Cells({"1", "", "2", "", "", "", "", ""}));
}

TEST(EventCode, FourSymbolsPackIntoNibbles) {
    ParameterImage image;
    StoreEventCode(image, EEAddr::Event(1), Cells({"1", "*", "3", "0"}));
    EXPECT_EQ(image[EEAddr::Event(1)], 0x1A);
    EXPECT_EQ(image[EEAddr::Event(1) + 1], 0x30);
    GridCells grid;
    LoadEventCode(image, EEAddr::Event(1), grid);
    EXPECT_EQ(grid, Cells({"1", "*", "3", "0"}));
}

TEST(EventCode, IncompleteCodesAreStoredAsNoCode) {
    ParameterImage image;
    for (const GridCells& grid : {Cells({"1", "1", "3", ""}), Cells({"1", "B", "3", "0"}),
                                  Cells({"1", " ", "3", "0"}), Cells({"1", "1", "3"})}) {
        image[EEAddr::Event(10)] = 0x12;
        image[EEAddr::Event(10) + 1] = 0x34;
        StoreEventCode(image, EEAddr::Event(10), grid);
        EXPECT_EQ(image[EEAddr::Event(10)], 0xFF);
        EXPECT_EQ(image[EEAddr::Event(10) + 1], 0xFF);
    }
}

TEST(EventCode, LoadShowsBlanksForNoCodeAndUnknownSymbols) {
    ParameterImage image;
    GridCells grid;
    LoadEventCode(image, EEAddr::Event(2), grid);
    EXPECT_EQ(grid, Cells({" ", " ", " ", " "}));
    image[EEAddr::Event(2)] = 0xBF;  // 11 and 15
    image[EEAddr::Event(2) + 1] = 0x9A;
    LoadEventCode(image, EEAddr::Event(2), grid);
    EXPECT_EQ(grid, Cells({" ", " ", "9", "*"}));
    image[EEAddr::Event(2)] = 0xFF;  // only one byte 0xFF: still a code
    image[EEAddr::Event(2) + 1] = 0x00;
    LoadEventCode(image, EEAddr::Event(2), grid);
    EXPECT_EQ(grid, Cells({" ", " ", "0", "0"}));
}

TEST(SmsText, LongTextIsCutAndShortTextFilled) {
    ParameterImage image;
    const std::string text45(45, 'a');
    StoreSmsText(image, EEAddr::SMS(10), text45);
    EXPECT_EQ(image[EEAddr::SMS(10)], 40);
    EXPECT_EQ(LoadSmsText(image, EEAddr::SMS(10)), std::string(40, 'a'));
    EXPECT_EQ(image[EEAddr::SMS(10) + 41], 0xFF);  // the byte after the field

    StoreSmsText(image, EEAddr::SMS(1), "Riaszt $ ");
    EXPECT_EQ(image[EEAddr::SMS(1)], 9);  // trailing space counted on store
    EXPECT_EQ(Bytes(image, EEAddr::SMS(1) + 9, 32), std::vector<std::uint8_t>(32, ' '));
    EXPECT_EQ(LoadSmsText(image, EEAddr::SMS(1)), "Riaszt $");
}

TEST(SmsText, CapitalUDoubleAcuteBecomesUUmlaut) {
    EXPECT_EQ(EncodeSmsChar(0xDB), 0xDC);
    EXPECT_EQ(EncodeSmsChar(0xFB), 0xFB);  // the small letter stays
    EXPECT_EQ(DecodeSmsChar(0xDB), 0xDB);
    ParameterImage image;
    StoreSmsText(image, EEAddr::SMS(3), "\xDB\xFB");
    EXPECT_EQ(LoadSmsText(image, EEAddr::SMS(3)), "\xDC\xFB");
}

TEST(SmsText, BadCountsAndFillerBytes) {
    ParameterImage image;
    EXPECT_EQ(LoadSmsText(image, EEAddr::SMS(4)), "");  // count 0xFF
    image[EEAddr::SMS(4)] = 41;
    EXPECT_EQ(LoadSmsText(image, EEAddr::SMS(4)), "");
    image[EEAddr::SMS(4)] = 4;
    image[EEAddr::SMS(4) + 1] = 'a';
    image[EEAddr::SMS(4) + 2] = 0x00;
    image[EEAddr::SMS(4) + 3] = 0xFF;
    image[EEAddr::SMS(4) + 4] = 'b';
    EXPECT_EQ(LoadSmsText(image, EEAddr::SMS(4)), "ab");
}

TEST(PlainText, SpacesAndQuotesNeverReachTheImage) {
    ParameterImage image;
    StorePlainText(image, EEAddr::APN, "my \"apn\" .net", EEAddr::ApnCapacity);
    EXPECT_EQ(image[EEAddr::APN], 9);
    EXPECT_EQ(LoadPlainText(image, EEAddr::APN, EEAddr::ApnCapacity), "myapn.net");
    EXPECT_EQ(image[EEAddr::APN + 10], ' ');

    StorePlainText(image, EEAddr::APN, std::string(40, 'x'), EEAddr::ApnCapacity);
    EXPECT_EQ(image[EEAddr::APN], 37);
    EXPECT_EQ(LoadPlainText(image, EEAddr::APN, EEAddr::ApnCapacity), std::string(37, 'x'));
    EXPECT_EQ(image[EEAddr::UserName], 0xFF);  // next field untouched
}

TEST(PlainText, LoadSkipsFillerAndRejectsBadCounts) {
    ParameterImage image;
    image[EEAddr::PWD] = 21;
    EXPECT_EQ(LoadPlainText(image, EEAddr::PWD, EEAddr::PwdCapacity), "");
    image[EEAddr::PWD] = 3;
    image[EEAddr::PWD + 1] = 'p';
    image[EEAddr::PWD + 2] = 0x00;
    image[EEAddr::PWD + 3] = ' ';  // kept: a plain text is not trimmed
    EXPECT_EQ(LoadPlainText(image, EEAddr::PWD, EEAddr::PwdCapacity), "p ");
}

TEST(Word, HighByteFirst) {
    ParameterImage image;
    StoreWord(image, EEAddr::PanelID, 300);
    EXPECT_EQ(image[960], 0x01);
    EXPECT_EQ(image[961], 0x2C);
    EXPECT_EQ(LoadWord(image, EEAddr::PanelID), 300);
    EXPECT_EQ(LoadWord(image, EEAddr::ServerID), 0xFFFF);
}

TEST(ImageLayout, OffsetsAndBounds) {
    EXPECT_EQ(EEAddr::Event(10), 301u);
    EXPECT_EQ(EEAddr::SMS(10), 678u);
    EXPECT_EQ(EEAddr::IP(2), 970u);
    EXPECT_EQ(EEAddr::Port(4), 990u);
    EXPECT_EQ(EEAddr::ReceiverPadding(4), 992u);
    ParameterImage image;
    EXPECT_EQ(image.size(), 1088u);
    EXPECT_THROW(StoreWord(image, 1087, 1), std::out_of_range);
    EXPECT_THROW(LoadSmsText(image, 1050), std::out_of_range);
    EXPECT_THROW(StoreDigitField(image, static_cast<std::size_t>(-1), {}, 16), std::out_of_range);
    EXPECT_EQ(&TheParameterImage(), &TheParameterImage());
}
