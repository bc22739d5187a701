#include "ports/RegistryReaderPosix.h"
#include "ports/SystemRegistryReader.h"

#include <libudev.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/IntText.h"
#include "base/Win1250.h"
#include "serial/PortLinkOwner.h"
#include "serial/PortLinks.h"
#include "serial/PortName.h"
#include "ports/RegistryKeys.h"

namespace orbiqa {
namespace fs = std::filesystem;
namespace {

using namespace registry_keys;

constexpr const char* kTtyBranch = "TTY";
constexpr const char* kLinkBranch = "PORTLINK";
constexpr const char* kPortClass = "Ports";
constexpr const char* kLinkMaker = "(Orbiqa port link)";
constexpr const char* kUnknownModel = "Communications Port";
constexpr const char* kPseudoTerminalModel = "Pseudo terminal";
constexpr const char* kLinkModel = "Port link";

// Windows-1250 text of a UTF-8 text; a character the code page cannot hold becomes "?" rather
// than losing the whole name.
std::string CoreText(const std::string& utf8) {
    if (auto whole = Utf8ToWin1250(utf8)) return *whole;
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t len = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        len = std::min(len, utf8.size() - i);
        const auto one = Utf8ToWin1250(utf8.substr(i, len));
        out += one ? *one : std::string("?");
        i += len;
    }
    return out;
}

// "/dev/pts/3" -> "pts/3": the name a Linux user knows the device by.
std::string LinuxName(const std::string& devicePath) {
    const std::string dev = "/dev/";
    return devicePath.compare(0, dev.size(), dev) == 0 ? devicePath.substr(dev.size()) : devicePath;
}

// Discovery finds a port's number at the first "(COM" of its name, so a model or path that
// holds one of its own ("USB Serial (COM) Adapter", "Adapter (COM9)") would hide or replace the
// real number; its brackets become square ones.
std::string WithoutPortMark(std::string text) {
    if (text.find("(COM") == std::string::npos) return text;
    std::replace(text.begin(), text.end(), '(', '[');
    std::replace(text.begin(), text.end(), ')', ']');
    return text;
}

std::string FriendlyName(const std::string& model, const std::string& devicePath, const std::string& comName) {
    return WithoutPortMark(CoreText(model)) + " - " + WithoutPortMark(CoreText(LinuxName(devicePath))) + " (" +
           comName + ")";
}

std::string CanonicalOrSelf(const std::string& path) {
    std::error_code ec;
    const fs::path canonical = fs::canonical(path, ec);
    return ec ? path : canonical.string();
}

std::string Property(udev_device* device, const char* name) {
    const char* value = udev_device_get_property_value(device, name);
    return value ? value : "";
}

std::string SysAttr(udev_device* device, const char* name) {
    if (!device) return {};
    const char* value = udev_device_get_sysattr_value(device, name);
    std::string text = value ? value : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// udev's property values replace blanks by "_"; the database texts and the USB strings do not.
std::string Spaced(std::string text) {
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

std::string FirstNonEmpty(std::initializer_list<std::string> texts) {
    for (const std::string& t : texts)
        if (!t.empty()) return t;
    return {};
}

}  // namespace

SerialDeviceFacts UdevSerialFacts(udev_device* tty) {
    SerialDeviceFacts facts;
    const char* node = udev_device_get_devnode(tty);
    facts.devNode = node ? node : "";
    // A device being removed may no longer reach its USB parent; udev's database still tells.
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
    facts.model = FirstNonEmpty(
        {SysAttr(usb, "product"), Property(tty, "ID_MODEL_FROM_DATABASE"), Spaced(Property(tty, "ID_MODEL"))});
    facts.vendor = FirstNonEmpty(
        {SysAttr(usb, "manufacturer"), Property(tty, "ID_VENDOR_FROM_DATABASE"), Spaced(Property(tty, "ID_VENDOR"))});
    return facts;
}

std::vector<SerialDeviceFacts> UdevSerialDevices() {
    std::vector<SerialDeviceFacts> devices;
    udev* context = udev_new();
    if (!context) return devices;
    udev_enumerate* enumeration = udev_enumerate_new(context);
    if (enumeration && udev_enumerate_add_match_subsystem(enumeration, "tty") >= 0 &&
        udev_enumerate_scan_devices(enumeration) >= 0) {
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration)) {
            udev_device* tty = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
            if (!tty) continue;
            const char* node = udev_device_get_devnode(tty);
            const char* sysName = udev_device_get_sysname(tty);
            // Virtual terminals and pseudo-terminals have no parent device with a driver.
            udev_device* parent = udev_device_get_parent(tty);
            bool serial = node && sysName && parent && udev_device_get_driver(parent);
            // The kernel creates ttyS0..n whether or not a UART answers; "type" 0 means none did.
            if (serial && std::string(sysName).rfind("ttyS", 0) == 0) {
                const std::string type = SysAttr(tty, "type");
                serial = !type.empty() && StrToIntPrefix(type) != 0;
            }
            if (serial) {
                SerialDeviceFacts facts = UdevSerialFacts(tty);
                devices.push_back(std::move(facts));
            }
            udev_device_unref(tty);
        }
    }
    if (enumeration) udev_enumerate_unref(enumeration);
    udev_unref(context);
    return devices;
}

