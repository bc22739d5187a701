#pragma once
// Starting a built program or a server as a child process, the one way every test does it: fork,
// the child's standard streams and environment set, exec, and exit status 127 when the program
// cannot be run. Collecting output and ending the child stay with each harness, which knows
// what its program prints.
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace orbiqa::testsupport {

struct ChildLaunch {
    std::vector<std::string> argv;  // argv[0] is the program's path
    std::vector<std::pair<std::string, std::string>> environment;  // set in the child
    int standardOutput = -1;  // a descriptor the child writes its output to; -1 keeps ours
    int standardError = -1;
    bool nullInput = false;   // reads /dev/null instead of our input
    bool nullOutput = false;  // output and errors to /dev/null where no descriptor is given
    std::vector<int> closeInChild;  // the parent's ends of the pipes
};

/// Forks and runs the program; the child's pid. Throws when the fork fails.
inline pid_t StartChild(ChildLaunch launch) {
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid > 0) return pid;
    const int null = ::open("/dev/null", O_RDWR);
    if (launch.nullInput) ::dup2(null, STDIN_FILENO);
    if (launch.standardOutput >= 0)
        ::dup2(launch.standardOutput, STDOUT_FILENO);
    else if (launch.nullOutput)
        ::dup2(null, STDOUT_FILENO);
    if (launch.standardError >= 0)
        ::dup2(launch.standardError, STDERR_FILENO);
    else if (launch.nullOutput)
        ::dup2(null, STDERR_FILENO);
    for (int fd : launch.closeInChild) ::close(fd);
    for (int fd : {launch.standardOutput, launch.standardError, null})
        if (fd > STDERR_FILENO) ::close(fd);
    for (const auto& [name, value] : launch.environment) ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    for (auto& a : launch.argv) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

/// The exit status waitpid reported: the program's own, or 128 plus the signal that ended it.
inline int ExitStatusOf(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

}  // namespace orbiqa::testsupport
