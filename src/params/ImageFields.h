#pragma once
// Store and load routines of every field encoding of the ParameterImage. The editor's pages call
// them with a field's EEAddr offset; the digit and event routines work on the cells of a one-row
// grid, one character (or nothing) per cell. Every routine throws std::out_of_range when the
// field would reach past the image, and never otherwise.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "params/ParameterImage.h"

namespace orbiqa {

/// The texts of a one-row grid's cells, leftmost first.
using GridCells = std::vector<std::string>;

/// Digit field: count byte (1..16, or 0xFF for an empty 16-digit number; 0..8 for 8 digits) and
/// the ASCII digits. Cells that are empty or do not start with a digit are skipped, so gaps close.
void StoreDigitField(ParameterImage& image, std::size_t offset, const GridCells& grid,
                     std::size_t capacity);
/// Fills `grid` with `capacity` cells; a count above the capacity loads as an empty number.
void LoadDigitField(const ParameterImage& image, std::size_t offset, GridCells& grid,
                    std::size_t capacity);

/// Event code: four 4-bit symbols (0..9, 10 for "*"); 0xFF 0xFF unless all four cells hold one.
void StoreEventCode(ParameterImage& image, std::size_t offset, const GridCells& grid);
/// Fills `grid` with four cells; symbols 11..15 and "no code" show as a single space.
void LoadEventCode(const ParameterImage& image, std::size_t offset, GridCells& grid);

/// The module cannot send the capital "Ű" (0xDB), so it becomes "Ü" (0xDC).
std::uint8_t EncodeSmsChar(std::uint8_t c);
std::uint8_t DecodeSmsChar(std::uint8_t c);

/// SMS text (Windows-1250): count 0..40, the characters, spaces after them. Longer text is cut.
void StoreSmsText(ParameterImage& image, std::size_t offset, const std::string& text);
/// Skips 0x00 and 0xFF bytes and removes trailing spaces; a count above 40 loads as empty.
std::string LoadSmsText(const ParameterImage& image, std::size_t offset);

/// Plain text without spaces and double quotes (both are removed), cut at `capacity`.
void StorePlainText(ParameterImage& image, std::size_t offset, const std::string& text,
                    std::size_t capacity);
/// Skips 0x00 and 0xFF bytes; a count above the capacity loads as empty.
std::string LoadPlainText(const ParameterImage& image, std::size_t offset, std::size_t capacity);

/// Unsigned 16-bit word, high byte first.
void StoreWord(ParameterImage& image, std::size_t offset, std::uint16_t value);
std::uint16_t LoadWord(const ParameterImage& image, std::size_t offset);

// The small fields that the editor's store and load write inline and the field catalog names:
// one accessor each, so that the editor and everything that sets fields by name share one rule.

/// A flag byte (VoiceCaller, GPRSmode): stored as 1 or 0; only 1 loads as on.
void StoreFlag(ParameterImage& image, std::size_t offset, bool on);
bool LoadFlag(const ParameterImage& image, std::size_t offset);

/// CallFilter: 1 = only the enabled callers, 0 = every caller; any value but 0 loads as the
/// first, as the editor's radio group reads it.
void StoreCallFilter(ParameterImage& image, bool onlyEnabled);
bool LoadCallFilter(const ParameterImage& image);

/// The two bits of BELLFlags; the store writes the other six bits as 0, the load ignores them.
struct BellFlags {
    bool onlyListedNumbers = false;
    bool callback = false;
    bool operator==(const BellFlags&) const = default;
};
void StoreBellFlags(ParameterImage& image, BellFlags flags);
BellFlags LoadBellFlags(const ParameterImage& image);

/// A monitoring receiver n (1..4): four address octets, the port as a word, then two bytes that
/// the store always writes as 0x00 and the load never reads.
struct Receiver {
    std::array<std::uint8_t, 4> address{};
    std::uint16_t port = 0;
    bool operator==(const Receiver&) const = default;
};
void StoreReceiver(ParameterImage& image, std::size_t n, const Receiver& receiver);
Receiver LoadReceiver(const ParameterImage& image, std::size_t n);

}  // namespace orbiqa
