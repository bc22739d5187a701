#pragma once
// Serial port discovery: port records and the two-stage registry scan behind the port chooser.
//
// A port record is one text per port: an optional presence mark ("+" present now, "-" known but
// absent), the port's display name holding "(COM<n>)", a semicolon, and its description (the
// maker's text, then " : " and the name of each device attached to the port). Records are
// 8-bit Windows-1250 text.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ports/RegistryReader.h"

namespace orbiqa {

using PortRecords = std::vector<std::string>;

/// The name part of a record, without its mark; empty when the record has no ";" or begins
/// with it.
std::string RecordName(const std::string& record);

/// The text after the first ";", or the whole record when it has none. Empty when that would be
/// shorter than two characters.
std::string RecordDescription(const std::string& record);

/// A record's presence mark.
enum class RecordPresence { Present, Absent, Unmarked };
RecordPresence PresenceOf(const std::string& record);

/// "COM<n>" of a record's port number as PortNumberOf reads it, or empty when the record holds
/// none or a malformed one. Never raises.
std::string PortNameOf(const std::string& record);

/// The port number of a record or a port name ("COM12", "... (COM5);..."), 0 when it holds no
/// "(COM" closed by ")". The name found is read by ComNameNumber, so a number no port can have
/// is kept as written; raises EConvertError when it is not a whole number.
int PortNumberOf(const std::string& text);

/// Index of the first record whose port number equals number, or -1. A number outside
/// COM1..COM256 is taken as one byte (COM257 is sought as 1).
int FindByPortNumber(const PortRecords& list, int number);

/// Stable sort by port number.
void SortByPortNumber(PortRecords& list);

/// The record of a port the user typed in: always marked present, named "Sajátport (COM<n>)",
/// described "(user defined port)".
std::string UserPortRecord(int number);

/// The discovery state of the program: the cached device list and the scans that fill it.
/// Errors of the registry (ERegistryException) and of record numbers (EConvertError) end the
/// scan or check in progress and reach the caller; the device list keeps what was collected.
class SorosKeres {
public:
    explicit SorosKeres(std::shared_ptr<RegistryReader> registry);

    /// Slow: walks the whole device tree and the attachment trees, replacing DeviceList.
    void RescanDevices();
    /// Fast: fills target with the marked records of every known port, present and absent
    /// interleaved by port number. Scans first when no scan has run yet. target is left
    /// untouched when the check fails.
    void BuildPortList(PortRecords& target);

    /// Unmarked records sorted by port number; nothing before the first scan.
    const std::optional<PortRecords>& DeviceList() const { return deviceList_; }

    /// Collects the port devices below path into DeviceList.
    void ScanEnumTree(const std::string& path);
    /// Extends DeviceList's records with the devices below path attached to them.
    void ScanAttachedTree(const std::string& path);

    RegistryReader& Registry() { return *registry_; }

private:
    std::string ReadDisplayName(const RegistryKey& key) const;
    void PresenceCheck(PortRecords& present, PortRecords& absent);

    std::shared_ptr<RegistryReader> registry_;
    std::optional<PortRecords> deviceList_;
};

}  // namespace orbiqa
