// read, write and compare: the transfer engine of the parameter window over the command line.
#include <algorithm>
#include <array>
#include <ostream>

#include <QCoreApplication>
#include <csignal>

#include "Commands.h"
#include "FileAccess.h"
#include "ModuleCheck.h"
#include "CommandSession.h"
#include "ProgressBar.h"
#include "SiteRecording.h"
#include "link/EComPort.h"
#include "transfer/TransferEngine.h"

namespace orbiqa::cli {

namespace {

using ImageArray = std::array<std::uint8_t, kParameterImageSize>;

const OptionDef kVerifyOption{"--verify", "",
                              "read the module back and compare it with FILE after the write"};

struct Transfer {
    TerminalSession session;
    ImageArray image{};
    TransferEngine engine;
    ProgressBar bar;

    Transfer(const std::string& port, const std::string& label, Io& io)
        : session(port),
          engine(session.Channel(), image, session.Wait()),
          bar(io.err, io.errIsTerminal, label) {
        engine.SetObserver(&bar);
    }

    /// Runs one engine transfer. A send that an interrupt (Ctrl+C) or a lost device cut short
    /// ends the command as a stopped transfer, with the blocks done, not as a failed port.
    template <class Run>
    TransferResult Guarded(Run run, const std::string& what, const std::string& verb) {
        try {
            return run();
        } catch (const EComPort&) {
            TComPort& port = session.Link().ComPort1();
            if (!port.Interrupted() && !session.DeviceLost()) throw;
            // The signal's own notice is still queued behind the write it cut short.
            QCoreApplication::processEvents();
            TransferResult r;
            r.outcome = TransferOutcome::NoAnswer;
            r.blocksDone = bar.Position();
            r.failedBlock = r.blocksDone;
            const int signal = port.Interrupted() && session.Interrupted() == 0 ? SIGINT
                                                                                : session.Interrupted();
            const Outcome o = StoppedTransfer(session, signal, r, verb);
            throw CliFailure(o.status, what + ": " + o.text);
        }
    }

