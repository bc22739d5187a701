#pragma once
// What the status window shows for the module's four status bytes: the texts and colours of
// input IN1, the wired line and the GSM line state, and the signal strength.
#include <array>
#include <cstdint>
#include <string>

namespace orbiqa {

struct StatusColour {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    bool operator==(const StatusColour&) const = default;
};

inline constexpr StatusColour kBlack{0, 0, 0};
inline constexpr StatusColour kRed{255, 0, 0};
inline constexpr StatusColour kGreen{0, 128, 0};
inline constexpr StatusColour kBlue{0, 0, 255};

/// Bytes of ModuleStatusBytes.
enum ModuleStatusByte : std::size_t { StatusFlags = 0, SignalStrength = 1, LineState = 2, FourthByte = 3 };

inline constexpr std::uint8_t kFlagIN1Shorted = 0x01;
inline constexpr std::uint8_t kFlagLinePresent = 0x10;
inline constexpr int kSignalMaximum = 31;

/// A label's text (Windows-1250) and font colour.
struct StatusLabel {
    std::string Text;
    StatusColour Colour;
    bool operator==(const StatusLabel&) const = default;
};

struct ModuleStatusView {
    StatusLabel IN1;
    StatusLabel LineVoltage;
    StatusLabel GSMLine;          ///< table text, a blank and the code in decimal
    int SignalBarPosition = 0;    ///< 0..31: a bar of range 0..31 shows higher values as full
    std::string SignalText;       ///< the signal byte in decimal, whatever its value
};

/// The line state table: text and colour for a GSM line state code ("." in black if unlisted).
StatusLabel LineStateLabel(std::uint8_t code);

ModuleStatusView DescribeModuleStatus(const std::array<std::uint8_t, 4>& statusBytes);

}  // namespace orbiqa
