#include "shell/VersionRecord.h"

#include "base/IntText.h"

namespace orbiqa {

namespace {
constexpr std::size_t kQuoteOffset = 18;
constexpr std::size_t kTextOffset = 19;
constexpr std::size_t kDataVersionLow = 2;
constexpr std::size_t kDataVersionHigh = 3;
constexpr char kQuote = '"';
constexpr char kSeparator = ';';
const char* const kGap = "  ";

// The characters before the first separator; empty when there is none.
std::string BeforeSeparator(const std::string& t) {
    const auto p = t.find(kSeparator);
    return p == std::string::npos ? std::string() : t.substr(0, p);
}

// The characters after the first separator; all of t when there is none.
std::string AfterSeparator(const std::string& t) {
    const auto p = t.find(kSeparator);
    return p == std::string::npos ? t : t.substr(p + 1);
}
}  // namespace

std::optional<std::string> VersionReplyText(const std::array<std::uint8_t, kBlockSize>& block) {
    if (block[kQuoteOffset] != kQuote) return std::nullopt;

    std::string t;
    for (std::size_t i = kTextOffset; i < block.size() && block[i] != kQuote; ++i) t += static_cast<char>(block[i]);
    const unsigned dataVersion = block[kDataVersionLow] + 256u * block[kDataVersionHigh];

    const std::string f1 = BeforeSeparator(t);
    t = AfterSeparator(t);
    const std::string f2 = BeforeSeparator(t);
    t = AfterSeparator(t);
    t = AfterSeparator(t);  // the third field is not shown
    const auto p = t.find(kSeparator);
    const std::string f4 = p == std::string::npos ? t : t.substr(0, p);

    return f1 + kGap + f2 + kGap + f4 + kGap + "DataVersion:" + IntToStr(dataVersion);
}

}  // namespace orbiqa
