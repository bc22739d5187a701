#include "ModuleMemory.h"

#include <algorithm>
#include <cstring>

#include "base/Errors.h"
#include "base/FileStore.h"
#include "base/Win1250.h"
#include "netport/NetworkPortError.h"

namespace orbiqa::modsim {
namespace {

// Offsets of the parameter image fields the demo image fills in.
constexpr std::size_t kAutoDial = 0;
constexpr std::size_t kSmsForward1 = 17;
constexpr std::size_t kUser1 = 51;
constexpr std::size_t kNetPrefix = 85;
constexpr std::size_t kCallFilter = 211;
constexpr std::size_t kCallMax = 282;
constexpr std::size_t kEvent1 = 283;
constexpr std::size_t kSms1 = 309;
constexpr std::size_t kSmsSlot = 41;
constexpr std::size_t kSmsCount = 10;
constexpr std::size_t kBellFlags = 876;
constexpr std::size_t kVoiceCaller = 877;
constexpr std::size_t kApn = 878;
constexpr std::size_t kApnLength = 37;
constexpr std::size_t kUserName = 916;
constexpr std::size_t kPassword = 937;
constexpr std::size_t kGprsTextLength = 20;
constexpr std::size_t kGprsMode = 958;

constexpr std::size_t kVersionQuote = 18;
constexpr std::uint8_t kQuote = 0x22;

void PutDigits(std::uint8_t* field, const char* digits) {
    const std::size_t n = std::strlen(digits);
    field[0] = static_cast<std::uint8_t>(n);
    std::fill(field + 1, field + 17, 0x00);
    std::memcpy(field + 1, digits, n);
}

// Counted text filled up with spaces.
void PutText(std::uint8_t* field, std::size_t capacity, const std::string& text) {
    const std::size_t n = std::min(text.size(), capacity);
    field[0] = static_cast<std::uint8_t>(n);
    std::fill(field + 1, field + 1 + capacity, 0x20);
    std::memcpy(field + 1, text.data(), n);
}

std::string Cp1250(const char* utf8) { return Utf8ToWin1250(utf8).value_or(""); }

}  // namespace

Block ModuleMemory::ReadBlock(std::size_t block) const {
    Block b{};
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(block % kBlockCount * kBlockSize), kBlockSize,
                b.begin());
    return b;
}

void ModuleMemory::WriteBlock(std::size_t block, const Block& data) {
    std::copy(data.begin(), data.end(),
              bytes_.begin() + static_cast<std::ptrdiff_t>(block % kBlockCount * kBlockSize));
}

void ModuleMemory::LoadErasedImage() { std::fill_n(bytes_.begin(), kParameterBytes, 0xFF); }

void ModuleMemory::LoadDemoImage() {
    LoadErasedImage();
    std::uint8_t* p = bytes_.data();
    PutDigits(p + kAutoDial, "06301234567");
    PutDigits(p + kSmsForward1, "06701112233");
    PutDigits(p + kUser1, "06209876543");
    p[kNetPrefix] = 1;
    std::fill(p + kNetPrefix + 1, p + kNetPrefix + 9, 0x00);
    p[kNetPrefix + 1] = '0';
    p[kCallFilter] = 0;
    p[kCallMax] = 5;
    // Event codes 1130, 1301, 1110 (4-bit symbols, first in the high half); the rest unset.
    const std::uint8_t events[] = {0x11, 0x30, 0x13, 0x01, 0x11, 0x10};
    std::copy(std::begin(events), std::end(events), p + kEvent1);
    const char* sms[] = {"Tűzjelzés a raktárban", "Hálózati áramkimaradás", "Betörés: nappali zóna"};
    for (std::size_t i = 0; i < kSmsCount; ++i)
        PutText(p + kSms1 + i * kSmsSlot, kSmsSlot - 1, i < std::size(sms) ? Cp1250(sms[i]) : "");
    p[kBellFlags] = 0;
    p[kVoiceCaller] = 0;
    PutText(p + kApn, kApnLength, "internet");
    PutText(p + kUserName, kGprsTextLength, "");
    PutText(p + kPassword, kGprsTextLength, "");
    p[kGprsMode] = 0;
}

void ModuleMemory::SetVersionRecord(const std::string& text, std::uint16_t dataVersion) {
    Block b{};
    b[2] = static_cast<std::uint8_t>(dataVersion & 0xFF);
    b[3] = static_cast<std::uint8_t>(dataVersion >> 8);
    b[kVersionQuote] = kQuote;
    const std::size_t n = std::min<std::size_t>(text.size(), kBlockSize - kVersionQuote - 2);
    std::memcpy(b.data() + kVersionQuote + 1, text.data(), n);
    b[kVersionQuote + 1 + n] = kQuote;
    WriteBlock(kVersionBlock, b);
}

void ModuleMemory::LoadParameters(const ParameterFile& file) {
    std::copy_n(file.begin(), kParameterBytes, bytes_.begin());
}

ParameterFile ModuleMemory::SaveParameters(const ParameterFile& tail) const {
    ParameterFile file = tail;
    std::copy_n(bytes_.begin(), kParameterBytes, file.begin());
    return file;
}

ParameterFile ReadParameterFile(const std::string& path) {
    std::string content;
    try {
        content = ReadFileBounded(path, kParameterFileSize, false);
    } catch (const EFileError& e) {
        throw OrbiqaError("cannot open '" + path + "': " + e.what());
    }
    if (content.size() != kParameterFileSize)
        throw OrbiqaError("'" + path + "' is shorter than a parameter file (" +
                          std::to_string(kParameterFileSize) + " bytes)");
    ParameterFile file{};
    std::copy(content.begin(), content.end(), file.begin());
    return file;
}

void WriteParameterFile(const std::string& path, const ParameterFile& file) {
    try {
        SaveFile(path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
    } catch (const EFileError& e) {
        throw OrbiqaError("cannot save '" + path + "': " + e.what());
    }
}

}  // namespace orbiqa::modsim
