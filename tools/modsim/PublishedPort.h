#pragma once
// The COMn link in the port-link folder that makes the simulator's terminal reachable by a COM
// name. It is removed when the object goes, but only while it still points at our terminal.
#include <optional>
#include <string>

namespace orbiqa::modsim {

class PublishedPort {
public:
    /// Creates folder/COMn -> target, creating the folder when missing. With no number, takes
    /// the lowest of COM90..COM96 that is free. A link whose target no longer exists is stale
    /// and taken over; a live one is not. Throws std::runtime_error with the reason.
    PublishedPort(const std::string& folder, std::optional<int> comNumber, const std::string& target);
    ~PublishedPort();
    PublishedPort(const PublishedPort&) = delete;
    PublishedPort& operator=(const PublishedPort&) = delete;

    const std::string& ComName() const { return comName_; }
    const std::string& LinkPath() const { return linkPath_; }

    /// Removes the link now (also safe to call from the exit path more than once).
    void Remove();

private:
    bool TryCreate(const std::string& link);
    std::string comName_;
    std::string linkPath_;
    std::string target_;
};

}  // namespace orbiqa::modsim