RegistryReaderPosix::RegistryReaderPosix(SerialDeviceSource source) : source_(std::move(source)) {
    view_.AddKey(kEnumRoot);
    view_.AddKey(kClassRoot);
    view_.AddKey(kServicesRoot);
    view_.AddKey(kSerialCommMap);
}

std::vector<RegistryReaderPosix::PortLink> RegistryReaderPosix::ReadPortLinks() const {
    std::vector<PortLink> links;
    const fs::path folder = PortLinkFolder();
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!IsPortLinkName(name)) continue;
        std::error_code linkError;
        if (!fs::is_symlink(it->symlink_status(linkError))) continue;
        fs::path target = fs::read_symlink(it->path(), linkError);
        if (linkError) continue;
        if (target.is_relative()) target = folder / target;
        PortLink link;
        link.comName = name;
        link.target = target.lexically_normal().string();
        // Only a terminal is a port (a link to /dev/zero is not); a link whose maker has ended
        // may lead to another program's terminal.
        link.present = IsTerminalDevice(it->path().string()) && !EndedPortLinkMaker(it->path().string());
        links.push_back(std::move(link));
    }
    std::sort(links.begin(), links.end(), [](const PortLink& a, const PortLink& b) {
        return ComNameNumber(a.comName) < ComNameNumber(b.comName);
    });
    return links;
}

