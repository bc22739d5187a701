#pragma once
// The program's copy of the module's parameter memory, shared by the transfer window, the
// parameter files and the editor.
#include <array>
#include <cstddef>
#include <cstdint>

#include "params/EEAddr.h"

namespace orbiqa {

class ParameterImage {
public:
    static constexpr std::size_t Size = EEAddr::ImageSize;
    static constexpr std::uint8_t Erased = 0xFF;

    /// A new image looks like an erased module memory: every byte 0xFF.
    ParameterImage() { Fill(Erased); }

    void Fill(std::uint8_t value) { bytes_.fill(value); }

    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    static constexpr std::size_t size() { return Size; }

    /// Unchecked access, like the array it models.
    std::uint8_t& operator[](std::size_t offset) { return bytes_[offset]; }
    std::uint8_t operator[](std::size_t offset) const { return bytes_[offset]; }

    /// Checked access: throws std::out_of_range for an offset outside the image.
    std::uint8_t& at(std::size_t offset) { return bytes_.at(offset); }
    std::uint8_t at(std::size_t offset) const { return bytes_.at(offset); }

    auto begin() { return bytes_.begin(); }
    auto end() { return bytes_.end(); }
    auto begin() const { return bytes_.begin(); }
    auto end() const { return bytes_.end(); }

    bool operator==(const ParameterImage&) const = default;

private:
    std::array<std::uint8_t, Size> bytes_{};
};

/// The one process-wide image.
ParameterImage& TheParameterImage();

}  // namespace orbiqa
