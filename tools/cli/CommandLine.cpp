#include "CommandLine.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace orbiqa::cli {

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 96;

[[noreturn]] void Usage(const std::string& message) {
    throw CliFailure(kExitUsage, message);
}

const OptionDef* FindOption(const std::vector<OptionDef>& options, const std::string& name) {
    const auto it = std::find_if(options.begin(), options.end(),
                                 [&](const OptionDef& o) { return o.name == name; });
    return it == options.end() ? nullptr : &*it;
}

std::optional<int> Decimal(const std::string& text) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> ParsedArgs::Value(const std::string& name) const {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

ParsedArgs ParseCommandArgs(const std::vector<std::string>& args,
                            const std::vector<OptionDef>& options) {
    ParsedArgs parsed;
    bool onlyPositionals = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyPositionals || arg.size() < 2 || arg[0] != '-') {
            parsed.positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositionals = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            parsed.help = true;
            continue;
        }
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionDef* option = FindOption(options, name);
        if (!option) Usage("unknown option " + name);
        if (parsed.values.count(name) || parsed.flags.count(name)) Usage(name + " is given twice");
        if (option->valueName.empty()) {
            if (equals != std::string::npos) Usage(name + " takes no value");
            parsed.flags.insert(name);
            continue;
        }
        if (equals != std::string::npos) {
            parsed.values[name] = arg.substr(equals + 1);
        } else {
            if (i + 1 >= args.size()) Usage(name + " needs a value (" + option->valueName + ")");
            parsed.values[name] = args[++i];
        }
    }
    return parsed;
}

std::string ParsePortName(const std::string& text) {
    std::string digits = text;
    if (digits.size() > 3) {
        std::string prefix = digits.substr(0, 3);
        std::transform(prefix.begin(), prefix.end(), prefix.begin(),
                       [](unsigned char c) { return std::toupper(c); });
        if (prefix == "COM") digits = digits.substr(3);
    }
    const std::optional<int> number = Decimal(digits);
    if (!number || *number < kFirstPort || *number > kLastPort)
        Usage("'" + text + "' is not a port name (COM1 to COM96)");
    return "COM" + std::to_string(*number);
}

int ParseWholeNumber(const std::string& option, const std::string& text, int minimum, int maximum) {
    const std::optional<int> value = Decimal(text);
    if (!value || *value < minimum || *value > maximum)
        Usage(option + " needs a whole number from " + std::to_string(minimum) + " to " +
              std::to_string(maximum) + ", not '" + text + "'");
    return *value;
}

}  // namespace orbiqa::cli
