// provision: one template written to many modules at once, each on its own port and thread, then
// read back and compared, with one result line per module and a record for the workshop. The
// plan, the run of one module and the report have files of their own; this one runs the batch.
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <memory>
#include <ostream>

#include "Commands.h"
#include "Console.h"
#include "FileAccess.h"
#include "ImageReport.h"
#include "ProvisionPlan.h"
#include "ProvisionReport.h"
#include "ProvisionRun.h"
#include "SiteRecording.h"
#include "link/AesCipher.h"

namespace orbiqa::cli {

namespace {

/// Records each module that names a site as soon as it finishes, while the others are still on
/// the line, so that recording adds nothing to the batch but the last module's record. The
/// register is opened at the first record, never before the modules start.
class ProvisionRecorder {
public:
    ProvisionRecorder(const ParsedArgs& args, Io& io) : args_(args), io_(io) {}

    void Record(const ProvisionModule& m, const ProvisionResult& r) {
        if (m.site.empty() || unusable_) return;
        if (!register_) {
            try {
                register_ = OpenRegister(args_, io_);
            } catch (const CliFailure& f) {
                io_.err << "orbiqa-cli: provision: not recorded to the sites: " << f.what() << "\n";
                unusable_ = true;
                return;
            }
        }
        const QString name = QString::fromStdString(m.site);
        sites::HistoryEntry e = sites::NewEntry(name, sites::HistoryKind::Provision, QString::fromStdString(m.port));
        try {
            if (const auto known = register_->ReadStore().FindSite(name)) e.before = known->parameters;
        } catch (const sites::StoreError&) {
        }
        e.after = SetBytes(m.image);
        e.outcome = r.status == kExitOk ? sites::Outcome::Ok
                    : r.status >= 128   ? sites::Outcome::Interrupted
                                        : sites::Outcome::Failed;
        if (r.status != kExitOk) e.outcomeText = QString::fromStdString(r.text);
        ReportRecord(register_->Record(e), m.site, io_);
    }

private:
    const ParsedArgs& args_;
    Io& io_;
    std::unique_ptr<sites::SiteRegister> register_;
    bool unusable_ = false;
};

int RunProvision(const ParsedArgs& args, Io& io) {
    const std::vector<ProvisionModule> modules = PlanModules(args);
    const auto reportPath = args.Value("--report");
    if (reportPath) CheckWritable(*reportPath);
    const bool json = args.Flag("--json");

    std::atomic<bool> stop{false};
    int signal = 0;
    std::vector<ProvisionResult> results(modules.size());
    ProvisionRecorder recorder(args, io);
    std::size_t finished = 0;
    QEventLoop loop;
    InterruptWatch interrupts;
    interrupts.onInterrupt = [&](int s) {
        if (signal == 0) io.err << "orbiqa-cli: provision: interrupted; stopping every module\n";
        signal = s;
        stop = true;
    };

    std::vector<std::unique_ptr<QThread>> threads;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        threads.emplace_back(QThread::create([&, i] {
            ProvisionResult r = ProvisionOne(modules[i], stop, SIGINT);
            AesCipher::ReleaseThreadState();
            QMetaObject::invokeMethod(
                &loop,
                [&, i, r] {
                    results[i] = r;
                    if (r.status >= 128) results[i].status = 128 + (signal ? signal : SIGINT);
                    if (!json) io.out << ResultLine(results[i]) << std::endl;
                    recorder.Record(modules[i], results[i]);
                    if (++finished == modules.size()) loop.quit();
                },
                Qt::QueuedConnection);
        }));
        threads.back()->start();
    }
    if (finished < modules.size()) loop.exec();
    for (auto& t : threads) t->wait();

    int complete = 0;
    int status = kExitOk;
    std::vector<std::string> completePorts, failedPorts;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const ProvisionResult& r = results[i];
        (r.status == kExitOk ? completePorts : failedPorts).push_back(r.port);
        if (r.status == kExitOk)
            ++complete;
        else
            status = std::max(status, r.status);
    }
    if (signal != 0) status = 128 + signal;
    if (json) {
        io.out << ReportJson(modules, results, args.positionals.at(0), complete);
    } else {
        io.out << "provision: " << complete << " of " << modules.size()
               << " modules written and verified";
        if (!failedPorts.empty()) io.out << "; not complete: " << SummaryList(failedPorts);
        io.out << "\n";
    }
    if (signal != 0)
        io.err << "orbiqa-cli: provision: interrupted; complete: "
               << (completePorts.empty() ? "none" : SummaryList(completePorts)) << "\n";
    // The results are out before the record is saved: a record that cannot be saved must not
    // take the batch's outcome with it.
    if (reportPath) {
        try {
            SaveTextFile(*reportPath, ReportCsv(modules, results));
        } catch (const CliFailure& f) {
            io.out.flush();
            io.err << "orbiqa-cli: provision: the report was not saved: " << f.what() << "\n";
            status = std::max(status, static_cast<int>(kExitUsage));
        }
    }
    return status;
}

}  // namespace

CommandDef ProvisionCommand() {
    return {
        "provision",
        "provision TEMPLATE.VR3 -p PORT... [--set F=V]... [--each CSV] [--report CSV] [--json] [--site NAME]",
        "write a template to many modules at once, each verified",
        "Writes TEMPLATE's blocks 0..14 to every module at the same time, each on its own port,\n"
        "then reads each back and compares it. --set FIELD=VALUE changes a field for all "
        "modules;\n"
        "--each MODULES.csv gives fields per module: a header line with a \"port\" column and "
        "one\n"
        "column per field, then a line per module, for example\n"
        "    port,USER1,SMS1\n"
        "    COM33,06301112233,Riasztás a boltban\n"
        "    COM34,06302223344,Riasztás a raktárban\n"
        "Without -p the modules are the CSV's ports; with -p, each names its line of the CSV.\n"
        "Values follow the editor's entry rules (see \"set --help\"); only fields of bytes 0..959\n"
        "(what the module holds) can be provisioned. Every value is checked before any port is\n"
        "opened. One line a module as it finishes, then a summary:\n"
        "    COM33 (/dev/ttyUSB0): ok, written and verified (2.4 s)\n"
        "    COM34 (/dev/ttyUSB1): FAILED: the module did not acknowledge block 6 (6 of 15 blocks "
        "written) (9.1 s)\n"
        "    provision: 1 of 2 modules written and verified; not complete: COM34\n"
        "--report FILE.csv keeps a record: port, the values set, outcome, status, failed block,\n"
        "seconds and the time it finished. --json prints the record as JSON instead of the lines.\n"
        "A \"site\" column in MODULES.csv (or --site NAME for one module) records each module's\n"
        "provision to that site's history in the site register as it finishes; a record that is\n"
        "pending or failed is said on standard error and never changes the exit status.\n"
        "One module's failure does not stop the others. Ctrl+C stops every module at once and "
        "says\n"
        "which were complete (exit status 130). Exit status 0 only when every module was written\n"
        "and verified; otherwise the highest status among the modules (1 differs, 3 port, 4 no\n"
        "answer or acknowledgement).\n",
        {{"--port", "PORT", "a module's serial port; once per module", "-p", true},
         {"--set", "FIELD=VALUE", "change a field for every module", "", true},
         {"--each", "MODULES.csv", "fields per module"},
         {"--report", "FILE.csv", "keep a record of the batch"},
         JsonOption(),
         SiteOption(),
         DbOption()},
        1,
        1,
        RunProvision};
}

}  // namespace orbiqa::cli
