#pragma once
// The transfer's progress on standard error, redrawn in place: "read [#####.....] 5/15".
// Drawn only at a terminal, so that logs and pipes get no control characters.
#include <iosfwd>
#include <string>

#include "transfer/TransferEngine.h"

namespace orbiqa::cli {

class ProgressBar final : public TransferObserver {
public:
    ProgressBar(std::ostream& err, bool enabled, std::string label);

    /// The label of the next transfer ("verify" after "write").
    void SetLabel(std::string label) { label_ = std::move(label); }

    void TransferStarted() override { position_ = 0; }
    void BarPositionChanged(int position) override;
    /// Blocks done in the running (or last) transfer, for a transfer that a send error ended.
    int Position() const { return position_; }
    void TransferFinished() noexcept override;

    /// The bar line for a position (0..15), without the carriage return.
    static std::string Render(const std::string& label, int position);

private:
    std::ostream& err_;
    bool enabled_;
    bool drawn_ = false;
    int position_ = 0;
    std::string label_;
};

}  // namespace orbiqa::cli
