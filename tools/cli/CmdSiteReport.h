#pragma once
// "site report NAME -o FILE.pdf [--entry ID]": the PDF service report of a visit to the site.
#include <string>
#include <vector>

#include "Commands.h"

namespace orbiqa::sites {
class SiteRegister;
}

namespace orbiqa::cli {

/// The options "site report" takes besides the site's name.
std::vector<OptionDef> SiteReportOptions();

/// Writes the report of the newest visit (or the visit of --entry) to --output and prints the
/// file's name. CliFailure(kExitUsage) for a missing -o, an unknown site or entry, a site
/// without history or a file that cannot be written; StoreError from the register passes.
int RunSiteReport(sites::SiteRegister& reg, const std::string& name, const ParsedArgs& args, Io& io);

}  // namespace orbiqa::cli
