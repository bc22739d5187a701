#include "serial/PortLinkOwner.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "base/FileStore.h"

namespace orbiqa {
namespace {

constexpr std::size_t kMaxRecordBytes = 4096;
// /proc/<pid>/stat: the start time is field 22; the fields are counted after the command name's
// closing bracket (field 2, which may itself hold blanks and brackets), so 19 (fields 3 to 21,
// the first of them the process state) come before it.
constexpr int kFieldsBeforeStartTime = 19;

struct OwnerRecord {
    long pid = 0;
    unsigned long long start = 0;
    std::string target;
};

std::optional<OwnerRecord> ReadRecord(const std::string& linkPath) {
    std::string text;
    try {
        text = ReadFileBounded(PortLinkOwnerPath(linkPath), kMaxRecordBytes, true);
    } catch (const EFileStoreError&) {
        return std::nullopt;
    }
    OwnerRecord record;
    bool hasPid = false;
    bool hasStart = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto blank = line.find(' ');
        if (blank == std::string::npos) continue;
        const std::string key = line.substr(0, blank);
        const std::string value = line.substr(blank + 1);
        std::istringstream number(value);
        if (key == "pid") hasPid = static_cast<bool>(number >> record.pid) && number.eof() && record.pid > 0;
        else if (key == "start") hasStart = static_cast<bool>(number >> record.start) && number.eof();
        else if (key == "target") record.target = value;
    }
    if (!hasPid || !hasStart || record.target.empty()) return std::nullopt;
    return record;
}

}  // namespace

std::string PortLinkOwnerPath(const std::string& linkPath) { return linkPath + ".owner"; }

std::optional<unsigned long long> ProcessStartTime(long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!stat || !std::getline(stat, text)) return std::nullopt;
    const auto close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    for (int i = 0; i < kFieldsBeforeStartTime; ++i) {
        if (!(fields >> field)) return std::nullopt;
        // A zombie (killed, not yet reaped by its parent) keeps its entry and start time, but it
        // runs no more and holds no terminal.
        if (i == 0 && (field == "Z" || field == "X" || field == "x")) return std::nullopt;
    }
    unsigned long long start = 0;
    if (!(fields >> start)) return std::nullopt;
    return start;
}

void RecordPortLinkOwner(const std::string& linkPath, const std::string& target) {
    const long pid = static_cast<long>(::getpid());
    const auto start = ProcessStartTime(pid);
    SaveFile(PortLinkOwnerPath(linkPath), "pid " + std::to_string(pid) + "\nstart " +
                                              std::to_string(start.value_or(0)) + "\ntarget " + target + "\n");
}

void RemovePortLinkOwner(const std::string& linkPath) {
    std::error_code ec;
    std::filesystem::remove(PortLinkOwnerPath(linkPath), ec);
}

std::optional<long> EndedPortLinkMaker(const std::string& linkPath) {
    const auto record = ReadRecord(linkPath);
    if (!record) return std::nullopt;
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(linkPath, ec);
    // A record left over from an earlier link of the same name says nothing about this one.
    if (ec || target.string() != record->target) return std::nullopt;
    const auto start = ProcessStartTime(record->pid);
    if (start && *start == record->start) return std::nullopt;
    return record->pid;
}

}  // namespace orbiqa
