#pragma once
// provision, last step: what is said of the batch: a line per module as it finishes, and the
// record of the whole batch (--report's CSV, --json's object).
#include <string>
#include <vector>

#include "ProvisionRun.h"

namespace orbiqa::cli {

/// "COM33 (/dev/ttyUSB0): ok, written and verified (2.4 s)"
std::string ResultLine(const ProvisionResult& r);
/// The CSV record: port, device, site (only when a module names one), the fields set, outcome,
/// status, failed block, seconds and the time each finished.
std::string ReportCsv(const std::vector<ProvisionModule>& modules, const std::vector<ProvisionResult>& results);
/// The record as JSON, with how many modules are complete.
std::string ReportJson(const std::vector<ProvisionModule>& modules, const std::vector<ProvisionResult>& results,
                       const std::string& templatePath, int complete);

}  // namespace orbiqa::cli
