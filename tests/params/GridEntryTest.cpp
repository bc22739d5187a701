#include <gtest/gtest.h>

#include "params/GridEntry.h"

using namespace orbiqa;

namespace {

struct Row : CellRow {
    explicit Row(std::size_t n) : cells(n) {}
    std::size_t ColCount() const override { return cells.size(); }
    std::size_t Col() const override { return col; }
    void SetCol(std::size_t c) override { col = c; }
    void SetCell(std::size_t c, const std::string& value) override { cells.at(c) = value; }
    std::string Text() const {
        std::string s;
        for (const auto& c : cells) s += c.empty() ? "_" : c;
        return s;
    }
    std::vector<std::string> cells;
    std::size_t col = 0;
};

// The number grids' keys are exercised on the real widgets (SettingsPagesTest).
void Type(Row& row, const std::string& keys, bool event = false) {
    for (char k : keys) event ? EventGridKeyPress(row, k) : DigitGridKeyPress(row, k);
}

}  // namespace

TEST(EventGridKeys, HexLettersStarAndCapitals) {
    Row row(4);
    Type(row, "b*g1", true);  // g is not a symbol
    EXPECT_EQ(row.Text(), "B*1_");
    Type(row, "fF", true);
    EXPECT_EQ(row.Text(), "B*1F");
    Type(row, "\b\b", true);  // from the last cell: clears it, then the one before
    EXPECT_EQ(row.Text(), "B___");
}

TEST(CellValidate, FirstCharacterRule) {
    EXPECT_EQ(DigitCellValidate("42"), "4");
    EXPECT_EQ(DigitCellValidate("x4"), "");
    EXPECT_EQ(DigitCellValidate(""), "");
    EXPECT_EQ(EventCellValidate("e"), "E");
    EXPECT_EQ(EventCellValidate("*1"), "*");
    EXPECT_EQ(EventCellValidate("g"), "");
    EXPECT_EQ(EventCellValidate(" "), "");
}
