#pragma once
// The one compare of the module's blocks with an image: what the module holds as far as a read
// of its blocks came, and the blocks in which that differs. The transfer window names the
// differing settings from it, the command line its fields.
#include <vector>

#include "params/ParameterImage.h"
#include "transfer/TransferEngine.h"

namespace orbiqa {

struct ModuleBlocksCompared {
    /// `expected` with blocks 0..blocksDone-1 replaced by the module's. The blocks that never
    /// arrived are taken as equal: the read's outcome tells that it stopped.
    ParameterImage module;
    /// The blocks 0..14 in which `module` differs from `expected`, in order.
    std::vector<int> differingBlocks;
    bool Equal() const { return differingBlocks.empty(); }
};

/// Holds the first blocksDone blocks of `module` (clamped to 0..15) against `expected`.
ModuleBlocksCompared CompareModuleBlocks(const ParameterImage& expected, const ModuleCopyBytes& module,
                                         int blocksDone);

}  // namespace orbiqa
