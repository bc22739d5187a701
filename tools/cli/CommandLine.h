#pragma once
// The command line of orbiqa-cli: exit statuses, the failure that carries one, and the parser
// of one command's arguments. No Qt here, so the rules are tested without a module.
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace orbiqa::cli {

/// Exit statuses scripts rely on: a script can tell "needs a write" (1) from "broken link" (3, 4).
enum ExitStatus : int {
    kExitOk = 0,        // done, or equal
    kExitDiffers = 1,   // compare or diff found a difference
    kExitUsage = 2,     // bad command line, or a file that cannot be read or written
    kExitPort = 3,      // the port could not be opened, or failed while in use
    kExitNoAnswer = 4,  // the module did not answer or did not acknowledge
};

/// Ends a command with an exit status and a message for standard error.
class CliFailure : public std::runtime_error {
public:
    CliFailure(int status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    int Status() const { return status_; }

private:
    int status_;
};

struct OptionDef {
    std::string name;       ///< "--port"
    std::string valueName;  ///< "COMn"; empty for a flag
    std::string help;
    std::string shortName = {};  ///< "-p", or empty
    bool repeatable = false;     ///< may be given more than once (values kept in order)
};

/// One command's arguments after parsing.
struct ParsedArgs {
    std::vector<std::string> positionals;
    std::map<std::string, std::vector<std::string>> values;  ///< options that take a value
    std::set<std::string> flags;                             ///< options without a value
    bool help = false;

    bool Flag(const std::string& name) const { return flags.count(name) != 0; }
    /// The option's value (the last one of a repeatable option), or nothing.
    std::optional<std::string> Value(const std::string& name) const;
    /// Every value of a repeatable option, in the order given.
    std::vector<std::string> Values(const std::string& name) const;
};

/// Parses the arguments after the command name. Options may stand before or after the
/// positionals, as "--name value" or "--name=value"; "--" makes every later argument
/// positional; "-h"/"--help" asks for the command's help. Raises CliFailure(kExitUsage) for an
/// unknown option, a missing or unexpected value, or an option given twice.
ParsedArgs ParseCommandArgs(const std::vector<std::string>& args,
                            const std::vector<OptionDef>& options);

/// "COM7", "com7", "7" or "COM007" give "COM7" (1..256, read as serial/PortName.h reads every
/// port name), a network port address its canonical form ("rfc2217://HOST:PORT",
/// "socket://HOST:PORT"); anything else raises CliFailure(kExitUsage).
std::string ParsePortName(const std::string& text);

/// Whether a port argument names a device file ("/dev/ttyUSB0") rather than a COM name.
bool IsDevicePath(const std::string& text);

/// Splits the options that stand before the command ("-p COM5 read x.VR3") from the rest:
/// the port options move behind the command, so they may stand on either side. "--version" and
/// "--help" before the command are kept at the front.
std::vector<std::string> MoveLeadingPortOptions(const std::vector<std::string>& args);

/// A decimal whole number in [minimum, maximum], or CliFailure(kExitUsage) naming the option.
int ParseWholeNumber(const std::string& option, const std::string& text, int minimum, int maximum);

}  // namespace orbiqa::cli
