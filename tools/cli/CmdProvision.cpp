// provision: one template written to many modules at once, each on its own port and thread, then
// read back and compared, with one result line per module and a record for the workshop.
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string_view>

#include "Commands.h"
#include "CsvText.h"
#include "SiteRecording.h"
#include "FileAccess.h"
#include "ImageReport.h"
#include "JsonText.h"
#include "ModuleCheck.h"
#include "CommandSession.h"
#include "link/AesCipher.h"

namespace orbiqa::cli {

namespace {

const char* const kPortColumn = "port";
const char* const kSiteColumn = "site";

using FieldValues = std::vector<std::pair<std::string, std::string>>;

/// One module of the batch: its port, its image and the values it was given.
struct Module {
    std::string port;  ///< COM name
    ParameterImage image;
    FieldValues values;  ///< field, value (--set and CSV)
    std::string site;    ///< the site the provision is recorded to, or empty
};

struct Result {
    std::string port;
    std::string label;  ///< "COM90 (/dev/pts/3)"
    std::string device;
    int status = kExitOk;
    std::string text;
    int failedBlock = -1;
    double seconds = 0;
    std::string finished;  ///< local ISO 8601 time
};

/// One line of --each: where it stands (for messages) and its field values.
struct EachLine {
    std::string where;  ///< "modules.csv line 3"
    FieldValues values;
    std::string site;
};

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

/// The header's columns, checked: the port column (and a site column) found whatever its letter
/// case, every other column a field named once. Empty columns at the end, which spreadsheets leave behind a
/// trailing separator, are dropped when no line fills them. Returns the port column.
std::size_t CheckHeader(const std::string& path, std::vector<std::string>& header,
                        const std::vector<CsvRow>& rows) {
    const auto filled = [&](std::size_t c) {
        return std::any_of(rows.begin() + 1, rows.end(), [&](const CsvRow& row) {
            return c < row.fields.size() && !row.fields[c].empty();
        });
    };
    while (!header.empty() && header.back().empty() && !filled(header.size() - 1))
        header.pop_back();
    std::optional<std::size_t> port;
    std::vector<std::string> names;
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string column = "column " + std::to_string(c + 1);
        if (header[c].empty())
            throw CliFailure(kExitUsage, path + ": " + column + " of the header has no name");
        std::string name = header[c];
        if (SameName(name, kPortColumn)) {
            name = kPortColumn;
            if (!port) port = c;
        } else if (SameName(name, kSiteColumn)) {
            name = header[c] = kSiteColumn;
        } else if (const auto field = FindField(name)) {
            name = header[c] = field->name;
        } else {
            throw CliFailure(kExitUsage, path + ": " + column + " of the header: '" + header[c] +
                                             "' is not a field (orbiqa-cli get --fields lists "
                                             "them)");
        }
        const auto seen = std::find(names.begin(), names.end(), name);
        if (seen != names.end())
            throw CliFailure(kExitUsage, path + ": the header names " + name + " twice (columns " +
                                             std::to_string(seen - names.begin() + 1) + " and " +
                                             std::to_string(c + 1) + "); one column a field");
        names.push_back(name);
    }
    if (!port) throw CliFailure(kExitUsage, path + ": the header has no \"port\" column");
    return *port;
}

/// The per-module values of --each by COM name: the CSV's columns other than "port" are fields.
std::map<std::string, EachLine> ReadEach(const std::string& path) {
    std::vector<CsvRow> rows;
    try {
        rows = ParseCsv(ReadTextFile(path));
    } catch (const CsvError& e) {
        throw CliFailure(kExitUsage, path + ": " + e.what());
    }
    if (rows.empty()) throw CliFailure(kExitUsage, path + ": no header line");
    std::vector<std::string> header = rows.front().fields;
    const std::size_t portColumn = CheckHeader(path, header, rows);
    std::map<std::string, EachLine> each;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const CsvRow& row = rows[r];
        const std::string where = path + " line " + std::to_string(row.line);
        const bool emptyTail =
            std::all_of(row.fields.begin() +
                            static_cast<std::ptrdiff_t>(std::min(header.size(), row.fields.size())),
                        row.fields.end(), [](const std::string& f) { return f.empty(); });
        if (row.fields.size() < header.size() || !emptyTail)
            throw CliFailure(kExitUsage, where + ": " + std::to_string(row.fields.size()) +
                                             " fields where the header has " +
                                             std::to_string(header.size()));
        FieldValues values;
        std::string port;
        std::string site;
        for (std::size_t c = 0; c < header.size(); ++c) {
            if (header[c] == kSiteColumn) {
                site = row.fields[c];
                continue;
            }
            if (c != portColumn) {
                values.emplace_back(header[c], row.fields[c]);
                continue;
            }
            try {
                port = ResolvePortArgument(row.fields[c]);
            } catch (const CliFailure& f) {
                throw CliFailure(f.Status(), where + ": " + f.what());
            }
        }
        if (!each.emplace(port, EachLine{where, values, site}).second)
            throw CliFailure(kExitUsage, where + ": " + port + " has a line already");
    }
    return each;
}

