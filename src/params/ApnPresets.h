#pragma once
// GPRS operator presets. Each preset is one Windows-1250 line: the operator's display name padded
// with spaces to 39 characters, then the APN, user name and password, each in double quotes and
// separated by commas. Entry 0 is always the user's own ("custom") setting and its values are
// never read. "APNs.dat" in the working folder, when present, replaces the built-in list.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orbiqa {

constexpr const char* ApnPresetFileName = "APNs.dat";
constexpr std::size_t ApnPresetNameWidth = 39;
constexpr std::size_t CustomApnPreset = 0;
/// A few operators' lines are a few hundred bytes; a larger file is not a preset list.
constexpr std::size_t kMaxApnPresetFileSize = 64 * 1024;

struct ApnSettings {
    std::string APN;
    std::string UserName;
    std::string PWD;
    bool operator==(const ApnSettings&) const = default;
};

/// A preset line: `name` padded to the name width, then the three quoted values.
std::string MakeApnPresetLine(std::string_view name, const ApnSettings& values);

/// The built-in list: custom setting, T-Mobile, Pannon GSM, Vodafone, VodaVitamax.
std::vector<std::string> BuiltInApnPresets();

/// The three quoted values of a line. A missing quote leaves the value being read, and every
/// value after it, empty.
ApnSettings ParseApnPreset(std::string_view line);

/// The operator's name as the list shows it: the text before the first quote, without the
/// padding.
std::string ApnPresetName(std::string_view line);

/// Splits a text at CR, LF or CR LF. A line end at the very end does not start another line.
std::vector<std::string> SplitPresetLines(std::string_view text);

/// The lines of a preset file, or nothing when it is missing, unreadable, not a regular file,
/// larger than kMaxApnPresetFileSize or holds no line (a list without the custom entry would
/// leave the user no way to type an APN). Never blocks, never throws.
std::optional<std::vector<std::string>> LoadApnPresetFile(const std::string& path);

/// Writes the lines with CR LF line ends through SaveFile; throws EFileError with the file-error
/// text when the file cannot be written.
void SaveApnPresetFile(const std::string& path, const std::vector<std::string>& lines);

}  // namespace orbiqa
