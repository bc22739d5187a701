// The one compare of the module's blocks with an image: only the blocks that arrived count, a
// difference is named by its block, and a block count out of range is clamped.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "transfer/ModuleCompare.h"

namespace orbiqa {
namespace {

using ::testing::IsEmpty;

TEST(ModuleCompareTest, OnlyTheBlocksThatArrivedAreHeldAgainstTheImage) {
    ParameterImage expected;
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<std::uint8_t>(i * 7);
    ModuleCopyBytes module{};
    std::copy_n(expected.begin(), module.size(), module.begin());
    module[0] ^= 1;                       // block 0
    module[3 * kBlockSize + 63] ^= 1;     // the last byte of block 3
    module[9 * kBlockSize] ^= 1;          // block 9: never arrives in the short reads

    struct Case {
        int blocksDone;
        std::vector<int> differing;
    };
    for (const Case& c : {Case{0, {}}, Case{1, {0}}, Case{4, {0, 3}}, Case{9, {0, 3}}, Case{15, {0, 3, 9}},
                          Case{-2, {}}, Case{99, {0, 3, 9}}}) {
        SCOPED_TRACE(c.blocksDone);
        const ModuleBlocksCompared compared = CompareModuleBlocks(expected, module, c.blocksDone);
        EXPECT_EQ(compared.differingBlocks, c.differing);
        EXPECT_EQ(compared.Equal(), c.differing.empty());
        // The spliced image is the module's as far as it arrived, the expected image after.
        const auto arrived = static_cast<std::size_t>(std::clamp(c.blocksDone, 0, 15)) * kBlockSize;
        EXPECT_TRUE(std::equal(module.begin(), module.begin() + arrived, compared.module.begin()));
        EXPECT_TRUE(std::equal(expected.begin() + arrived, expected.end(), compared.module.begin() + arrived));
    }
}

TEST(ModuleCompareTest, TheBytesAfterTheModulesMemoryNeverDiffer) {
    ParameterImage expected;
    expected[expected.size() - 1] = 0x5C;  // edited after the last read: not in the module
    ModuleCopyBytes module{};
    std::copy_n(expected.begin(), module.size(), module.begin());
    const ModuleBlocksCompared compared = CompareModuleBlocks(expected, module, 15);
    EXPECT_THAT(compared.differingBlocks, IsEmpty());
    EXPECT_EQ(compared.module, expected);
}

}  // namespace
}  // namespace orbiqa
