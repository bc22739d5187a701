#pragma once
// Command-line options of orbiqa-modsim: what the simulated module looks like, how fast it talks
// and which faults it injects. Parsing is separate from main so that tests can check it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orbiqa::modsim {

enum class TextMode { Off, Demo };
enum class ImageKind { Demo, Erased };

struct Options {
    // Where it appears.
    std::optional<int> port;  // COM number 1..256; unset: the lowest free of 90..96
    std::string linkDir;      // empty: the program's port-link folder

    // Output and lifetime.
    bool quiet = false;
    bool verbose = false;
    std::optional<int> exitAfterMs;

    // Timing.
    bool fast = false;
    int replyDelayMs = 0;

    // The module's state.
    std::string memoryFile;
    ImageKind image = ImageKind::Demo;
    std::optional<std::uint8_t> statusFlags;
    std::optional<std::uint8_t> signal;
    std::optional<std::uint8_t> lineState;
    std::string versionText = "ORBIQA-GSM;V1.05;2026-11-30;3.2";
    std::uint16_t dataVersion = 5;
    TextMode texts = TextMode::Demo;
    int textIntervalMs = 3000;
    std::uint32_t seed = 1;

    // Faults.
    std::optional<int> silentFromBlock;
    std::optional<int> badChecksumBlock;
    std::optional<int> wrongBlock;
    std::optional<int> dropDataBlock;
    int dropDataMessage = 2;
    std::optional<int> noAckFromBlock;
    std::optional<long long> hangupAfterBytes;
    bool noise = false;
    bool flood = false;
    bool wrongKey = false;
    bool silent = false;  // a module switched off or not connected: nothing ever comes back
};

struct ParseResult {
    enum class Action { Run, Help, Error };
    Action action = Action::Run;
    Options options;
    std::string error;  // for Action::Error
};

ParseResult ParseOptions(const std::vector<std::string>& args);

/// The text of --help.
std::string HelpText();

}  // namespace orbiqa::modsim
