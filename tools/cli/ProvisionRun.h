#pragma once
// provision, second step: one module written, read back and compared, on its own thread.
#include <atomic>
#include <string>

#include "ProvisionPlan.h"

namespace orbiqa::cli {

struct ProvisionResult {
    std::string port;
    std::string label;  ///< "COM90 (/dev/pts/3)"
    std::string device;
    int status = kExitOk;
    std::string text;
    int failedBlock = -1;
    double seconds = 0;
    std::string finished;  ///< local ISO 8601 time
};

/// Writes and verifies one module; runs on its own thread. stop ends it early, as signal.
ProvisionResult ProvisionOne(const ProvisionModule& m, const std::atomic<bool>& stop, int signal);

}  // namespace orbiqa::cli
