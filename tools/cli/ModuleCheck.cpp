#include "ModuleCheck.h"

#include <algorithm>

#include "ImageReport.h"
#include "transfer/ModuleCompare.h"

namespace orbiqa::cli {

namespace {

constexpr std::size_t kNamesShown = 12;

std::string Block(int n) {
    return "block " + std::to_string(n);
}

}  // namespace

ModuleComparison CompareWithModule(TransferEngine& engine, const ParameterImage& expected) {
    ModuleComparison c;
    c.read = engine.Read();
    const ModuleBlocksCompared compared = CompareModuleBlocks(expected, engine.ModuleCopy(), c.read.blocksDone);
    c.differingBlocks = compared.differingBlocks;
    if (c.differingBlocks.empty()) return c;  // naming fields costs more than the comparison
    for (const auto& d : DiffImages(expected, compared.module))
        c.differing.push_back(d.where.empty() ? d.a.name : d.a.name + " (" + d.where + ")");
    return c;
}

std::string DifferenceText(const ModuleComparison& comparison) {
    const auto& blocks = comparison.differingBlocks;
    std::string text = blocks.size() == 1 ? "in block " : "in blocks ";
    for (std::size_t i = 0; i < blocks.size(); ++i)
        text += (i ? ", " : "") + std::to_string(blocks[i]);
    const auto& names = comparison.differing;
    text += ": ";
    for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i)
        text += (i ? ", " : "") + names[i];
    if (names.size() > kNamesShown)
        text += " and " + std::to_string(names.size() - kNamesShown) + " other fields";
    return text;
}

Outcome StoppedTransfer(CommandSession& session, int signal, const TransferResult& result,
                        const std::string& progressVerb) {
    const std::string progress = "(" + std::to_string(result.blocksDone) + " of " +
                                 std::to_string(kModuleBlockCount) + " blocks " + progressVerb +
                                 ")";
    const std::string block = Block(result.failedBlock);
    if (signal != 0) return {128 + signal, "interrupted at " + block + " " + progress};
    if (session.DeviceLost())
        return {kExitPort,
                session.PortLabel() + ": the device went away at " + block + " " + progress};
    switch (result.outcome) {
        case TransferOutcome::WrongBlock:
            return {kExitNoAnswer, "the module answered the request for " + block +
                                       " with another block " + progress};
        case TransferOutcome::NoAck:
            return {kExitNoAnswer, "the module did not acknowledge " + block + " " + progress +
                                       session.ProbeNoAnswer()};
        default:
            return {kExitNoAnswer, "the module did not answer for " + block + " " + progress +
                                       session.ProbeNoAnswer()};
    }
}

}  // namespace orbiqa::cli
