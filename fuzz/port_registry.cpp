// Port records and the registry scan, over a registry that the fuzzer's bytes build: keys below
// the four roots the scan walks, typed values under the names it reads, and port names.
#include <memory>

#include "FuzzSupport.h"
#include "base/Errors.h"
#include "base/IntText.h"
#include "ports/MemoryRegistry.h"
#include "ports/SorosKeres.h"

using namespace orbiqa;
using namespace orbiqa::fuzz;

namespace {

const char* const kRoots[] = {
    "\\SYSTEM\\CurrentControlSet\\Enum",
    "\\Enum",
    "\\SYSTEM\\CurrentControlSet\\Control\\Class",
    "\\SYSTEM\\CurrentControlSet\\Services",
    "\\HARDWARE\\DEVICEMAP\\SERIALCOMM",
    "\\Hardware\\DeviceMap\\SerialComm",
};
const char* const kNames[] = {"Class", "Service", "FriendlyName", "FRIENDLYNAME", "friendlyname", "Mfg", "AttachedTo"};
const char* const kTexts[] = {"Ports", "Serial", "Modem", "serenum"};

std::string Path(ByteCursor& in) {
    const std::uint8_t shape = in.Byte();
    std::string path = kRoots[shape % std::size(kRoots)];
    for (int depth = (shape >> 4) % 5; depth > 0; --depth) path += "\\" + in.Text(8);
    return path;
}

std::string Name(ByteCursor& in) {
    const std::uint8_t pick = in.Byte();
    return pick < 200 ? kNames[pick % std::size(kNames)] : in.Text(12);
}

// A value text: the shapes the scan looks for, most often, or any bytes.
std::string Text(ByteCursor& in) {
    const std::uint8_t pick = in.Byte();
    switch (pick % 6) {
        case 0: return kTexts[(pick >> 3) % std::size(kTexts)];
        case 1: return in.Text(12) + " (COM" + IntToStr(in.Byte()) + ")";
        case 2: return "COM" + IntToStr(in.Byte() * (pick & 0x80 ? 3 : 1));
        case 3: return in.Text(12) + "(COM" + in.Text(6) + ")" + in.Text(6);
        default: return in.Text(32);
    }
}

bool SortedByNumber(const PortRecords& list) {
    for (std::size_t i = 1; i < list.size(); ++i)
        if (PortNumberOf(list[i]) < PortNumberOf(list[i - 1])) return false;
    return true;
}

void CheckScan(SorosKeres& keres, bool fullScan) {
    try {
        PortRecords ports;
        if (fullScan) keres.RescanDevices();
        keres.BuildPortList(ports);
        const PortRecords& devices = *keres.DeviceList();
        FUZZ_CHECK(ports.size() == devices.size());
        FUZZ_CHECK(SortedByNumber(devices) && SortedByNumber(ports));
        for (const std::string& record : devices) FUZZ_CHECK(record.find("(COM") != std::string::npos);
        for (const std::string& record : ports) {
            FUZZ_CHECK(record[0] == '+' || record[0] == '-');
            // A number is sought as one byte, so only numbers that fit one can be found again.
            const int number = PortNumberOf(record);
            if (number >= 0 && number <= 255) FUZZ_CHECK(FindByPortNumber(devices, number) >= 0);
        }
    } catch (const OrbiqaError&) {
        // Bad value types and bad port numbers end the scan with a message; that is expected.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteCursor in(data, size);
    const std::uint8_t setup = in.Byte();
    auto registry = std::make_shared<MemoryRegistry>(setup & 1 ? MemoryRegistry::NameCase::Exact
                                                               : MemoryRegistry::NameCase::Insensitive);
    SorosKeres keres(registry);

    while (!in.AtEnd()) {
        const std::uint8_t op = in.Byte();
        switch (op % 8) {
            case 0: registry->AddKey(Path(in)); break;
            case 1:
            case 2:
            case 3: {
                const std::string path = Path(in);
                const std::string name = Name(in);
                registry->SetString(path, name, Text(in), op & 0x80 ? RegistryValueType::ExpandSz : RegistryValueType::Sz);
                break;
            }
            case 4: {
                const std::string path = Path(in);
                const std::string name = Name(in);
                const RegistryValueType types[] = {RegistryValueType::None, RegistryValueType::Binary,
                                                   RegistryValueType::Dword, RegistryValueType::MultiSz};
                registry->SetValue(path, name, types[(op >> 4) % 4], in.Text(8));
                break;
            }
            case 5: registry->DeleteKey(Path(in)); break;
            case 6: CheckScan(keres, op & 0x80); break;
            case 7: {
                // The record rules on any text, as the chooser applies them to typed records.
                const std::string record = in.Text(40);
                const std::string name = RecordName(record);
                const std::string description = RecordDescription(record);
                FUZZ_CHECK(name.size() + description.size() <= record.size());
                try {
                    const int n = PortNumberOf(record);
                    FUZZ_CHECK(FindByPortNumber({record}, n) == ((n & 0xFF) == n ? 0 : -1));
                } catch (const EConvertError&) {
                }
                const int number = in.Int32();
                FUZZ_CHECK(PortNumberOf(UserPortRecord(number)) == number);
                break;
            }
        }
    }
    CheckScan(keres, true);
    return 0;
}
