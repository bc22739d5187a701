#pragma once
// The module's version record (memory block 254) and the one-line text the version box shows.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "link/ModuleMessage.h"

namespace orbiqa {

/// Arguments of the block read (kCmdReadBlock) that asks for the version record: block 254,
/// 64 bytes.
inline constexpr std::array<std::uint8_t, 5> kVersionReadArguments{0, 0, 0, static_cast<std::uint8_t>(kVersionBlock),
                                                                   static_cast<std::uint8_t>(kBlockSize)};

/// The text of the version box ("F1  F2  F4  DataVersion:V"), or nothing when byte 18 of the
/// block is not a double quote (the block is then not a version record).
std::optional<std::string> VersionReplyText(const std::array<std::uint8_t, kBlockSize>& block);

}  // namespace orbiqa
