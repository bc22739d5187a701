#pragma once
// One running program per settings folder: the first start listens on a channel named after
// the folder (a Unix domain socket, a Windows named pipe), and a later start hands it the file
// it was given and ends, so that two programs never fight over one COM port. Copies that keep
// their settings in different folders (two portable copies) run side by side.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orbiqa {

/// What a later start sends: the file names it was given (UTF-8), possibly none.
std::string EncodeHandOver(const std::vector<std::string>& fileNames);
/// The file names of a message, or nothing when it is not one of ours.
std::optional<std::vector<std::string>> DecodeHandOver(const std::string& message);

/// A short name for the channel of a settings folder: the same folder gives the same name.
std::string InstanceChannelName(const std::string& settingsFolder);

class InstanceChannel {
public:
    /// Run on the channel's own thread with each message received.
    using Receiver = std::function<void(const std::string& message)>;

    virtual ~InstanceChannel() = default;

    /// Sends message to the program listening on the channel and waits until it has taken it.
    /// False when none listens (or it did not take the message in time).
    virtual bool HandOver(const std::string& message) = 0;

    /// Starts listening; receiver runs on the channel's thread for each message. False when
    /// another program listens already or the channel cannot be made. Listening ends when the
    /// object goes.
    virtual bool Listen(Receiver receiver) = 0;
};

/// The system's channel of the given name (InstanceChannelName).
std::unique_ptr<InstanceChannel> CreateInstanceChannel(const std::string& name);

}  // namespace orbiqa
