// version: the module's version record, as the "Info" box shows it.
#include <ostream>

#include "Commands.h"
#include "CommandSession.h"
#include "JsonWriter.h"
#include "base/Win1250.h"
#include "shell/VersionRecord.h"

namespace orbiqa::cli {

namespace {

constexpr std::uint16_t kVersionAddress = kVersionBlock * kBlockSize;

int RunVersion(const ParsedArgs& args, Io& io) {
    TerminalSession session(RequiredPort(args));
    ReplyState& reply = session.Link().Reply();
    reply.ReadReplyReady = 0;
    session.Link().SendCommand(kCmdReadBlock, kVersionReadArguments.data());
    session.WaitForFlag(reply.ReadReplyReady, kReadReplyTicks);
    session.CheckInterrupt("version");
    session.CheckDevice();
    const std::string block = "block " + std::to_string(kVersionBlock);
    if (reply.ReadReplyReady == 0)
        throw CliFailure(kExitNoAnswer, session.PortName() +
                                            ": the module did not answer the version request (" +
                                            block + ")" + session.ProbeNoAnswer());
    if (reply.ReadReplyAddress != kVersionAddress)
        throw CliFailure(kExitNoAnswer,
                         session.PortName() +
                             ": the module answered the version request with block " +
                             std::to_string(reply.ReadReplyAddress / kBlockSize));
    const auto text = VersionReplyText(reply.VersionReplyBuffer);
    if (!text)
        throw CliFailure(kExitNoAnswer,
                         session.PortName() + ": " + block + " is not a version record");
    // The box shows its text as a C string: a NUL byte ends what is seen.
    const std::string line = Win1250ToUtf8(text->substr(0, text->find('\0')));
    if (args.Flag("--json"))
        io.out << JsonObject().Text("port", session.PortName()).Text("version", line).Line() << "\n";
    else
        io.out << line << '\n';
    return kExitOk;
}

}  // namespace

CommandDef VersionCommand() {
    return {"version",
            "version -p PORT [--json]",
            "print the module's version line",
            "Reads the version record (block 254) and prints the line the \"Info\" box shows, for "
            "example\n"
            "    ORBIQA-GSM  V1.05  3.2  DataVersion:5\n"
            "--json prints {\"port\": \"COMn\", \"version\": LINE}. Exit status 4 when the module "
            "does not\n"
            "answer within 5 s or block 254 is no version record.\n",
            {PortOption(), JsonOption()},
            0,
            0,
            RunVersion};
}

}  // namespace orbiqa::cli
