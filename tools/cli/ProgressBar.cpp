#include "ProgressBar.h"

#include <algorithm>
#include <ostream>

namespace orbiqa::cli {

ProgressBar::ProgressBar(std::ostream& err, bool enabled, std::string label)
    : err_(err), enabled_(enabled), label_(std::move(label)) {}

std::string ProgressBar::Render(const std::string& label, int position) {
    constexpr int kBlocks = static_cast<int>(kModuleBlockCount);
    const int done = std::clamp(position, 0, kBlocks);
    return label + " [" + std::string(static_cast<std::size_t>(done), '#') +
           std::string(static_cast<std::size_t>(kBlocks - done), '.') + "] " +
           std::to_string(done) + "/" + std::to_string(kBlocks);
}

void ProgressBar::BarPositionChanged(int position) {
    position_ = position;
    if (!enabled_) return;
    err_ << '\r' << Render(label_, position) << std::flush;
    drawn_ = true;
}

void ProgressBar::TransferFinished() noexcept {
    if (!drawn_) return;
    try {
        err_ << '\n' << std::flush;
    } catch (...) {
        // A terminal that cannot take the line break has nothing else to show either.
    }
    drawn_ = false;
}

}  // namespace orbiqa::cli
