#pragma once
// The commands of orbiqa-cli: what each accepts, its help, and the function that runs it.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "params/ParameterImage.h"

namespace orbiqa::cli {

/// Where a command writes: results to out, progress and messages to err.
struct Io {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;  ///< draw the progress bar only at a terminal
    bool outIsStdout = false;    ///< out is the process's standard output
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
CommandDef GetCommand();
CommandDef SetCommand();
CommandDef ExportCommand();
CommandDef ImportCommand();
CommandDef ProvisionCommand();
CommandDef SiteCommand();
CommandDef DbCommand();

/// The option every module command takes: -p/--port.
OptionDef PortOption();
/// The port of a module command: --port, else $ORBIQA_PORT, resolved to its COM name;
/// CliFailure(kExitUsage) when neither is given or the name is malformed.
std::string RequiredPort(const ParsedArgs& args);

/// "--json" and "--timestamps" as the commands that take them define them.
OptionDef JsonOption();
OptionDef TimestampsOption();
/// The local time now in ISO 8601 with its offset: "2026-12-07T13:05:09.120+01:00".
std::string LocalTimestamp();

/// Applies FIELD=VALUE assignments to the image through the editor's entry rules; the names of
/// the fields set, in order. CliFailure(kExitUsage) for the first that is malformed, names an
/// unknown field, breaks its rule or (with moduleOnly) lies beyond the module's memory.
std::vector<std::string> ApplyAssignments(ParameterImage& image,
                                          const std::vector<std::string>& assignments,
                                          const std::string& command, bool moduleOnly);
/// A note for a value the store changes ("Ű" in an SMS text), or empty.
std::string StoredAsNote(const std::string& field, const std::string& value);

/// Runs a whole command line (without the program name) and returns the exit status; messages
/// go to io.err prefixed with "orbiqa-cli: ".
int RunCli(const std::vector<std::string>& args, Io& io);

}  // namespace orbiqa::cli
