#pragma once
// Who made a port link. A pseudo-terminal's number is given to the next process that asks once
// its maker has ended, so a link left behind by a simulator killed with SIGKILL may come to point
// at another program's terminal. The maker therefore writes a record beside its link,
// "<folder>/COMn.owner":
//   pid <process id>
//   start <the process's start time, in clock ticks since boot, from /proc/<pid>/stat>
//   target <the link's target>
// A link whose record names a process that no longer runs (no such process, or another process
// started since under the same number) while the link still points where the record says is
// dead: listed absent and never opened. A link without a record (made by hand) is judged by its
// target alone.
#include <optional>
#include <string>

namespace orbiqa {

/// The record's path for a link.
std::string PortLinkOwnerPath(const std::string& linkPath);

/// Writes the record of linkPath -> target for this process (through the save routine).
/// Raises EFileStoreError.
void RecordPortLinkOwner(const std::string& linkPath, const std::string& target);

/// Removes the record; nothing happens when there is none.
void RemovePortLinkOwner(const std::string& linkPath);

/// The process id of the link's maker when its record says the maker has ended; nothing for a
/// live maker, a link without a record, a record about another target, or a malformed record.
std::optional<long> EndedPortLinkMaker(const std::string& linkPath);

/// A process's start time in clock ticks since boot, or nothing when it does not run (also when
/// it has ended and only its entry waits for its parent: a zombie).
std::optional<unsigned long long> ProcessStartTime(long pid);

}  // namespace orbiqa
