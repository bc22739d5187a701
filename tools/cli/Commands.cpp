#include "Commands.h"

#include <algorithm>
#include <ostream>

#include "base/Errors.h"
#include "link/EComPort.h"

namespace orbiqa::cli {

namespace {

const char* const kProgram = "orbiqa-cli";

const std::vector<CommandDef>& AllCommands() {
    static const std::vector<CommandDef> commands = {
        PortsCommand(), VersionCommand(), StatusCommand(), MonitorCommand(), ReadCommand(),
        WriteCommand(), CompareCommand(), ShowCommand(),   DiffCommand(),
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
        << "COMMAND --help describes a command. A port is named COM1..COM96; COMn opens the link "
           "of that\n"
        << "name in $XDG_CONFIG_HOME/orbiqa/ports (~/.config/orbiqa/ports) when there is one, "
           "else\n"
        << "ttyS0..31 (COM1..32), ttyUSB0..31 (COM33..64), ttyACM0..31 (COM65..96).\n"
        << "\n"
        << "Exit status:\n"
        << "  0  done, or equal\n"
        << "  1  the module did not answer, did not acknowledge, or differs (the message names the "
           "block)\n"
        << "  2  usage error, or a file that cannot be read or written\n"
        << "  3  the port could not be opened (the message gives the reason), or failed while in "
           "use\n";
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
        line(o.name + (o.valueName.empty() ? "" : " " + o.valueName), o.help);
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
    return {"--port", "COMn", "the module's serial port (COM1..COM96, or just the number)"};
}

std::string RequiredPort(const ParsedArgs& args) {
    const auto port = args.Value("--port");
    if (!port) throw CliFailure(kExitUsage, "--port COMn is needed");
    return ParsePortName(*port);
}

int RunCli(const std::vector<std::string>& args, Io& io) {
    try {
        if (args.empty()) {
            GeneralHelp(io.err);
            return kExitUsage;
        }
        const std::string& name = args.front();
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
