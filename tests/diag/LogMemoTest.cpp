#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/LogMemo.h"

using namespace orbiqa;

namespace {

struct LinesMemo : LogMemo {
    std::vector<std::string> lines;
    void AddLine(std::string_view text) override { lines.emplace_back(text); }
    void AppendToLastLine(std::string_view text) override {
        if (lines.empty()) lines.emplace_back();
        lines.back() += text;
    }
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(AppendLogText, LineEndsOnlyWhenTheNextCharacterComes) {
    LinesMemo m;
    AppendLogText(m, "AB");
    AppendLogText(m, "C\r");
    EXPECT_EQ(m.lines, Lines{"ABC"});
    EXPECT_TRUE(m.NewLinePending);
    AppendLogText(m, "D");
    EXPECT_EQ(m.lines, (Lines{"ABC", "D"}));
    EXPECT_FALSE(m.NewLinePending);
}

TEST(AppendLogText, TwoCarriageReturnsLeaveALineHoldingOneBlank) {
    LinesMemo m;
    AppendLogText(m, "earlier");
    AppendLogText(m, "\r");
    AppendLogText(m, "\r");
    AppendLogText(m, "X");
    EXPECT_EQ(m.lines, (Lines{"earlier", " ", "X"}));
}

TEST(AppendLogText, LineFeedsNeverMatter) {
    LinesMemo crlf, cr;
    AppendLogText(crlf, "one\r\ntwo\r\n");
    AppendLogText(cr, "one\rtwo\r");
    EXPECT_EQ(crlf.lines, cr.lines);
    EXPECT_EQ(crlf.NewLinePending, cr.NewLinePending);

    LinesMemo lf;
    AppendLogText(lf, "a\nb");
    EXPECT_EQ(lf.lines, Lines{"ab"});
    AppendLogText(lf, "\r\n\n");  // a line feed does not clear a pending new line
    EXPECT_TRUE(lf.NewLinePending);
}

TEST(AppendLogText, EmptyingTheLinesKeepsThePendingFlag) {
    LinesMemo m;
    AppendLogText(m, "old\r");
    m.lines.clear();  // "Clear All"
    AppendLogText(m, "new");
    EXPECT_EQ(m.lines, Lines{"new"});
}
