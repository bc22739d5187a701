// The version record split: any 64-byte block as the module may send it for block 254.
#include <algorithm>

#include "FuzzSupport.h"
#include "base/IntText.h"
#include "shell/VersionRecord.h"

using namespace orbiqa;
using namespace orbiqa::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::array<std::uint8_t, kBlockSize> block{};
    std::copy_n(data, std::min(size, block.size()), block.begin());
    const std::optional<std::string> text = VersionReplyText(block);
    FUZZ_CHECK(text.has_value() == (block[18] == '"'));
    if (!text) return 0;
    const std::string suffix = "DataVersion:" + IntToStr(block[2] + 256 * block[3]);
    FUZZ_CHECK(text->size() >= suffix.size() && text->compare(text->size() - suffix.size(), suffix.size(), suffix) == 0);
    // Three gaps and at most the record's 45 text bytes.
    FUZZ_CHECK(text->size() <= 45 + 3 * 2 + suffix.size());
    return 0;
}
