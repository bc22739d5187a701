#include "Commands.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <ostream>

#include "Console.h"
#include "ModuleKeyFingerprint.h"
#include "CommandSession.h"
#include "base/Errors.h"
#include "link/EComPort.h"

namespace orbiqa::cli {

namespace {

const char* const kProgram = "orbiqa-cli";
const char* const kPortVariable = "ORBIQA_PORT";

const char* const kExitTable =
    "Exit status:\n"
    "  0  done, or equal\n"
    "  1  differs (compare, diff, write --verify, provision): a write is needed\n"
    "  2  usage error, or a file that cannot be read or written\n"
    "  3  the port could not be opened, failed while in use, or went away\n"
    "  4  the module did not answer or did not acknowledge\n"
    "  128+N  interrupted by signal N (130 for Ctrl+C)\n";

void PrintVersion(std::ostream& out) {
    out << kProgram << " " << ORBIQA_VERSION_TEXT << "\n"
        << "module key fingerprint " << kModuleKeyFingerprint
        << (kModuleKeyIsDevelopment ? " (the development key: talks only to orbiqa-modsim)" : "")
        << "\n";
}

/// Standard output must have reached its file: a full disk or a closed pipe is an error, not
/// success.
int CheckOutput(int status, Io& io) {
    errno = 0;
    io.out.flush();
    if (io.out.good()) return status;
    const int error = errno;
    if (error == EPIPE || (io.outIsStdout && StdoutReaderGone())) return status;
    io.err << kProgram << ": write error"
           << (error != 0 ? std::string(": ") + std::strerror(error) : "") << "\n";
    return kExitUsage;
}

const std::vector<CommandDef>& AllCommands() {
    static const std::vector<CommandDef> commands = {
        PortsCommand(), VersionCommand(), StatusCommand(),    MonitorCommand(), ReadCommand(),
        WriteCommand(), CompareCommand(), ProvisionCommand(), ShowCommand(),    DiffCommand(),
        GetCommand(),   SetCommand(),     ExportCommand(),    ImportCommand(),
        SiteCommand(),  DbCommand(),
    };
    return commands;
}

const CommandDef* FindCommand(const std::string& name) {
    const auto& commands = AllCommands();
    const auto it = std::find_if(commands.begin(), commands.end(),
                                 [&](const CommandDef& c) { return c.name == name; });
    return it == commands.end() ? nullptr : &*it;
}

void GeneralHelp(std::ostream& out) {
    out << "Usage: " << kProgram << " COMMAND [ARGUMENTS] [OPTIONS]\n"
        << "\n"
        << "Service work on the GSM communicator module from a terminal or a script: the same "
           "link,\n"
        << "transfers and parameter files as the Orbiqa program.\n"
        << "\n"
        << "Commands:\n";
    for (const auto& c : AllCommands()) {
        std::string line = "  " + c.synopsis;
        line += std::string(line.size() < 40 ? 40 - line.size() : 2, ' ');
        out << line << c.summary << "\n";
    }
    out << "\n"
        << "COMMAND --help describes a command. -p/--port PORT may stand before or after the "
           "command;\n"
        << "$ORBIQA_PORT gives the port when neither does. A port is COM1..COM256 (COM7, com7, 7 "
           "or \\\\.\\COM7)\n"
        << "or a device path (/dev/ttyUSB0). COMn opens the link of that name in\n"
        << "$XDG_CONFIG_HOME/orbiqa/ports (~/.config/orbiqa/ports) when there is one, else "
           "ttyS0..31\n"
        << "(COM1..32), ttyUSB0..31 (COM33..64), ttyACM0..31 (COM65..96).\n"
        << "A port on the network is rfc2217://HOST:PORT (the line settings travel to the "
           "server)\n"
        << "or socket://HOST:PORT (raw TCP to a server whose line is set to 19200 8N1).\n"
        << "\n"
        << "  --version   the program's version and its module key fingerprint\n"
        << "\n"
        << kExitTable;
}

void CommandHelp(const CommandDef& c, std::ostream& out) {
    out << "Usage: " << kProgram << " " << c.synopsis << "\n\n" << c.summary << "\n";
    if (!c.details.empty()) out << "\n" << c.details;
    out << "\nOptions:\n";
    const auto line = [&out](std::string head, const std::string& help) {
        head = "  " + head;
        head += std::string(head.size() < 22 ? 22 - head.size() : 2, ' ');
        out << head << help << "\n";
    };
    for (const auto& o : c.options)
        line((o.shortName.empty() ? "" : o.shortName + ", ") + o.name +
                 (o.valueName.empty() ? "" : " " + o.valueName) + (o.repeatable ? " ..." : ""),
             o.help);
    line("-h, --help", "show this text");
}

int RunCommand(const CommandDef& command, const std::vector<std::string>& args, Io& io) {
    const ParsedArgs parsed = ParseCommandArgs(args, command.options);
    if (parsed.help) {
        CommandHelp(command, io.out);
        return kExitOk;
    }
    const std::size_t count = parsed.positionals.size();
    if (count < command.minPositionals)
        throw CliFailure(kExitUsage, command.name + ": missing argument (usage: " + kProgram + " " +
                                         command.synopsis + ")");
    if (count > command.maxPositionals)
        throw CliFailure(kExitUsage, command.name + ": unexpected argument '" +
                                         parsed.positionals[command.maxPositionals] +
                                         "' (usage: " + kProgram + " " + command.synopsis + ")");
    return command.run(parsed, io);
}

}  // namespace

OptionDef PortOption() {
    return {"--port", "PORT", "the module's serial port: COM1..COM256 or a device path", "-p"};
}

OptionDef JsonOption() {
    return {"--json", "", "print JSON instead of lines"};
}

OptionDef TimestampsOption() {
    return {"--timestamps", "", "start each line with the local time (ISO 8601)"};
}

std::string RequiredPort(const ParsedArgs& args) {
    auto port = args.Value("--port");
    if (!port) {
        const char* fromEnvironment = std::getenv(kPortVariable);
        if (fromEnvironment && *fromEnvironment) port = fromEnvironment;
    }
    if (!port) throw CliFailure(kExitUsage, "a port is needed: -p PORT, or $ORBIQA_PORT");
    return ResolvePortArgument(*port);
}

std::string LocalTimestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    // The offset from the clock itself: strftime's %z gives a zone name, or nothing, on Windows.
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    utc.tm_isdst = local.tm_isdst;
    const long offset = static_cast<long>(std::difftime(seconds, std::mktime(&utc)));
    const long minutes = std::labs(offset) / 60;
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03d%c%02ld:%02ld", date, static_cast<int>(millis),
                  offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

int RunCliCommand(const std::vector<std::string>& given, Io& io);

int RunCli(const std::vector<std::string>& given, Io& io) {
    return CheckOutput(RunCliCommand(given, io), io);
}

int RunCliCommand(const std::vector<std::string>& given, Io& io) {
    try {
        const std::vector<std::string> args = MoveLeadingPortOptions(given);
        if (args.empty()) {
            GeneralHelp(io.err);
            return kExitUsage;
        }
        const std::string& name = args.front();
        if (name == "--version") {
            PrintVersion(io.out);
            return kExitOk;
        }
        if (name == "-h" || name == "--help" || name == "help") {
            if (args.size() > 1) {
                if (const CommandDef* c = FindCommand(args[1])) {
                    CommandHelp(*c, io.out);
                    return kExitOk;
                }
                throw CliFailure(kExitUsage, "unknown command '" + args[1] + "'");
            }
            GeneralHelp(io.out);
            return kExitOk;
        }
        if (name.rfind('-', 0) == 0)
            throw CliFailure(kExitUsage, "'" + name + "' needs a command after it (" + kProgram +
                                             " --help lists them)");
        const CommandDef* command = FindCommand(name);
        if (!command)
            throw CliFailure(kExitUsage,
                             "unknown command '" + name + "' (" + kProgram + " --help lists them)");
        return RunCommand(*command, {args.begin() + 1, args.end()}, io);
    } catch (const CliFailure& f) {
        io.out.flush();
        io.err << kProgram << ": " << f.what() << "\n";
        return f.Status();
    } catch (const EComPort& e) {
        // A send that fails after the port opened: the port is unusable, as if it could not be
        // opened.
        io.out.flush();
        io.err << kProgram << ": the port failed: " << e.what() << "\n";
        return kExitPort;
    } catch (const EFileError& e) {
        io.out.flush();
        io.err << kProgram << ": " << e.what() << "\n";
        return kExitUsage;
    }
}

}  // namespace orbiqa::cli
