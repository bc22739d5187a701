// "site report NAME -o FILE.pdf": the service report of the site's newest visit, as the sites
// window writes it. --entry ID chooses the visit of another history entry.
#include "CmdSiteReport.h"

#include <QFile>
#include <algorithm>
#include <QUuid>
#include <ostream>

#include "sites/ServiceReport.h"
#include "sites/SiteRegister.h"

namespace orbiqa::cli {

namespace {
// A report needs the whole visit; a day of work is far fewer entries than this.
constexpr int kReportHistory = 2000;
}  // namespace

std::vector<OptionDef> SiteReportOptions() {
    return {{"--output", "FILE.pdf", "the PDF to write (required)", "-o"},
            {"--entry", "ID", "the visit of this history entry (its event id) instead of the newest"}};
}

int RunSiteReport(sites::SiteRegister& reg, const std::string& name, const ParsedArgs& args, Io& io) {
    const std::optional<std::string> output = args.Value("--output");
    if (!output || output->empty()) throw CliFailure(kExitUsage, "site report: -o FILE.pdf is required");
    QUuid entry;
    if (const std::optional<std::string> id = args.Value("--entry")) {
        entry = QUuid::fromString(QString::fromStdString(*id));
        if (entry.isNull()) throw CliFailure(kExitUsage, "site report: --entry needs an event id, not " + *id);
    }
    const QString siteName = QString::fromStdString(name);
    sites::SiteStore& store = reg.ReadStore();
    const std::optional<sites::Site> site = store.FindSite(siteName);
    if (!site) throw CliFailure(kExitUsage, "site report: no site named " + name);
    const std::vector<sites::HistoryEntry> history = store.History(siteName, kReportHistory);
    if (history.empty()) throw CliFailure(kExitUsage, "site report: " + name + " has no history to report");
    if (!entry.isNull() && std::none_of(history.begin(), history.end(),
                                        [&](const sites::HistoryEntry& e) { return e.eventId == entry; }))
        throw CliFailure(kExitUsage, "site report: " + name + " has no entry " + args.Value("--entry").value());
    const sites::ServiceVisit visit = sites::VisitOf(*site, history, entry);
    try {
        sites::SaveServiceReport(visit, QString::fromStdString(*output));
    } catch (const std::exception& e) {
        throw CliFailure(kExitUsage, "site report: " + *output + ": " + e.what());
    }
    io.out << *output << "\n";
    return kExitOk;
}

}  // namespace orbiqa::cli
