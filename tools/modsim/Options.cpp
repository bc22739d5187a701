#include "Options.h"

#include <functional>

#include "base/ComPortRange.h"
#include "base/IntText.h"
#include "serial/PortName.h"

namespace orbiqa::modsim {
namespace {

using Setter = std::function<std::string(Options&, const std::string&)>;  // returns an error

struct OptionRule {
    const char* name;
    bool takesValue;
    Setter set;
};

// Every number option goes through the program's integer text rule, so "0x10" and "$10" work
// the same as on the program's side.
std::string ReadInt(const std::string& name, const std::string& text, long long lo, long long hi,
                    long long& out) {
    const auto v = TryStrToInt(text);
    if (!v || *v < lo || *v > hi)
        return name + " needs a number from " + IntToStr(lo) + " to " + IntToStr(hi) + ", not '" +
               text + "'";
    out = *v;
    return {};
}

template <typename T>
Setter Int(const char* name, long long lo, long long hi, T Options::*field) {
    return [=](Options& o, const std::string& text) {
        long long v = 0;
        std::string err = ReadInt(name, text, lo, hi, v);
        if (err.empty()) o.*field = static_cast<T>(v);
        return err;
    };
}

template <typename T>
Setter OptInt(const char* name, long long lo, long long hi, std::optional<T> Options::*field) {
    return [=](Options& o, const std::string& text) {
        long long v = 0;
        std::string err = ReadInt(name, text, lo, hi, v);
        if (err.empty()) o.*field = static_cast<T>(v);
        return err;
    };
}

Setter Flag(bool Options::*field) {
    return [=](Options& o, const std::string&) {
        o.*field = true;
        return std::string();
    };
}

std::string SetPort(Options& o, const std::string& text) {
    const std::optional<int> n = ComPortNumberOf(text);
    if (!n) return "--port needs a name COM1 to COM256, not '" + text + "'";
    o.port = *n;
    return {};
}

std::string SetDropData(Options& o, const std::string& text) {
    // "K" or "K:M": block K, data message M (default 2).
    const auto colon = text.find(':');
    long long block = 0;
    long long message = 2;
    std::string err = ReadInt("--drop-data-message", text.substr(0, colon), 0, 255, block);
    if (err.empty() && colon != std::string::npos)
        err = ReadInt("--drop-data-message (message number)", text.substr(colon + 1), 0, 5, message);
    if (!err.empty()) return err;
    o.dropDataBlock = static_cast<int>(block);
    o.dropDataMessage = static_cast<int>(message);
    return {};
}

std::string SetTexts(Options& o, const std::string& text) {
    if (text == "off") {
        o.texts = TextMode::Off;
    } else if (text == "demo") {
        o.texts = TextMode::Demo;
    } else {
        return "--texts needs 'off' or 'demo', not '" + text + "'";
    }
    return {};
}

std::string SetImage(Options& o, const std::string& text) {
    if (text == "demo") {
        o.image = ImageKind::Demo;
    } else if (text == "erased") {
        o.image = ImageKind::Erased;
    } else {
        return "--image needs 'demo' or 'erased', not '" + text + "'";
    }
    return {};
}

std::string SetVersionText(Options& o, const std::string& text) {
    // The record holds the text between two double quotes from byte 19 to byte 63.
    if (text.size() > 44 || text.find('"') != std::string::npos)
        return "--version-text takes at most 44 characters and no double quote";
    o.versionText = text;
    return {};
}

std::string SetExitAfter(Options& o, const std::string& text) {
    long long seconds = 0;
    std::string err = ReadInt("--exit-after", text, 1, 86400, seconds);
    if (err.empty()) o.exitAfterMs = static_cast<int>(seconds * 1000);
    return err;
}

const std::vector<OptionRule>& Rules() {
    static const std::vector<OptionRule> rules = {
        {"--port", true, SetPort},
        {"--link-dir", true, [](Options& o, const std::string& v) { o.linkDir = v; return std::string(); }},
        {"--quiet", false, Flag(&Options::quiet)},
        {"--verbose", false, Flag(&Options::verbose)},
        {"--exit-after", true, SetExitAfter},
        {"--fast", false, Flag(&Options::fast)},
        {"--reply-delay", true, Int("--reply-delay", 0, 600000, &Options::replyDelayMs)},
        {"--memory", true, [](Options& o, const std::string& v) { o.memoryFile = v; return std::string(); }},
        {"--image", true, SetImage},
        {"--status-flags", true, OptInt("--status-flags", 0, 255, &Options::statusFlags)},
        {"--signal", true, OptInt("--signal", 0, 255, &Options::signal)},
        {"--line-state", true, OptInt("--line-state", 0, 255, &Options::lineState)},
        {"--version-text", true, SetVersionText},
        {"--data-version", true, Int("--data-version", 0, 65535, &Options::dataVersion)},
        {"--texts", true, SetTexts},
        {"--text-interval", true, Int("--text-interval", 20, 3600000, &Options::textIntervalMs)},
        {"--seed", true, Int("--seed", 0, 2147483647, &Options::seed)},
        {"--silent-from-block", true, OptInt("--silent-from-block", 0, 255, &Options::silentFromBlock)},
        {"--bad-checksum-block", true, OptInt("--bad-checksum-block", 0, 255, &Options::badChecksumBlock)},
        {"--wrong-block", true, OptInt("--wrong-block", 0, 255, &Options::wrongBlock)},
        {"--drop-data-message", true, SetDropData},
        {"--no-ack-from-block", true, OptInt("--no-ack-from-block", 0, 255, &Options::noAckFromBlock)},
        {"--hangup-after", true, OptInt("--hangup-after", 0, 2147483647, &Options::hangupAfterBytes)},
        {"--noise", false, Flag(&Options::noise)},
        {"--flood", false, Flag(&Options::flood)},
        {"--wrong-key", false, Flag(&Options::wrongKey)},
        {"--silent", false, Flag(&Options::silent)},
    };
    return rules;
}

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
    ParseResult result;
    auto fail = [&](std::string message) {
        result.action = ParseResult::Action::Error;
        result.error = std::move(message);
        return result;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (name == "--help" || name == "-h") {
            result.action = ParseResult::Action::Help;
            return result;
        }
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const OptionRule* rule = nullptr;
        for (const OptionRule& s : Rules())
            if (name == s.name) rule = &s;
        if (!rule) return fail("unknown option '" + args[i] + "'");
        if (rule->takesValue && !value) {
            if (i + 1 >= args.size()) return fail(name + " needs a value");
            value = args[++i];
        }
        if (!rule->takesValue && value) return fail(name + " takes no value");
        if (std::string err = rule->set(result.options, value.value_or("")); !err.empty())
            return fail(err);
    }
    if (result.options.quiet && result.options.verbose) return fail("--quiet and --verbose exclude each other");
    return result;
}

std::string HelpText() {
    return R"(Usage: orbiqa-modsim [options]

Plays the GSM communicator module on a pseudo-terminal, published as a COM name for Orbiqa.
It answers the status poll "??", block reads of blocks 0..255 (block 254 is the version record),
block writes with their acknowledgement, and sends text messages on the four channels. By default
it keeps the timing of a 19200 baud 8N1 line in both directions.

When it is ready it prints one line to standard output and flushes it:
    orbiqa-modsim: COM<n> -> /dev/pts/<k>
It ends on SIGINT, SIGTERM or SIGHUP and then removes its link.

Where it appears:
  --port COMn            publish as COMn (1..256; "COMn" or just n). Default: the lowest of
                         COM90..COM96 that has no link yet. A link that points at a device that
                         no longer exists is taken over; a live one is an error.
  --link-dir DIR         folder for the COMn link (created when missing). Default: the port-link
                         folder $XDG_CONFIG_HOME/orbiqa/ports (~/.config/orbiqa/ports)

Output and lifetime:
  --quiet                print nothing, not even the start line
  --verbose              log every request, answer and fault to standard error
  --exit-after SECONDS   end by itself after this many seconds
  -h, --help             show this text

Timing:
  --fast                 answer as fast as possible instead of at the line's pace
  --reply-delay MS       wait MS milliseconds before every answer (block replies, write
                         acknowledgements, status answers); texts are not delayed

The module's state:
  --memory FILE          load a 1088-byte parameter file (".VR3"); its first 960 bytes become
                         blocks 0..14, and every accepted write to those blocks is saved back
                         (bytes 960..1087 are kept as they were). A missing file starts from the
                         image below and is created by the first write; a shorter file is an error
  --image demo|erased    blocks 0..14 without --memory: "demo" (default) holds a few numbers, event
                         codes, SMS texts and an APN over erased bytes; "erased" is all 0xFF
  --status-flags N       status flags of the status message (bit 0: IN1 short, bit 4: wired line
                         present). Default: 0x10, and IN1 shorts now and then in the demo script
  --signal N             GSM signal 0..31 (kept as given). Default: wanders between 10 and 28
  --line-state N         GSM line state code. Default: follows the demo script (0 without texts)
  --version-text TEXT    version text of block 254 (default "ORBIQA-GSM;V1.05;2026-11-30;3.2")
  --data-version N       data version of block 254 (default 5)
  --texts off|demo       send the demo script of module texts (default demo)
  --text-interval MS     time between two steps of the demo script (default 3000)
  --seed N               seed of every random choice (signal, noise); default 1

Faults (each can be combined with the others):
  --silent-from-block K  ignore reads and writes of block K and every higher block
  --bad-checksum-block K answer reads of block K with a checksum that is off by one
  --wrong-block K        answer reads of block K with block K+1 in the header (the data are K's)
  --drop-data-message K[:M]
                         leave out data message M (0..5, default 2) of every reply for block K
  --no-ack-from-block K  store writes of block K and higher but send no acknowledgement
  --hangup-after N       after N bytes sent, close the terminal and end: the client sees a hang-up
  --noise                random bytes, many of them "{" and "}", between the frames it sends
  --flood                a status or text message every 20 ms, all the time
  --wrong-key            be a module made with another key: what it sends is enciphered under it
                         (the client must drop it) and the client's requests mean nothing to it;
                         only the status poll, a plain text line, is still answered
  --silent               send nothing at all, as a module that is switched off or not connected:
                         everything received is read and discarded, nothing is stored, and no
                         answer, status message or text is ever sent (unlike
                         --silent-from-block, which still answers the status poll)

Writes to block 254 (the version record) are never stored or acknowledged. A write whose data
messages come out of order, or whose checksum is wrong, is dropped without acknowledgement.
Exit status: 0 after a signal, --exit-after or --hangup-after; 1 on a run-time error; 2 on a
bad command line.
)";
}

}  // namespace orbiqa::modsim
