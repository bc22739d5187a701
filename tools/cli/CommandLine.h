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

/// Exit statuses scripts rely on.
enum ExitStatus : int {
    kExitOk = 0,      // done, or equal
    kExitModule = 1,  // the module did not answer, did not acknowledge, or differs
    kExitUsage = 2,   // bad command line, or a file that cannot be read or written
    kExitPort = 3,    // the port could not be opened (or failed while in use)
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
};

/// One command's arguments after parsing.
struct ParsedArgs {
    std::vector<std::string> positionals;
    std::map<std::string, std::string> values;  ///< options that take a value
    std::set<std::string> flags;                ///< options without a value
    bool help = false;

    bool Flag(const std::string& name) const { return flags.count(name) != 0; }
    std::optional<std::string> Value(const std::string& name) const;
};

/// Parses the arguments after the command name. Options may stand before or after the
/// positionals, as "--name value" or "--name=value"; "--" makes every later argument
/// positional; "-h"/"--help" asks for the command's help. Raises CliFailure(kExitUsage) for an
/// unknown option, a missing or unexpected value, or an option given twice.
ParsedArgs ParseCommandArgs(const std::vector<std::string>& args,
                            const std::vector<OptionDef>& options);

/// "COM7", "com7" or "7" give "COM7" (1..96); anything else raises CliFailure(kExitUsage).
std::string ParsePortName(const std::string& text);

/// A decimal whole number in [minimum, maximum], or CliFailure(kExitUsage) naming the option.
int ParseWholeNumber(const std::string& option, const std::string& text, int minimum, int maximum);

}  // namespace orbiqa::cli
