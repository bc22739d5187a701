// read, write and compare: the transfer engine of the parameter window over the command line.
#include <algorithm>
#include <array>
#include <ostream>

#include "Commands.h"
#include "ModuleSession.h"
#include "ProgressBar.h"
#include "base/Errors.h"
#include "transfer/ParameterFile.h"
#include "transfer/TransferEngine.h"

namespace orbiqa::cli {

namespace {

using ImageArray = std::array<std::uint8_t, kParameterImageSize>;

const std::string kOfBlocks = " of " + std::to_string(kModuleBlockCount) + " blocks";

std::string Block(int n) {
    return "block " + std::to_string(n);
}

/// Why a read or compare stopped early, naming the block.
std::string StopReason(const TransferResult& r) {
    if (r.outcome == TransferOutcome::WrongBlock)
        return "the module answered the request for " + Block(r.failedBlock) +
               " with another block";
    return "the module did not answer for " + Block(r.failedBlock);
}

ImageArray LoadFile(const std::string& path) {
    ImageArray image{};
    try {
        LoadParameterFile(path, image);
    } catch (const EFileError& e) {
        throw CliFailure(kExitUsage, path + ": " + e.what());
    }
    return image;
}

struct Transfer {
    ModuleSession session;
    ImageArray image{};
    TransferEngine engine;
    ProgressBar bar;

    Transfer(const std::string& port, const std::string& label, Io& io)
        : session(port),
          engine(session.Channel(), image, session.Waiter().Function()),
          bar(io.err, io.errIsTerminal, label) {
        engine.SetObserver(&bar);
    }
};

int RunRead(const ParsedArgs& args, Io& io) {
    const std::string path = args.positionals.at(0);
    Transfer t(RequiredPort(args), "read", io);
    const TransferResult r = t.engine.Read();
    t.session.CheckDevice();
    if (!r.Succeeded())
        throw CliFailure(kExitModule, "read: " + StopReason(r) + " (" +
                                          std::to_string(r.blocksDone) + kOfBlocks + " read; " +
                                          path + " not written)");
    // The engine leaves bytes 960..1087 at zero, as after a read in the window.
    try {
        SaveParameterFile(path, t.image);
    } catch (const EFileError& e) {
        throw CliFailure(kExitUsage, path + ": " + e.what());
    }
    io.out << "read: " << kModuleBlockCount << " blocks from " << t.session.PortName()
           << " saved to " << path << "\n";
    return kExitOk;
}

int RunWrite(const ParsedArgs& args, Io& io) {
    const std::string path = args.positionals.at(0);
    const std::string port = RequiredPort(args);
    const ImageArray file = LoadFile(path);
    Transfer t(port, "write", io);
    t.image = file;
    const TransferResult r = t.engine.Write();
    t.session.CheckDevice();
    if (!r.Succeeded())
        throw CliFailure(kExitModule, "write: the module did not acknowledge " +
                                          Block(r.failedBlock) + " (" +
                                          std::to_string(r.blocksDone) + kOfBlocks + " written)");
    io.out << "write: " << kModuleBlockCount << " blocks from " << path << " acknowledged by "
           << t.session.PortName() << "\n";
    return kExitOk;
}

int RunCompare(const ParsedArgs& args, Io& io) {
    const std::string path = args.positionals.at(0);
    const std::string port = RequiredPort(args);
    const ImageArray file = LoadFile(path);
    Transfer t(port, "compare", io);
    // The engine compares the module with what it takes the module to hold: the file's blocks.
    std::copy_n(file.begin(), kModuleMemorySize, t.engine.ModuleCopy().begin());
    const TransferResult r = t.engine.Compare();
    t.session.CheckDevice();
    const std::string module = t.session.PortName();
    if (r.firstDifferentBlock >= 0) {
        std::string message = "compare: " + module + " differs from " + path + " in " +
                              Block(r.firstDifferentBlock) + " (the first that differs)";
        if (r.failedBlock >= 0) message += "; then " + StopReason(r);
        throw CliFailure(kExitModule, message);
    }
    if (!r.Succeeded())
        throw CliFailure(kExitModule, "compare: " + StopReason(r) + " (" +
                                          std::to_string(r.blocksDone) + kOfBlocks +
                                          " equal before it)");
    io.out << "compare: " << module << " equals " << path << " (" << kModuleBlockCount
           << " blocks)\n";
    return kExitOk;
}

const char* const kFileNote =
    "A parameter file (.VR3) is the 1088-byte parameter image; the module holds its first 960 "
    "bytes\n"
    "(blocks 0..14 of 64 bytes). Bytes 960..1087 (the monitoring settings) never reach the "
    "module.\n";

const char* const kProgressNote =
    "While it runs, a progress bar (blocks done of 15) is drawn on standard error when that is a\n"
    "terminal. No request is repeated: a read waits up to 5 s for each block, a write 8 s for "
    "each\n"
    "acknowledgement.\n";

}  // namespace

CommandDef ReadCommand() {
    return {
        "read",
        "read FILE.VR3 --port COMn",
        "read the module's parameter memory into a parameter file",
        std::string(
            "Reads blocks 0..14 and saves them as FILE (replacing it), with bytes 960..1087 zero,\n"
            "as a read in the parameter window leaves them. The file is written only when all 15\n"
            "blocks arrived. Prints \"read: 15 blocks from COMn saved to FILE\".\n"
            "Exit status 1 names the block that was not answered (or answered as another "
            "block).\n\n") +
            kFileNote + kProgressNote,
        {PortOption()},
        1,
        1,
        RunRead};
}

CommandDef WriteCommand() {
    return {
        "write",
        "write FILE.VR3 --port COMn",
        "write a parameter file's blocks 0..14 to the module",
        std::string(
            "Sends blocks 0..14 of FILE, each waiting for the module's acknowledgement. Prints\n"
            "\"write: 15 blocks from FILE acknowledged by COMn\". Exit status 1 names the first "
            "block\n"
            "not acknowledged (the blocks before it are written); 2 when FILE cannot be read "
            "whole.\n\n") +
            kFileNote + kProgressNote,
        {PortOption()},
        1,
        1,
        RunWrite};
}

CommandDef CompareCommand() {
    return {
        "compare",
        "compare FILE.VR3 --port COMn",
        "compare the module's parameter memory with a parameter file",
        std::string(
            "Reads blocks 0..14 and compares each with the same block of FILE, going on past a\n"
            "difference. Prints \"compare: COMn equals FILE (15 blocks)\" when all are equal. "
            "Exit\n"
            "status 1 names the first block that differs, or the block the module did not answer;\n"
            "2 when FILE cannot be read whole.\n\n") +
            kFileNote + kProgressNote,
        {PortOption()},
        1,
        1,
        RunCompare};
}

}  // namespace orbiqa::cli
