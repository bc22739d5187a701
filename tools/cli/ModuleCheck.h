#pragma once
// What the transfer commands and provision share: a module compared with a parameter image
// field by field, and a stopped transfer put into words with its exit status.
#include <string>
#include <vector>

#include "CommandSession.h"
#include "params/ParameterImage.h"
#include "transfer/TransferEngine.h"

namespace orbiqa::cli {

/// The module's blocks held against an image.
struct ModuleComparison {
    TransferResult read;                 ///< the read of the module's blocks
    std::vector<int> differingBlocks;    ///< among the blocks that arrived
    std::vector<std::string> differing;  ///< field names and "@OFFSET" byte runs
    bool Equal() const { return read.Succeeded() && differingBlocks.empty(); }
};

/// Reads blocks 0..14 with the engine (its image is overwritten) and compares each block that
/// arrived with image bytes 0..959 of `expected`. Unlike an acknowledgement, which names no
/// block, this is proof of what the module holds.
ModuleComparison CompareWithModule(TransferEngine& engine, const ParameterImage& expected);

/// "in blocks 1, 3: USER2, SMS3, @130"; at most a dozen names, then "and N more".
std::string DifferenceText(const ModuleComparison& comparison);

/// An exit status with its message.
struct Outcome {
    int status = kExitOk;
    std::string text;
};

/// Why a transfer stopped before its end, with the blocks done ("6 of 15 blocks written"):
/// interrupted (128 + signal), the device went away (3), or the module did not answer, answered
/// with another block or did not acknowledge (4), the last two with a note from a status poll
/// sent after (CommandSession::ProbeNoAnswer): another key, or nothing arriving at all.
Outcome StoppedTransfer(CommandSession& session, int signal, const TransferResult& result,
                        const std::string& progressVerb);

}  // namespace orbiqa::cli
