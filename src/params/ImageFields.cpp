#include "params/ImageFields.h"

#include <algorithm>
#include <stdexcept>

namespace orbiqa {

namespace {

constexpr std::uint8_t NoNumber = 0xFF;
constexpr std::uint8_t NoCode = 0xFF;
constexpr std::uint8_t StarSymbol = 10;
constexpr char Filler = ' ';

void CheckField(std::size_t offset, std::size_t width) {
    if (offset > ParameterImage::Size || width > ParameterImage::Size - offset)
        throw std::out_of_range("parameter field outside the image");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The cell's first character, or NUL for an empty cell.
char FirstChar(const GridCells& grid, std::size_t k) {
    return k < grid.size() && !grid[k].empty() ? grid[k].front() : '\0';
}

bool Skipped(std::uint8_t byte) { return byte == 0x00 || byte == 0xFF; }

}  // namespace

void StoreDigitField(ParameterImage& image, std::size_t offset, const GridCells& grid,
                     std::size_t capacity) {
    CheckField(offset, 1 + capacity);
    std::size_t count = 0;
    for (std::size_t k = 0; k < capacity; ++k) {
        image[offset + 1 + k] = 0x00;  // never a byte already filled: count <= k
        const char c = FirstChar(grid, k);
        if (IsDigit(c)) image[offset + 1 + count++] = static_cast<std::uint8_t>(c);
    }
    // Only the long numbers mark "empty" with 0xFF; the module reads the prefixes' 0 as empty.
    if (count == 0 && capacity == EEAddr::LongNumberDigits)
        image[offset] = NoNumber;
    else
        image[offset] = static_cast<std::uint8_t>(count);
}

void LoadDigitField(const ParameterImage& image, std::size_t offset, GridCells& grid,
                    std::size_t capacity) {
    CheckField(offset, 1 + capacity);
    grid.assign(capacity, std::string());
    std::size_t n = image[offset];
    if (n > capacity) n = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const char c = static_cast<char>(image[offset + 1 + k]);
        if (IsDigit(c)) grid[k] = std::string(1, c);
    }
}

void StoreEventCode(ParameterImage& image, std::size_t offset, const GridCells& grid) {
    CheckField(offset, EEAddr::EventCodeSize);
    std::vector<std::uint8_t> symbols;
    for (std::size_t k = 0; k < EEAddr::EventCodeSymbols; ++k) {
        const char c = FirstChar(grid, k);
        if (IsDigit(c))
            symbols.push_back(static_cast<std::uint8_t>(c - '0'));
        else if (c == '*')
            symbols.push_back(StarSymbol);
    }
    image[offset] = NoCode;
    image[offset + 1] = NoCode;
    if (symbols.size() == EEAddr::EventCodeSymbols) {
        image[offset] = static_cast<std::uint8_t>(symbols[0] * 16 + symbols[1]);
        image[offset + 1] = static_cast<std::uint8_t>(symbols[2] * 16 + symbols[3]);
    }
}

void LoadEventCode(const ParameterImage& image, std::size_t offset, GridCells& grid) {
    CheckField(offset, EEAddr::EventCodeSize);
    grid.assign(EEAddr::EventCodeSymbols, std::string(1, ' '));
    const std::uint8_t b0 = image[offset];
    const std::uint8_t b1 = image[offset + 1];
    if (b0 == NoCode && b1 == NoCode) return;
    const std::uint8_t symbols[] = {static_cast<std::uint8_t>(b0 >> 4),
                                    static_cast<std::uint8_t>(b0 & 0x0F),
                                    static_cast<std::uint8_t>(b1 >> 4),
                                    static_cast<std::uint8_t>(b1 & 0x0F)};
    for (std::size_t k = 0; k < EEAddr::EventCodeSymbols; ++k) {
        if (symbols[k] <= 9)
            grid[k] = std::string(1, static_cast<char>('0' + symbols[k]));
        else if (symbols[k] == StarSymbol)
            grid[k] = std::string(1, '*');
    }
}

std::uint8_t EncodeSmsChar(std::uint8_t c) { return c == 0xDB ? 0xDC : c; }

std::uint8_t DecodeSmsChar(std::uint8_t c) { return c; }

void StoreSmsText(ParameterImage& image, std::size_t offset, const std::string& text) {
    CheckField(offset, EEAddr::SmsTextSize);
    const std::size_t count = std::min(text.size(), EEAddr::SmsTextLength);
    for (std::size_t i = 1; i <= EEAddr::SmsTextLength; ++i)
        image[offset + i] =
            i <= count ? EncodeSmsChar(static_cast<std::uint8_t>(text[i - 1])) : Filler;
    image[offset] = static_cast<std::uint8_t>(count);
}

std::string LoadSmsText(const ParameterImage& image, std::size_t offset) {
    CheckField(offset, EEAddr::SmsTextSize);
    std::size_t n = image[offset];
    if (n > EEAddr::SmsTextLength) n = 0;
    std::string text;
    for (std::size_t i = 1; i <= n; ++i) {
        const std::uint8_t byte = image[offset + i];
        if (!Skipped(byte)) text.push_back(static_cast<char>(DecodeSmsChar(byte)));
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

void StorePlainText(ParameterImage& image, std::size_t offset, const std::string& text,
                    std::size_t capacity) {
    CheckField(offset, 1 + capacity);
    std::string kept;
    for (char c : text)
        if (c != ' ' && c != '"') kept.push_back(c);
    const std::size_t count = std::min(kept.size(), capacity);
    for (std::size_t i = 1; i <= capacity; ++i)
        image[offset + i] = i <= count ? static_cast<std::uint8_t>(kept[i - 1]) : Filler;
    image[offset] = static_cast<std::uint8_t>(count);
}

std::string LoadPlainText(const ParameterImage& image, std::size_t offset, std::size_t capacity) {
    CheckField(offset, 1 + capacity);
    std::size_t n = image[offset];
    if (n > capacity) n = 0;
    std::string text;
    for (std::size_t i = 1; i <= n; ++i) {
        const std::uint8_t byte = image[offset + i];
        if (!Skipped(byte)) text.push_back(static_cast<char>(byte));
    }
    return text;
}

void StoreWord(ParameterImage& image, std::size_t offset, std::uint16_t value) {
    CheckField(offset, 2);
    image[offset] = static_cast<std::uint8_t>(value >> 8);
    image[offset + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

std::uint16_t LoadWord(const ParameterImage& image, std::size_t offset) {
    CheckField(offset, 2);
    return static_cast<std::uint16_t>(image[offset] * 256 + image[offset + 1]);
}

void StoreFlag(ParameterImage& image, std::size_t offset, bool on) {
    image.at(offset) = on ? 1 : 0;
}

bool LoadFlag(const ParameterImage& image, std::size_t offset) {
    return image.at(offset) == 1;
}

void StoreCallFilter(ParameterImage& image, bool onlyEnabled) {
    image[EEAddr::CallFilter] = onlyEnabled ? 1 : 0;
}

bool LoadCallFilter(const ParameterImage& image) {
    return image[EEAddr::CallFilter] != 0;
}

void StoreBellFlags(ParameterImage& image, BellFlags flags) {
    image[EEAddr::BELLFlags] =
        static_cast<std::uint8_t>((flags.onlyListedNumbers ? EEAddr::BellOnlyListedNumbers : 0) |
                                  (flags.callback ? EEAddr::BellCallback : 0));
}

BellFlags LoadBellFlags(const ParameterImage& image) {
    const std::uint8_t bits = image[EEAddr::BELLFlags];
    return {(bits & EEAddr::BellOnlyListedNumbers) != 0, (bits & EEAddr::BellCallback) != 0};
}

void StoreReceiver(ParameterImage& image, std::size_t n, const Receiver& receiver) {
    if (n < 1 || n > EEAddr::ReceiverCount) throw std::out_of_range("no such receiver");
    std::copy(receiver.address.begin(), receiver.address.end(),
              image.begin() + static_cast<std::ptrdiff_t>(EEAddr::IP(n)));
    StoreWord(image, EEAddr::Port(n), receiver.port);
    image[EEAddr::ReceiverPadding(n)] = 0x00;
    image[EEAddr::ReceiverPadding(n) + 1] = 0x00;
}

Receiver LoadReceiver(const ParameterImage& image, std::size_t n) {
    if (n < 1 || n > EEAddr::ReceiverCount) throw std::out_of_range("no such receiver");
    Receiver receiver;
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(EEAddr::IP(n)), receiver.address.size(),
                receiver.address.begin());
    receiver.port = LoadWord(image, EEAddr::Port(n));
    return receiver;
}

}  // namespace orbiqa
