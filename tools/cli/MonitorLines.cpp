#include "MonitorLines.h"

namespace orbiqa::cli {

void ChannelLines::Append(std::string_view text) {
    AppendLogText(*this, text);
    // A pending new line means the last line got its carriage return: nothing more joins it.
    if (NewLinePending && open_) Emit();
}

void ChannelLines::Flush() {
    if (open_) Emit();
}

void ChannelLines::AddLine(std::string_view text) {
    if (open_) Emit();
    line_ = text;
    open_ = true;
}

void ChannelLines::AppendToLastLine(std::string_view text) {
    if (!open_) line_.clear();
    line_ += text;
    open_ = true;
}

void ChannelLines::Emit() {
    open_ = false;
    sink_(line_);
    line_.clear();
}

}  // namespace orbiqa::cli
