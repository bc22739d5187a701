#include "CommandLine.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "base/ComPortRange.h"
#include "serial/PortName.h"

namespace orbiqa::cli {

namespace {

[[noreturn]] void Usage(const std::string& message) {
    throw CliFailure(kExitUsage, message);
}

const OptionDef* FindOption(const std::vector<OptionDef>& options, const std::string& name) {
    const auto it = std::find_if(options.begin(), options.end(), [&](const OptionDef& o) {
        return o.name == name || (!o.shortName.empty() && o.shortName == name);
    });
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
    if (it == values.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

std::vector<std::string> ParsedArgs::Values(const std::string& name) const {
    const auto it = values.find(name);
    return it == values.end() ? std::vector<std::string>{} : it->second;
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
        const OptionDef* option = FindOption(options, arg.substr(0, equals));
        if (!option) Usage("unknown option " + arg.substr(0, equals));
        const std::string& name = option->name;
        if (!option->repeatable && (parsed.values.count(name) || parsed.flags.count(name)))
            Usage(name + " is given twice");
        if (option->valueName.empty()) {
            if (equals != std::string::npos) Usage(name + " takes no value");
            parsed.flags.insert(name);
            continue;
        }
        if (equals != std::string::npos) {
            parsed.values[name].push_back(arg.substr(equals + 1));
        } else {
            if (i + 1 >= args.size()) Usage(name + " needs a value (" + option->valueName + ")");
            parsed.values[name].push_back(args[++i]);
        }
    }
    return parsed;
}

std::string ParsePortName(const std::string& text) {
    if (LooksLikeNetworkPort(text)) {
        if (const auto address = ParseNetworkPort(text)) return address->Text();
        Usage("'" + text +
              "' is not a network port address (rfc2217://HOST:PORT or socket://HOST:PORT)");
    }
    // The Windows device namespace form, as serial tools there print it, is the path of a COM
    // port (as /dev/ttyS0 is on Linux): the name after it is read as any other.
    constexpr std::string_view kDevicePrefix = "\\\\.\\";
    std::string_view name = text;
    if (name.starts_with(kDevicePrefix)) name.remove_prefix(kDevicePrefix.size());
    const std::optional<int> number = ComPortNumberOf(name);
    if (!number)
        Usage("'" + text + "' is not a port name (COM1 to COM" + std::to_string(kLastComPort) + ")");
    return ComPortName(*number);
}

bool IsDevicePath(const std::string& text) {
    return !text.empty() && text[0] == '/';
}

std::vector<std::string> MoveLeadingPortOptions(const std::vector<std::string>& args) {
    std::vector<std::string> front, moved;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if ((arg == "-p" || arg == "--port") && i + 1 < args.size()) {
            moved.insert(moved.end(), {arg, args[i + 1]});
            ++i;
        } else if (arg.rfind("--port=", 0) == 0) {
            moved.push_back(arg);
        } else if (arg == "--version" || arg == "--help" || arg == "-h") {
            front.push_back(arg);
        } else {
            break;
        }
    }
    std::vector<std::string> result = front;
    if (i < args.size()) result.push_back(args[i++]);  // the command
    result.insert(result.end(), moved.begin(), moved.end());
    result.insert(result.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    return result;
}

int ParseWholeNumber(const std::string& option, const std::string& text, int minimum, int maximum) {
    const std::optional<int> value = Decimal(text);
    if (!value || *value < minimum || *value > maximum)
        Usage(option + " needs a whole number from " + std::to_string(minimum) + " to " +
              std::to_string(maximum) + ", not '" + text + "'");
    return *value;
}

}  // namespace orbiqa::cli
