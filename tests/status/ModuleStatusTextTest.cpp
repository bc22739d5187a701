#include <gtest/gtest.h>

#include "base/Win1250.h"
#include "status/ModuleStatusText.h"

using namespace orbiqa;

namespace {
ModuleStatusView Describe(std::uint8_t flags, std::uint8_t signal, std::uint8_t line) {
    return DescribeModuleStatus({flags, signal, line, 0});
}
std::string Utf8(const StatusLabel& l) { return Win1250ToUtf8(l.Text); }
}  // namespace

TEST(ModuleStatusText, FlagBitsZeroAndFourOnly) {
    const ModuleStatusView set = Describe(0x11, 0, 0);
    EXPECT_EQ(Utf8(set.IN1), "Rövidzár");
    EXPECT_EQ(set.IN1.Colour, kRed);
    EXPECT_EQ(Utf8(set.LineVoltage), "Vonal rendben");
    EXPECT_EQ(set.LineVoltage.Colour, kGreen);

    const ModuleStatusView clear = Describe(0x00, 0, 0);
    EXPECT_EQ(clear.IN1, (StatusLabel{"Nyitva", kBlack}));
    EXPECT_EQ(clear.LineVoltage, (StatusLabel{"Nincs vonal", kRed}));

    const ModuleStatusView others = Describe(0xEE, 0, 0);
    EXPECT_EQ(others.IN1, clear.IN1);
    EXPECT_EQ(others.LineVoltage, clear.LineVoltage);
}

TEST(ModuleStatusText, LineStateTableWithTheCodeAppended) {
    const std::pair<int, std::pair<const char*, StatusColour>> table[] = {
        {0, {"Alaphelyzetben. 0", kBlack}},
        {1, {"Beemelve, tárcsázásra vár. 1", kRed}},
        {2, {"Kimenő hívás folyamatban 2", kGreen}},
        {3, {"Automatikus Contact-ID vétel 3", kBlue}},
        {4, {"Bejövő hívás, beemelésre vár 4", kRed}},
        {5, {"Bejövő hívás folyamatban 5", kGreen}},
        {6, {"Automatikus hívás folyamatban. 6", kGreen}},
        {7, {". 7", kBlack}},
        {9, {"Hívás vége. 9", kGreen}},
        {10, {". 10", kBlack}},
        {11, {"Kimenet vezérlő hívás folyamatban 11", kGreen}},
        {12, {". 12", kBlack}},
        {255, {". 255", kBlack}},
    };
    for (const auto& [code, expected] : table) {
        const StatusLabel l = Describe(0, 0, static_cast<std::uint8_t>(code)).GSMLine;
        EXPECT_EQ(Utf8(l), expected.first) << code;
        EXPECT_EQ(l.Colour, expected.second) << code;
    }
}

TEST(ModuleStatusText, SignalBarIsFullFromThirtyOneButTheNumberIsShownAsIs) {
    EXPECT_EQ(Describe(0, 0, 0).SignalBarPosition, 0);
    EXPECT_EQ(Describe(0, 31, 0).SignalBarPosition, 31);
    EXPECT_EQ(Describe(0, 31, 0).SignalText, "31");
    EXPECT_EQ(Describe(0, 99, 0).SignalBarPosition, 31);
    EXPECT_EQ(Describe(0, 99, 0).SignalText, "99");
    EXPECT_EQ(Describe(0, 255, 0).SignalText, "255");
}
