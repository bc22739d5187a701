#pragma once
// The simulated module's memory: 256 blocks of 64 bytes. Blocks 0..14 are the parameter
// memory that the program reads and writes; block 254 holds the version record.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/ModuleMessage.h"
#include "params/EEAddr.h"

namespace orbiqa::modsim {

inline constexpr std::size_t kBlockCount = 256;
inline constexpr std::size_t kMemorySize = kBlockCount * kBlockSize;  // 16384
inline constexpr std::size_t kParameterBlocks = EEAddr::BlockCount;
inline constexpr std::size_t kParameterBytes = EEAddr::ModuleMemorySize;
inline constexpr std::size_t kParameterFileSize = EEAddr::ImageSize;

using Block = std::array<std::uint8_t, kBlockSize>;
using ParameterFile = std::array<std::uint8_t, kParameterFileSize>;

class ModuleMemory {
public:
    /// All zeros; fill it with one of the images below.
    ModuleMemory() = default;

    Block ReadBlock(std::size_t block) const;
    void WriteBlock(std::size_t block, const Block& data);

    /// Blocks 0..14 all 0xFF, as a module whose parameters were never written.
    void LoadErasedImage();
    /// Blocks 0..14 with a few plausible parameters (numbers, event codes, SMS texts, APN) over
    /// erased bytes, so that a first read shows something worth editing.
    void LoadDemoImage();
    /// Block 254: data version (least significant byte first) at bytes 2..3, a double quote at
    /// byte 18, the text, and a closing double quote. The text must fit in bytes 19..62.
    void SetVersionRecord(const std::string& text, std::uint16_t dataVersion);

    /// Bytes 0..959 of a parameter file become blocks 0..14.
    void LoadParameters(const ParameterFile& file);
    /// A parameter file with blocks 0..14 in bytes 0..959 and `tail` bytes 960..1087.
    ParameterFile SaveParameters(const ParameterFile& tail) const;

private:
    std::array<std::uint8_t, kMemorySize> bytes_{};
};

/// Reads the first 1088 bytes of a parameter file without blocking. Throws OrbiqaError with the
/// reason when the file cannot be opened, is not a regular file (a pipe) or is shorter.
ParameterFile ReadParameterFile(const std::string& path);

/// Saves through the program's one save routine (SaveFile), so that a failed save never leaves
/// a broken file. Throws OrbiqaError with the reason on failure.
void WriteParameterFile(const std::string& path, const ParameterFile& file);

}  // namespace orbiqa::modsim
