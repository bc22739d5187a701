#include "ModuleMemory.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "base/Errors.h"
#include "base/Win1250.h"

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

std::string ErrnoText(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

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
    std::ifstream in(path, std::ios::binary);
    if (!in) throw OrbiqaError(ErrnoText("cannot open", path));
    ParameterFile file{};
    in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (in.gcount() != static_cast<std::streamsize>(file.size()))
        throw OrbiqaError("'" + path + "' is shorter than a parameter file (" +
                          std::to_string(kParameterFileSize) + " bytes)");
    return file;
}

void WriteParameterFile(const std::string& path, const ParameterFile& file) {
    const std::string temp = path + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw OrbiqaError(ErrnoText("cannot create", temp));
    std::size_t done = 0;
    while (done < file.size()) {
        const ssize_t n = ::write(fd, file.data() + done, file.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string message = ErrnoText("cannot write", temp);
            ::close(fd);
            ::unlink(temp.c_str());
            throw OrbiqaError(message);
        }
        done += static_cast<std::size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;
    const std::string syncError = synced ? "" : ErrnoText("cannot write", temp);
    if (::close(fd) != 0 || !synced) {
        const std::string message = synced ? ErrnoText("cannot write", temp) : syncError;
        ::unlink(temp.c_str());
        throw OrbiqaError(message);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string message = ErrnoText("cannot replace", path);
        ::unlink(temp.c_str());
        throw OrbiqaError(message);
    }
}

}  // namespace orbiqa::modsim