std::vector<std::string> Assignments(const FieldValues& v) {
    std::vector<std::string> out;
    for (const auto& [field, value] : v) out.push_back(field + "=" + value);
    return out;
}

/// A module's outcome without its port, which its line already names: "COM90 (/dev/pts/3): the
/// device went away ..." loses its label, and "cannot open COM34 (/dev/ttyUSB1): Permission
/// denied" becomes "cannot open: Permission denied" with the device moved into the label.
void DropPortLabel(Result& r) {
    const std::string open = "cannot open " + r.port;
    if (r.text.rfind(open, 0) == 0) {
        const std::string rest = r.text.substr(std::string("cannot open ").size());
        const auto colon = rest.find(": ");
        if (colon != std::string::npos) {
            r.label = rest.substr(0, colon);
            r.text = "cannot open: " + rest.substr(colon + 2);
        }
        return;
    }
    if (r.text.rfind(r.label + ": ", 0) == 0) r.text = r.text.substr(r.label.size() + 2);
}

/// Writes and verifies one module; runs on its own thread.
Result ProvisionOne(const Module& m, const std::atomic<bool>& stop, int signal) {
    const auto start = std::chrono::steady_clock::now();
    Result result{m.port, m.port, {}, kExitOk, {}, -1, 0, {}};
    try {
        CommandSession session(m.port, &stop);
        result.label = session.PortLabel();
        result.device = session.DevicePath();
        std::array<std::uint8_t, kParameterImageSize> work{};
        std::copy(m.image.begin(), m.image.end(), work.begin());
        TransferEngine engine(session.Channel(), work, session.Wait());
        const TransferResult written = engine.Write();
        if (!written.Succeeded()) {
            const Outcome o = StoppedTransfer(session, stop ? signal : 0, written, "written");
            result.status = o.status;
            result.text = o.text;
            result.failedBlock = written.failedBlock;
        } else {
            const ModuleComparison c = CompareWithModule(engine, m.image);
            if (!c.differingBlocks.empty()) {
                result.status = kExitDiffers;
                result.text = "acknowledged every block but differs " + DifferenceText(c);
                result.failedBlock = c.differingBlocks.front();
            } else if (!c.read.Succeeded()) {
                const Outcome o = StoppedTransfer(session, stop ? signal : 0, c.read, "read back");
                result.status = o.status;
                result.text = "verify: " + o.text;
                result.failedBlock = c.read.failedBlock;
            } else {
                result.text = "written and verified";
            }
        }
    } catch (const CliFailure& f) {
        result.status = f.Status();
        result.text = f.what();
    } catch (const std::exception& e) {
        // A send error (EComPort) or anything else ends this module only; a send that Ctrl+C
        // cut short is an interruption, not a failed port.
        result.status = stop ? 128 + signal : kExitPort;
        result.text =
            stop ? std::string("interrupted") : std::string("the port failed: ") + e.what();
    }
    DropPortLabel(result);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.finished = LocalTimestamp();
    return result;
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", s);
    return text;
}

std::string ResultLine(const Result& r) {
    return r.label + ": " + (r.status == kExitOk ? "ok, " : "FAILED: ") + r.text + " (" +
           Seconds(r.seconds) + " s)";
}

std::vector<std::string> FieldColumns(const std::vector<Module>& modules) {
    std::vector<std::string> columns;
    for (const auto& m : modules)
        for (const auto& [field, value] : m.values)
            if (std::find(columns.begin(), columns.end(), field) == columns.end())
                columns.push_back(field);
    return columns;
}

std::string ValueOf(const Module& m, const std::string& field) {
    std::string value;
    for (const auto& [f, v] : m.values)
        if (f == field) value = v;  // a CSV value follows --set, and wins
    return value;
}

std::string ReportCsv(const std::vector<Module>& modules, const std::vector<Result>& results) {
    const auto columns = FieldColumns(modules);
    // The site column only where a site was named: earlier reports keep their columns.
    const bool sites = std::any_of(modules.begin(), modules.end(), [](const Module& m) { return !m.site.empty(); });
    std::vector<std::string> header{"port", "device"};
    if (sites) header.push_back("site");
    header.insert(header.end(), columns.begin(), columns.end());
    header.insert(header.end(), {"outcome", "status", "failed_block", "seconds", "finished"});
    std::string csv = CsvLine(header);
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const Result& r = results[i];
        std::vector<std::string> line{r.port, r.device};
        if (sites) line.push_back(modules[i].site);
        for (const auto& c : columns) line.push_back(ValueOf(modules[i], c));
        line.insert(line.end(), {r.status == kExitOk ? "ok" : r.text, std::to_string(r.status),
                                 r.failedBlock >= 0 ? std::to_string(r.failedBlock) : "",
                                 Seconds(r.seconds), r.finished});
        csv += CsvLine(line);
    }
    return csv;
}