void RegistryReaderPosix::RefreshDevices() {
    const std::vector<PortLink> links = ReadPortLinks();
    const std::vector<SerialDeviceFacts> devices = source_();
    auto linked = [&](const std::string& comName) {
        return std::any_of(links.begin(), links.end(), [&](const PortLink& l) { return l.comName == comName; });
    };

    for (const SerialDeviceFacts& device : devices) {
        const auto comName = FixedPortForDevice(device.devNode);
        if (!comName || linked(*comName)) continue;
        const std::string model = device.model.empty() ? kUnknownModel : device.model;
        known_[std::string(kTtyBranch) + "\\" + fs::path(device.devNode).filename().string()] =
            KnownDevice{*comName, FriendlyName(model, device.devNode, *comName), CoreText(device.vendor)};
    }
    for (const PortLink& link : links) {
        std::string model = LinuxName(link.target).rfind("pts/", 0) == 0 ? kPseudoTerminalModel : kLinkModel;
        std::string maker = kLinkMaker;
        std::string shownPath = link.target;
        if (link.present) {
            // A link to a device udev knows is named like that device.
            shownPath = CanonicalOrSelf(link.target);
            for (const SerialDeviceFacts& device : devices)
                if (CanonicalOrSelf(device.devNode) == shownPath) {
                    if (!device.model.empty()) model = device.model;
                    if (!device.vendor.empty()) maker = device.vendor;
                }
        }
        known_[std::string(kLinkBranch) + "\\" + link.comName] =
            KnownDevice{link.comName, FriendlyName(model, shownPath, link.comName), CoreText(maker)};
    }
    // One row per COM number, describing what COMn opens now: a link takes the number from the
    // device of the fixed rule, and a link that is gone gives it back to that device if it was
    // ever seen (otherwise the link's row stays, absent, as the last thing COMn opened).
    auto deviceKnown = [&](const std::string& comName) {
        return std::any_of(known_.begin(), known_.end(), [&](const auto& entry) {
            return entry.first.rfind(kTtyBranch, 0) == 0 && entry.second.comName == comName;
        });
    };
    std::erase_if(known_, [&](const auto& entry) {
        const bool isLink = entry.first.rfind(kLinkBranch, 0) == 0;
        const std::string& comName = entry.second.comName;
        return isLink ? !linked(comName) && deviceKnown(comName) : linked(comName);
    });

    view_.DeleteKey(kEnumRoot);
    view_.AddKey(kEnumRoot);
    for (const auto& [subPath, device] : known_) {
        const std::string path = std::string(kEnumRoot) + "\\" + subPath;
        view_.SetString(path, "Class", kPortClass);
        view_.SetString(path, "FriendlyName", device.friendlyName);
        view_.SetString(path, "Mfg", device.maker);
        view_.SetString(path, "PortName", device.comName);
    }
    gathered_ = true;
}

void RegistryReaderPosix::RefreshPresence() {
    const std::vector<PortLink> links = ReadPortLinks();
    std::vector<std::pair<std::string, std::string>> present;  // value name, COM name
    for (const SerialDeviceFacts& device : source_()) {
        const auto comName = FixedPortForDevice(device.devNode);
        const bool linked = std::any_of(links.begin(), links.end(),
                                        [&](const PortLink& l) { return comName && l.comName == *comName; });
        if (comName && !linked) present.emplace_back(device.devNode, *comName);
    }
    for (const PortLink& link : links)
        if (link.present) present.emplace_back((fs::path(PortLinkFolder()) / link.comName).string(), link.comName);

    view_.DeleteKey(kSerialCommMap);
    view_.AddKey(kSerialCommMap);
    for (const auto& [valueName, comName] : present) view_.SetString(kSerialCommMap, valueName, comName);
}

std::unique_ptr<RegistryKey> RegistryReaderPosix::OpenKey(const std::string& path) {
    const std::string key = CanonicalKeyPath(path);
    if (key == CanonicalKeyPath(kEnumRoot)) {
        RefreshDevices();
    } else if (key == CanonicalKeyPath(kSerialCommMap)) {
        RefreshPresence();
    } else if (!gathered_ && key.rfind(CanonicalKeyPath(kEnumRoot), 0) == 0) {
        RefreshDevices();
    }
    return view_.OpenKey(path);
}

void RegistryReaderPosix::NoteDeviceEvent(const DeviceEvent& event) {
    // A device that went before any gathering saw it is remembered from the report, so that it
    // is listed absent like any other pulled adapter.
    if (event.kind != DeviceEvent::Kind::Removed) return;
    const auto comName = FixedPortForDevice(event.devicePath);
    if (!comName || *comName != event.comName) return;
    const std::string key = std::string(kTtyBranch) + "\\" + fs::path(event.devicePath).filename().string();
    if (known_.count(key)) return;
    const std::string model = event.model.empty() ? kUnknownModel : event.model;
    known_[key] = KnownDevice{*comName, FriendlyName(model, event.devicePath, *comName), CoreText(event.vendor)};
}

bool RegistryReaderPosix::KeyExists(const std::string& path) { return view_.KeyExists(path); }

std::shared_ptr<RegistryReader> CreateSystemRegistryReader() {
    return std::make_shared<RegistryReaderPosix>();
}

}  // namespace orbiqa
