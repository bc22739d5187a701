#include "PublishedPort.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "base/FileStore.h"
#include "serial/PortLinkOwner.h"

namespace orbiqa::modsim {
namespace {

namespace fs = std::filesystem;

constexpr int kFirstAutoPort = 90;
constexpr int kLastAutoPort = 96;

// A link is stale when whatever it points at is gone, or when the simulator that made it was
// killed and its terminal's number may since have gone to another process.
bool IsStale(const fs::path& link) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(link, ec))) return false;
    return !fs::exists(fs::status(link, ec)) || EndedPortLinkMaker(link.string());
}

}  // namespace

PublishedPort::PublishedPort(const std::string& folder, std::optional<int> comNumber, const std::string& target)
    : target_(target) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) throw std::runtime_error("cannot create the link folder '" + folder + "': " + ec.message());
    const int first = comNumber.value_or(kFirstAutoPort);
    const int last = comNumber.value_or(kLastAutoPort);
    for (int n = first; n <= last; ++n) {
        const std::string name = "COM" + std::to_string(n);
        const std::string link = (fs::path(folder) / name).string();
        if (TryCreate(link)) {
            comName_ = name;
            linkPath_ = link;
            return;
        }
    }
    if (comNumber)
        throw std::runtime_error("COM" + std::to_string(*comNumber) + " is already published in '" + folder +
                                 "' (its link points at a device that exists)");
    throw std::runtime_error("COM90 to COM96 are all taken in '" + folder + "'; choose one with --port");
}

bool PublishedPort::TryCreate(const std::string& link) {
    if (IsStale(link)) {
        ::unlink(link.c_str());
        RemovePortLinkOwner(link);
    }
    if (::symlink(target_.c_str(), link.c_str()) == 0) {
        // Who made the link, so that it is known dead if this process is killed.
        try {
            RecordPortLinkOwner(link, target_);
        } catch (const EFileStoreError& e) {
            ::unlink(link.c_str());
            throw std::runtime_error("cannot record the owner of '" + link + "': " + e.what());
        }
        return true;
    }
    if (errno == EEXIST) return false;
    throw std::runtime_error("cannot create the link '" + link + "': " + std::strerror(errno));
}

PublishedPort::~PublishedPort() { Remove(); }

void PublishedPort::Remove() {
    if (linkPath_.empty()) return;
    std::error_code ec;
    // Only our own link: another simulator may have taken the name over meanwhile.
    if (fs::read_symlink(linkPath_, ec) == fs::path(target_)) {
        ::unlink(linkPath_.c_str());
        RemovePortLinkOwner(linkPath_);
    }
    linkPath_.clear();
}

}  // namespace orbiqa::modsim
