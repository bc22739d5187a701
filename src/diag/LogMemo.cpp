#include "diag/LogMemo.h"

namespace orbiqa {

namespace {
constexpr char kCR = '\r';
constexpr char kLF = '\n';
}  // namespace

void AppendLogText(LogMemo& memo, std::string_view text) {
    // Runs of ordinary characters go to the memo in one call, which keeps long texts cheap.
    std::size_t i = 0;
    while (i < text.size()) {
        const char ch = text[i];
        if (ch == kCR) {
            if (memo.NewLinePending) memo.AddLine(" ");
            memo.NewLinePending = true;
            ++i;
            continue;
        }
        if (ch == kLF) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && text[end] != kCR && text[end] != kLF) ++end;
        const std::string_view run = text.substr(i, end - i);
        if (memo.NewLinePending)
            memo.AddLine(run);
        else
            memo.AppendToLastLine(run);
        memo.NewLinePending = false;
        i = end;
    }
}

}  // namespace orbiqa
