#pragma once
// The module memory map: where every parameter lives in the ParameterImage. An offset into the
// image is the module memory address of the same byte, so these are also module addresses.
#include <array>
#include <cstddef>
#include <cstdint>

namespace orbiqa::EEAddr {

// The sizes every part of the program must agree on: the image, parameter files, the transfer
// engine, the simulator and the command line all take them from here.
constexpr std::size_t ImageSize = 1088;
/// The module's memory moves in blocks of this many bytes, each with its own checksum.
constexpr std::size_t BlockSize = 64;
constexpr std::size_t BlockCount = 15;
/// Bytes 0..ModuleMemorySize-1 are held by the module; the rest exist only in the image and files.
constexpr std::size_t ModuleMemorySize = BlockCount * BlockSize;
static_assert(ModuleMemorySize == 960, "the module holds 15 blocks of 64 bytes");
static_assert(ImageSize == 1088 && ImageSize > ModuleMemorySize,
              "the image holds the module's memory and the monitoring settings after it");

// Field widths and capacities.
constexpr std::size_t DigitFieldSize = 17;  // count byte + 16 digits (8-digit fields use 9 of it)
constexpr std::size_t LongNumberDigits = 16;
constexpr std::size_t ShortNumberDigits = 8;
constexpr std::size_t EventCodeSize = 2;
constexpr std::size_t EventCodeSymbols = 4;
constexpr std::size_t SmsTextSize = 41;
constexpr std::size_t SmsTextLength = 40;
constexpr std::size_t ApnCapacity = 37;
constexpr std::size_t UserNameCapacity = 20;
constexpr std::size_t PwdCapacity = 20;
constexpr std::size_t EventCount = 10;
constexpr std::size_t ReceiverCount = 4;
constexpr std::size_t ReceiverSize = 8;  // 4 address octets, port word, 2 zero bytes

// Telephone numbers and prefixes.
constexpr std::size_t AUTODIAL = 0;
constexpr std::size_t SMSFW1 = 17;
constexpr std::size_t SMSFW2 = 34;
constexpr std::size_t USER1 = 51;
constexpr std::size_t USER2 = 68;
constexpr std::size_t NETPREFIX = 85;
constexpr std::size_t ADDFIX = 102;

// Incoming voice call restriction.
constexpr std::size_t PhnrEnabled1 = 143;
constexpr std::size_t PhnrEnabled2 = 160;
constexpr std::size_t PhnrEnabled3 = 177;
constexpr std::size_t PhnrEnabled4 = 194;
constexpr std::array<std::size_t, 4> PhnrEnabled = {PhnrEnabled1, PhnrEnabled2, PhnrEnabled3,
                                                    PhnrEnabled4};
constexpr std::size_t CallFilter = 211;
constexpr std::size_t CallMax = 282;
constexpr std::uint8_t CallMaxLimit = 25;  // minutes; 0 means no limit

// Event codes and their SMS texts: text n belongs to code n.
constexpr std::size_t Event1 = 283;
constexpr std::size_t SMS1 = 309;
constexpr std::size_t Event(std::size_t n) { return Event1 + EventCodeSize * (n - 1); }
constexpr std::size_t SMS(std::size_t n) { return SMS1 + SmsTextSize * (n - 1); }

// Bell 103 data calls.
constexpr std::size_t BELLPhnrEnabled1 = 842;
constexpr std::size_t BELLPhnrEnabled2 = 859;
constexpr std::size_t BELLFlags = 876;
constexpr std::uint8_t BellOnlyListedNumbers = 0x01;
constexpr std::uint8_t BellCallback = 0x02;

constexpr std::size_t VoiceCaller = 877;

// GPRS.
constexpr std::size_t APN = 878;
constexpr std::size_t UserName = 916;
constexpr std::size_t PWD = 937;
constexpr std::size_t GPRSmode = 958;

// IP monitoring (image only, never transferred to the module).
constexpr std::size_t PanelID = 960;
constexpr std::size_t IP1 = 962;
constexpr std::size_t IP(std::size_t n) { return IP1 + ReceiverSize * (n - 1); }
constexpr std::size_t Port(std::size_t n) { return IP(n) + 4; }
constexpr std::size_t ReceiverPadding(std::size_t n) { return IP(n) + 6; }
constexpr std::size_t ServerID = 1026;
constexpr std::uint16_t MonitoringValueMax = 32767;  // ports, PanelID and ServerID
static_assert(MonitoringValueMax <= 0x7FFF, "the editor never writes a high byte above 0x7F");
static_assert(ServerID + 2 <= ImageSize && IP(ReceiverCount) + ReceiverSize <= ServerID,
              "the monitoring fields lie inside the image");
static_assert(PanelID == ModuleMemorySize,
              "the monitoring fields start where the module's memory ends");
static_assert(GPRSmode < ModuleMemorySize, "the GPRS fields are held by the module");

}  // namespace orbiqa::EEAddr
