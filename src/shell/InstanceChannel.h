#pragma once
// One running program per settings folder: the first start listens on a channel named after
// the folder (a Unix domain socket, a Windows named pipe), and a later start hands it the file
// it was given and ends, so that two programs never fight over one COM port. Copies that keep
// their settings in different folders (two portable copies) run side by side.
//
// A file name goes only to the same user's program: the channel lives where only the user can
// make it (a private folder; a pipe whose access list names the user alone), and each side
// checks who is at the other end before it trusts it. A channel that cannot be trusted is
// treated as none, so the start opens its own window rather than hand a file to a stranger.
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

enum class HandOverResult {
    Taken,          ///< the running program took the message
    NobodyListens,  ///< no program of this user listens (or the channel is not to be trusted)
    NoAnswer,       ///< the user's program listens but did not take the message in time
};

class InstanceChannel {
public:
    /// Run on the channel's own thread with each message received.
    using Receiver = std::function<void(const std::string& message)>;

    /// How long the running program gives one client to send its whole message; a client that
    /// is slower is dropped, and the others are served meanwhile.
    static constexpr int kClientDeadlineMs = 2000;
    /// How many clients the running program serves at once; a further one is turned away.
    static constexpr int kMaxClients = 16;

    virtual ~InstanceChannel() = default;

    /// Sends message to the program listening on the channel and waits until it has taken it.
    /// Only a listener of this user (checked by the system) gets the message.
    virtual HandOverResult HandOver(const std::string& message) = 0;

    /// Starts listening; receiver runs on the channel's thread for each message. False when
    /// another program of this user listens already or the channel cannot be made (or trusted).
    /// Listening ends when the object goes.
    virtual bool Listen(Receiver receiver) = 0;
};

/// The system's channel of the given name (InstanceChannelName).
std::unique_ptr<InstanceChannel> CreateInstanceChannel(const std::string& name);

#ifndef _WIN32
/// Where the channel's socket lives: $XDG_RUNTIME_DIR when it is the user's own private folder,
/// else the folder "orbiqa-<uid>" in $TMPDIR (or /tmp), made private to the user. Empty when
/// neither folder can be trusted (another user's, open to others, a link) or made.
std::string InstanceSocketPath(const std::string& name);
#endif

}  // namespace orbiqa
