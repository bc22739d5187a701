#pragma once
// The commands of orbiqa-cli: what each accepts, its help, and the function that runs it.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "CommandLine.h"

namespace orbiqa::cli {

/// Where a command writes: results to out, progress and messages to err.
struct Io {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;  ///< draw the progress bar only at a terminal
};

struct CommandDef {
    std::string name;
    std::string synopsis;  ///< "read FILE.VR3 --port COMn"
    std::string summary;   ///< one line for the command list
    std::string details;   ///< the rest of "COMMAND --help"
    std::vector<OptionDef> options;
    std::size_t minPositionals = 0;
    std::size_t maxPositionals = 0;
    /// Returns the exit status; raises CliFailure for the others.
    std::function<int(const ParsedArgs&, Io&)> run;
};

CommandDef PortsCommand();
CommandDef VersionCommand();
CommandDef StatusCommand();
CommandDef MonitorCommand();
CommandDef ReadCommand();
CommandDef WriteCommand();
CommandDef CompareCommand();
CommandDef ShowCommand();
CommandDef DiffCommand();

/// The option every module command takes.
OptionDef PortOption();
/// The --port value, checked; CliFailure(kExitUsage) when it is missing or malformed.
std::string RequiredPort(const ParsedArgs& args);

/// Runs a whole command line (without the program name) and returns the exit status; messages
/// go to io.err prefixed with "orbiqa-cli: ".
int RunCli(const std::vector<std::string>& args, Io& io);

}  // namespace orbiqa::cli