    /// Ends the command for a transfer that stopped early; `after` is added to the message.
    [[noreturn]] void Stopped(const std::string& what, const TransferResult& r,
                              const std::string& verb, const std::string& after = {}) {
        const Outcome o = StoppedTransfer(session, session.Interrupted(), r, verb);
        throw CliFailure(o.status, what + ": " + o.text + after);
    }
};

int RunRead(const ParsedArgs& args, Io& io) {
    const std::string path = args.positionals.at(0);
    // A file that cannot be saved is found out before fifteen blocks are read for nothing.
    CheckWritable(path);
    Transfer t(RequiredPort(args), "read", io);
    SiteRecording* recording = ActiveRecording();
    if (recording) recording->SetPort(t.session.PortName());
    const TransferResult r = t.engine.Read();
    if (!r.Succeeded()) t.Stopped("read", r, "read", "; " + path + " not written");
    ParameterImage image;
    // The engine leaves bytes 960..1087 at zero, as after a read in the window.
    std::copy(t.image.begin(), t.image.end(), image.begin());
    if (recording) recording->SetSets(recording->SiteSet(), recording->ModuleSet(image));
    SaveImageFile(path, image);
    io.out << "read: " << kModuleBlockCount << " blocks from " << t.session.PortName()
           << " saved to " << path << "\n";
    return kExitOk;
}

int RunWrite(const ParsedArgs& args, Io& io) {
    const std::string path = args.positionals.at(0);
    const std::string port = RequiredPort(args);
    const ParameterImage file = LoadImageFile(path, true);
    Transfer t(port, "write", io);
    if (SiteRecording* recording = ActiveRecording()) {
        recording->SetPort(t.session.PortName());
        recording->SetSets(recording->SiteSet(), SetBytes(file));
    }
    std::copy(file.begin(), file.end(), t.image.begin());
    const TransferResult r = t.Guarded([&] { return t.engine.Write(); }, "write", "written");
    if (!r.Succeeded()) t.Stopped("write", r, "written");
    std::string checked;
    if (args.Flag("--verify")) {
        t.bar.SetLabel("verify");
        const ModuleComparison c = CompareWithModule(t.engine, file);
        if (!c.differingBlocks.empty())
            throw CliFailure(kExitDiffers, "write: " + t.session.PortName() +
                                               " acknowledged every block but differs from " +
                                               path + " " + DifferenceText(c));
        if (!c.read.Succeeded()) t.Stopped("write: verify", c.read, "read back");
        checked = " and read back equal";
    }
    io.out << "write: " << kModuleBlockCount << " blocks from " << path << " acknowledged by "
           << t.session.PortName() << checked << "\n";
    return kExitOk;
}

int RunCompare(const ParsedArgs& args, Io& io) {
    const std::string path = args.positionals.at(0);
    const std::string port = RequiredPort(args);
    const ParameterImage file = LoadImageFile(path, true);
    Transfer t(port, "compare", io);
    const ModuleComparison c = CompareWithModule(t.engine, file);
    const std::string module = t.session.PortName();
    if (SiteRecording* recording = ActiveRecording()) {
        recording->SetPort(module);
        // What the module holds over the file's own bytes 960..1087, which never reach it: the
        // record names only the settings a compare can see. A stopped read leaves it unknown.
        ParameterImage seen = file;
        std::copy(t.image.begin(), t.image.begin() + kModuleMemorySize, seen.begin());
        if (c.read.Succeeded()) recording->SetSets(SetBytes(file), SetBytes(seen));
    }
    if (!c.differingBlocks.empty()) {
        std::string message =
            "compare: " + module + " differs from " + path + " " + DifferenceText(c);
        if (!c.read.Succeeded())
            message += "; then " +
                       StoppedTransfer(t.session, t.session.Interrupted(), c.read, "compared").text;
        throw CliFailure(t.session.Interrupted() ? 128 + t.session.Interrupted() : kExitDiffers,
                         message);
    }
    if (!c.read.Succeeded()) t.Stopped("compare", c.read, "equal before it");
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
    "acknowledgement; an unplugged adapter ends the wait at once (exit status 3), and Ctrl+C ends\n"
    "it and says how far the transfer came (exit status 130).\n";

}  // namespace

CommandDef ReadCommand() {
    return WithSiteRecording({
        "read",
        "read FILE.VR3 -p PORT",
        "read the module's parameter memory into a parameter file",
        std::string(
            "Reads blocks 0..14 and saves them as FILE (replacing it), with bytes 960..1087 zero,\n"
            "as a read in the parameter window leaves them. The file is written only when all 15\n"
            "blocks arrived. Prints \"read: 15 blocks from COMn saved to FILE\".\n"
            "FILE's folder is checked before the port is opened. Exit status 4 names the block "
            "that was\n"
            "not answered (or answered as another block).\n\n") +
            kFileNote + kProgressNote,
        {PortOption()},
        1,
        1,
        RunRead}, sites::HistoryKind::Read);
}

CommandDef WriteCommand() {
    return WithSiteRecording({
        "write",
        "write FILE.VR3 -p PORT [--verify]",
        "write a parameter file's blocks 0..14 to the module",
        std::string(
            "Sends blocks 0..14 of FILE, each waiting for the module's acknowledgement. Prints\n"
            "\"write: 15 blocks from FILE acknowledged by COMn\". Exit status 4 names the first "
            "block\n"
            "not acknowledged (the blocks before it are written); 2 when FILE cannot be read "
            "whole.\n"
            "An acknowledgement does not name its block, so a module that repeats an old one "
            "passes a\n"
            "block it never stored: --verify reads the module back afterwards and compares it "
            "with FILE\n"
            "(exit status 1 with the fields that differ).\n\n") +
            kFileNote + kProgressNote,
        {PortOption(), kVerifyOption},
        1,
        1,
        RunWrite}, sites::HistoryKind::Write);
}

CommandDef CompareCommand() {
    return WithSiteRecording({
        "compare",
        "compare FILE.VR3 -p PORT",
        "compare the module's parameter memory with a parameter file",
        std::string(
            "Reads blocks 0..14 and compares each with the same block of FILE, going on past a\n"
            "difference. Prints \"compare: COMn equals FILE (15 blocks)\" when all are equal. "
            "Exit\n"
            "status 1 names the blocks and the fields that differ; 4 the block the module did not\n"
            "answer; 2 when FILE cannot be read whole.\n\n") +
            kFileNote + kProgressNote,
        {PortOption()},
        1,
        1,
        RunCompare}, sites::HistoryKind::Compare, kExitDiffers);
}

}  // namespace orbiqa::cli
