#include "transfer/ModuleCompare.h"

#include <algorithm>

namespace orbiqa {

ModuleBlocksCompared CompareModuleBlocks(const ParameterImage& expected, const ModuleCopyBytes& module,
                                         int blocksDone) {
    ModuleBlocksCompared compared{expected, {}};
    const auto arrived = static_cast<std::size_t>(std::clamp(blocksDone, 0, int(kModuleBlockCount)));
    std::copy_n(module.begin(), arrived * kBlockSize, compared.module.begin());
    for (std::size_t n = 0; n < arrived; ++n) {
        const auto first = static_cast<std::ptrdiff_t>(n * kBlockSize);
        if (!std::equal(compared.module.begin() + first, compared.module.begin() + first + kBlockSize,
                        expected.begin() + first))
            compared.differingBlocks.push_back(static_cast<int>(n));
    }
    return compared;
}

}  // namespace orbiqa
