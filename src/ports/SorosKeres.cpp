#include "ports/SorosKeres.h"

#include <string_view>

#include "base/ComPortRange.h"
#include "ports/RegistryKeys.h"
#include "serial/PortName.h"

namespace orbiqa {
namespace {

using namespace registry_keys;

// A presence-map value or an attachment is a bare COM name; Windows writes it in upper case.
bool HasComPrefix(std::string_view text) { return text.starts_with("COM"); }

// The COM name a text holds: a bare name, or the one in the first "(COM" of a record's name,
// up to the ")" after it. Nothing when there is none.
std::optional<std::string_view> ComNameIn(std::string_view text) {
    if (HasComPrefix(text)) return text;
    const std::size_t open = text.find("(COM");
    if (open == std::string_view::npos) return std::nullopt;
    const std::size_t close = text.find(')', open + 4);
    if (close == std::string_view::npos) return std::nullopt;
    return text.substr(open + 1, close - open - 1);
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

std::string RecordName(const std::string& record) {
    const std::size_t p = record.find(';');
    if (p == std::string::npos || p == 0) return {};
    const std::size_t from = PresenceOf(record) == RecordPresence::Unmarked ? 0 : 1;
    return record.substr(from, p - from);
}

std::string RecordDescription(const std::string& record) {
    const std::size_t found = record.find(';');
    // p counts from 1 and is 0 when there is no separator, so the description starts at index p.
    const std::size_t p = found == std::string::npos ? 0 : found + 1;
    if (record.size() >= 1 && record.size() - 1 > p) return record.substr(p);
    return {};
}

int PortNumberOf(const std::string& text) {
    const std::optional<std::string_view> name = ComNameIn(text);
    return name ? ComNameNumber(*name) : 0;
}

RecordPresence PresenceOf(const std::string& record) {
    if (record.empty()) return RecordPresence::Unmarked;
    if (record[0] == '+') return RecordPresence::Present;
    return record[0] == '-' ? RecordPresence::Absent : RecordPresence::Unmarked;
}

std::string PortNameOf(const std::string& record) {
    try {
        const int n = PortNumberOf(record);
        return n > 0 ? ComPortName(n) : std::string();
    } catch (const EConvertError&) {
        return {};
    }
}

int FindByPortNumber(const PortRecords& list, int number) {
    // A number Windows can give a port is sought as it is; only a number beyond them is taken as
    // one byte. Taking COM256 as 0 too would list a present COM256 as absent.
    const int sought = IsComPortNumber(number) ? number : number & 0xFF;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (PortNumberOf(list[i]) == sought) return static_cast<int>(i);
    return -1;
}

void SortByPortNumber(PortRecords& list) {
    if (list.size() < 2) return;
    std::vector<int> numbers;
    numbers.reserve(list.size());
    for (const std::string& record : list) numbers.push_back(PortNumberOf(record));
    // Exchanging neighbours keeps records with equal numbers in their order, which the callers
    // rely on (a user's port before the registry's port of the same number).
    bool exchanged = true;
    while (exchanged) {
        exchanged = false;
        for (std::size_t i = 0; i + 1 < list.size(); ++i) {
            if (numbers[i + 1] < numbers[i]) {
                std::swap(numbers[i], numbers[i + 1]);
                std::swap(list[i], list[i + 1]);
                exchanged = true;
            }
        }
    }
}

std::string UserPortRecord(int number) {
    // "Sajátport" in Windows-1250: a-acute is 0xE1.
    return "+Saj\xE1tport (" + ComPortName(number) + ");(user defined port)";
}

SorosKeres::SorosKeres(std::shared_ptr<RegistryReader> registry) : registry_(std::move(registry)) {}

std::string SorosKeres::ReadDisplayName(const RegistryKey& key) const {
    std::string name = key.ReadString("FriendlyName");
    if (name.empty()) name = key.ReadString("FRIENDLYNAME");
    if (name.empty()) name = key.ReadString("friendlyname");
    return name;
}

void SorosKeres::ScanEnumTree(const std::string& path) {
    const std::unique_ptr<RegistryKey> key = registry_->OpenKey(path);
    bool isPort = Lower(key->ReadString("Class")).find("ports") != std::string::npos;
    if (!isPort) isPort = Lower(key->ReadString("Service")).find("serial") != std::string::npos;
    if (isPort) {
        const std::string displayName = ReadDisplayName(*key);
        const std::string maker = key->ReadString("Mfg");
        if (displayName.find("(COM") != std::string::npos) {
            if (!deviceList_) deviceList_.emplace();
            deviceList_->push_back(displayName + ";" + maker);
        }
    }
    if (key->HasSubKeys())
        for (const std::string& sub : key->GetKeyNames()) ScanEnumTree(path + "\\" + sub);
}

void SorosKeres::ScanAttachedTree(const std::string& path) {
    const std::unique_ptr<RegistryKey> key = registry_->OpenKey(path);
    const std::string attachedTo = key->ReadString("AttachedTo");
    if (HasComPrefix(attachedTo)) {
        const int n = PortNumberOf(attachedTo);
        if (n > 0) {
            const std::string displayName = ReadDisplayName(*key);
            if (!displayName.empty() && deviceList_) {
                const int i = FindByPortNumber(*deviceList_, n);
                if (i >= 0) (*deviceList_)[static_cast<std::size_t>(i)] += " : " + displayName;
            }
        }
    }
    if (key->HasSubKeys())
        for (const std::string& sub : key->GetKeyNames()) ScanAttachedTree(path + "\\" + sub);
}

void SorosKeres::RescanDevices() {
    deviceList_.emplace();
    ScanEnumTree(kEnumRoot);
    if (deviceList_->empty()) ScanEnumTree(kOldEnumRoot);
    SortByPortNumber(*deviceList_);
    ScanAttachedTree(kClassRoot);
    ScanAttachedTree(kServicesRoot);
}

void SorosKeres::PresenceCheck(PortRecords& present, PortRecords& absent) {
    present.clear();
    absent.clear();
    if (!deviceList_ || deviceList_->empty()) return;
    const std::string mapPath = registry_->KeyExists(kSerialCommMap) ? kSerialCommMap : kSerialCommMapOld;
    const std::unique_ptr<RegistryKey> key = registry_->OpenKey(mapPath);
    absent = *deviceList_;
    for (const std::string& valueName : key->GetValueNames()) {
        const int n = PortNumberOf(key->ReadString(valueName));
        const int i = FindByPortNumber(absent, n);
        if (i != -1) {
            present.push_back(absent[static_cast<std::size_t>(i)]);
            absent.erase(absent.begin() + i);
        }
    }
    SortByPortNumber(present);
    SortByPortNumber(absent);
}

void SorosKeres::BuildPortList(PortRecords& target) {
    if (!deviceList_) RescanDevices();
    PortRecords present;
    PortRecords absent;
    PresenceCheck(present, absent);
    PortRecords marked;
    for (const std::string& record : present) marked.push_back("+" + record);
    for (const std::string& record : absent) marked.push_back("-" + record);
    SortByPortNumber(marked);
    target = std::move(marked);
}

}  // namespace orbiqa