std::string ReportJson(const std::vector<Module>& modules, const std::vector<Result>& results,
                       const std::string& templatePath, int complete) {
    std::string json = "{\n  \"template\": " + JsonQuote(templatePath) + ",\n  \"modules\": [";
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const Result& r = results[i];
        json += i ? ",\n" : "\n";
        json += "    {\"port\": " + JsonQuote(r.port) + ", \"device\": " + JsonQuote(r.device) +
                (modules[i].site.empty() ? std::string() : ", \"site\": " + JsonQuote(modules[i].site)) +
                ", \"set\": {";
        for (std::size_t k = 0; k < modules[i].values.size(); ++k)
            json += (k ? ", " : "") + JsonQuote(modules[i].values[k].first) + ": " +
                    JsonQuote(modules[i].values[k].second);
        json +=
            "}, \"ok\": " + std::string(r.status == kExitOk ? "true" : "false") +
            ", \"status\": " + std::to_string(r.status) + ", \"outcome\": " + JsonQuote(r.text) +
            ", \"failedBlock\": " + (r.failedBlock >= 0 ? std::to_string(r.failedBlock) : "null") +
            ", \"seconds\": " + Seconds(r.seconds) + ", \"finished\": " + JsonQuote(r.finished) +
            "}";
    }
    json += modules.empty() ? "]" : "\n  ]";
    return json + ",\n  \"complete\": " + std::to_string(complete) +
           ",\n  \"total\": " + std::to_string(modules.size()) + "\n}\n";
}

std::vector<Module> PlanModules(const ParsedArgs& args) {
    const std::string templatePath = args.positionals.at(0);
    ParameterImage base = LoadImageFile(templatePath, true);
    const auto sets = args.Values("--set");
    const auto setNames = ApplyAssignments(base, sets, "provision --set", true);
    FieldValues setValues;
    for (std::size_t i = 0; i < sets.size(); ++i)
        setValues.emplace_back(setNames[i], sets[i].substr(sets[i].find('=') + 1));

    std::vector<std::string> ports;
    for (const auto& p : args.Values("--port")) {
        const std::string com = ResolvePortArgument(p);
        if (std::find(ports.begin(), ports.end(), com) != ports.end())
            throw CliFailure(kExitUsage, "provision: " + com + " is listed twice");
        ports.push_back(com);
    }
    std::map<std::string, EachLine> each;
    const auto eachPath = args.Value("--each");
    if (eachPath) {
        each = ReadEach(*eachPath);
        if (ports.empty()) {
            for (const auto& [port, line] : each) ports.push_back(port);
        } else {
            // -p picks lines of the list, as when one module of a batch is done again.
            for (const auto& port : ports)
                if (!each.count(port))
                    throw CliFailure(kExitUsage, *eachPath + ": no line for " + port);
        }
    }
    if (ports.empty())
        throw CliFailure(kExitUsage,
                         "provision: no module: give -p PORT (one per module) or --each");

    const auto site = args.Value("--site");
    if (site && ports.size() != 1)
        throw CliFailure(kExitUsage, "provision: --site names the site of one module; give a \"site\" "
                                     "column in --each for several");

    // Every value is checked before any port is opened: a batch starts whole or not at all.
    std::vector<Module> modules;
    for (const auto& port : ports) {
        Module m{port, base, setValues, site.value_or("")};
        if (eachPath) {
            const EachLine& line = each.at(port);
            if (!line.site.empty()) m.site = line.site;
            ApplyAssignments(m.image, Assignments(line.values), line.where, true);
            for (const auto& [field, value] : line.values)
                m.values.emplace_back(FindField(field)->name, value);
        }
        modules.push_back(std::move(m));
    }
    return modules;
}

/// Records each module that names a site as soon as it finishes, while the others are still on
/// the line, so that recording adds nothing to the batch but the last module's record. The
/// register is opened at the first record, never before the modules start.
class ProvisionRecorder {
public:
    ProvisionRecorder(const ParsedArgs& args, Io& io) : args_(args), io_(io) {}

    void Record(const Module& m, const Result& r) {
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
    const std::vector<Module> modules = PlanModules(args);
    const auto reportPath = args.Value("--report");
    if (reportPath) CheckWritable(*reportPath);
    const bool json = args.Flag("--json");

    std::atomic<bool> stop{false};
    int signal = 0;
    std::vector<Result> results(modules.size());
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
            Result r = ProvisionOne(modules[i], stop, SIGINT);
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
        const Result& r = results[i];
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
