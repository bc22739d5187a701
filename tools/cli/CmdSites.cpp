// site and db: the site register from the command line. The register's rules live in
// src/sites; these commands choose and print.
#include <QDateTime>
#include <ostream>

#include "Commands.h"
#include "FileAccess.h"
#include "JsonWriter.h"
#include "CmdSiteReport.h"
#include "SiteRecording.h"
#include "params/FieldCatalog.h"
#include "sites/SiteChanges.h"

namespace orbiqa::cli {

namespace {

using sites::HistoryEntry;
using sites::Site;
using sites::StoreError;

constexpr int kDefaultListLimit = 200;
constexpr int kDefaultHistoryLimit = 100;

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string S(const QString& text) { return text.toStdString(); }

/// Local time with its offset, as people read it: "2026-12-07T14:05:09+01:00".
std::string LocalTime(const QDateTime& utc) {
    const QDateTime local = utc.toLocalTime();
    return S(utc.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate));
}

std::string UtcTime(const QDateTime& utc) { return S(utc.toUTC().toString(Qt::ISODateWithMs)); }

const char* const kSubcommands = "list, show, add, edit, history, report, export, import, erase";

void NeedName(const ParsedArgs& args, const std::string& sub) {
    if (args.positionals.size() < 2)
        throw CliFailure(kExitUsage, "site " + sub + ": missing site name (usage: orbiqa-cli site " + sub + " NAME)");
}

void AllowOnly(const ParsedArgs& args, const std::string& sub, std::initializer_list<const char*> allowed,
               std::size_t maxPositionals) {
    for (const auto& [name, values] : args.values) {
        if (name == "--db") continue;
        if (std::find_if(allowed.begin(), allowed.end(), [&](const char* a) { return name == a; }) == allowed.end())
            throw CliFailure(kExitUsage, "site " + sub + ": " + name + " does not belong to this command");
    }
    for (const auto& flag : args.flags)
        if (std::find_if(allowed.begin(), allowed.end(), [&](const char* a) { return flag == a; }) == allowed.end())
            throw CliFailure(kExitUsage, "site " + sub + ": " + flag + " does not belong to this command");
    if (args.positionals.size() > maxPositionals)
        throw CliFailure(kExitUsage, "site " + sub + ": unexpected argument '" + args.positionals[maxPositionals] + "'");
}

int Limit(const ParsedArgs& args, int fallback) {
    const auto v = args.Value("--limit");
    return v ? ParseWholeNumber("--limit", *v, 1, 100000) : fallback;
}

std::string SiteJson(const Site& s, bool full) {
    JsonObject j;
    j.Text("name", S(s.name))
        .Text("customer", S(s.customer))
        .Text("address", S(s.address))
        .NumberOrNull("panelId", s.panelId)
        .NumberOrNull("serverId", s.serverId)
        .Text("lastPort", S(s.lastPort));
    if (full)
        j.Text("contact", S(s.contact))
            .Text("notes", S(s.notes))
            .Text("module", S(s.module.versionText))
            .NumberOrNull("dataVersion", s.module.dataVersion)
            .Bool("hasSet", !s.parameters.isEmpty())
            .Text("created", UtcTime(s.created))
            .Text("updated", UtcTime(s.updated));
    return j.Line();
}

std::string ChangeText(const sites::SettingChange& c) {
    if (c.hidden) return S(c.field) + ": changed";
    return S(c.field) + ": " + S(c.oldValue) + " -> " + S(c.newValue);
}

std::string EntryJson(const HistoryEntry& e) {
    std::vector<std::string> changes;
    for (const auto& c : e.changes) {
        JsonObject change;
        change.Text("field", S(c.field));
        if (c.hidden)
            change.Bool("changed", true);
        else
            change.Text("old", S(c.oldValue)).Text("new", S(c.newValue));
        changes.push_back(change.Line());
    }
    return JsonObject()
        .Text("event", S(e.eventId.toString(QUuid::WithoutBraces)))
        .Text("site", S(e.site))
        .Text("kind", S(sites::KindName(e.kind)))
        .Text("time", UtcTime(e.time))
        .Text("operator", S(e.operatorName))
        .Text("computer", S(e.computer))
        .Text("programVersion", S(e.programVersion))
        .Text("keyFingerprint", S(e.keyFingerprint))
        .Text("port", S(e.port))
        .Text("outcome", S(sites::OutcomeName(e.outcome)))
        .Text("outcomeText", S(e.outcomeText))
        .Text("module", S(e.module.versionText))
        .NumberOrNull("signal", e.signal)
        .Raw("changes", JsonArray(changes))
        .Line();
}

Site FindOrFail(sites::SiteStore& store, const std::string& name, const std::string& sub) {
    const auto site = store.FindSite(Q(name));
    if (!site) throw CliFailure(kExitUsage, "site " + sub + ": no site named '" + name + "'");
    return *site;
}

void ApplyTexts(Site& s, const ParsedArgs& args) {
    if (auto v = args.Value("--name")) s.name = Q(*v);
    if (auto v = args.Value("--customer")) s.customer = Q(*v);
    if (auto v = args.Value("--address")) s.address = Q(*v);
    if (auto v = args.Value("--contact")) s.contact = Q(*v);
    if (auto v = args.Value("--notes")) s.notes = Q(*v);
}

int List(sites::SiteRegister& reg, const ParsedArgs& args, Io& io) {
    AllowOnly(args, "list", {"--json", "--limit"}, 2);
    const QString text = args.positionals.size() > 1 ? Q(args.positionals[1]) : QString();
    const auto found = reg.ReadStore().ListSites({text, Limit(args, kDefaultListLimit)});
    if (args.Flag("--json")) {
        std::vector<std::string> items;
        for (const Site& s : found) items.push_back(SiteJson(s, false));
        io.out << JsonArray(items, ",\n ") << "\n";
        return kExitOk;
    }
    for (const Site& s : found) {
        io.out << S(s.name);
        if (!s.customer.isEmpty()) io.out << "\t" << S(s.customer);
        if (!s.address.isEmpty()) io.out << "\t" << S(s.address);
        if (s.panelId) io.out << "\tPanelID " << *s.panelId;
        io.out << "\n";
    }
    return kExitOk;
}

int Show(sites::SiteRegister& reg, const ParsedArgs& args, Io& io) {
    AllowOnly(args, "show", {"--json"}, 2);
    NeedName(args, "show");
    const Site s = FindOrFail(reg.ReadStore(), args.positionals[1], "show");
    if (args.Flag("--json")) {
        io.out << SiteJson(s, true) << "\n";
        return kExitOk;
    }
    const auto line = [&](const char* label, const std::string& value) {
        if (!value.empty()) io.out << label << value << "\n";
    };
    line("name:        ", S(s.name));
    line("customer:    ", S(s.customer));
    line("address:     ", S(s.address));
    line("contact:     ", S(s.contact));
    line("notes:       ", S(s.notes));
    line("module:      ", S(s.module.versionText));
    line("PanelID:     ", s.panelId ? std::to_string(*s.panelId) : "");
    line("ServerID:    ", s.serverId ? std::to_string(*s.serverId) : "");
    line("last port:   ", S(s.lastPort));
    line("set:         ", s.parameters.isEmpty() ? "none stored" : "stored (site export NAME FILE.VR3 saves it)");
    line("updated:     ", LocalTime(s.updated));
    return kExitOk;
}

int Add(sites::SiteRegister& reg, const ParsedArgs& args, Io& io) {
    AllowOnly(args, "add", {"--customer", "--address", "--contact", "--notes", "--from"}, 2);
    NeedName(args, "add");
    Site s;
    s.name = Q(args.positionals[1]);
    ApplyTexts(s, args);
    if (const auto from = args.Value("--from")) s.parameters = SetBytes(LoadImageFile(*from, true));
    reg.Sites().AddSite(s);
    io.out << "site add: " << S(s.name) << "\n";
    return kExitOk;
}

int Edit(sites::SiteRegister& reg, const ParsedArgs& args, Io& io) {
    AllowOnly(args, "edit", {"--name", "--customer", "--address", "--contact", "--notes"}, 2);
    NeedName(args, "edit");
    sites::SiteStore& store = reg.Sites();
    Site s = FindOrFail(store, args.positionals[1], "edit");
    ApplyTexts(s, args);
    store.EditSite(Q(args.positionals[1]), s);
    io.out << "site edit: " << S(s.name) << "\n";
    return kExitOk;
}

int History(sites::SiteRegister& reg, const ParsedArgs& args, Io& io) {
    AllowOnly(args, "history", {"--json", "--limit"}, 2);
    NeedName(args, "history");
    sites::SiteStore& store = reg.ReadStore();
    FindOrFail(store, args.positionals[1], "history");
    const auto entries = store.History(Q(args.positionals[1]), Limit(args, kDefaultHistoryLimit));
    if (args.Flag("--json")) {
        std::vector<std::string> items;
        for (const HistoryEntry& e : entries) items.push_back(EntryJson(e));
        io.out << JsonArray(items, ",\n ") << "\n";
        return kExitOk;
    }
    for (const HistoryEntry& e : entries) {
        io.out << LocalTime(e.time) << "  " << S(sites::KindName(e.kind)) << "  " << S(sites::OutcomeName(e.outcome));
        if (!e.outcomeText.isEmpty()) io.out << " (" << S(e.outcomeText) << ")";
        io.out << "  " << S(e.operatorName) << "@" << S(e.computer);
        if (!e.port.isEmpty()) io.out << "  " << S(e.port);
        if (e.signal) io.out << "  signal " << *e.signal;
        io.out << "\n";
        for (const auto& c : e.changes) io.out << "    " << ChangeText(c) << "\n";
    }
    return kExitOk;
}

int Export(sites::SiteRegister& reg, const ParsedArgs& args, Io& io) {
    AllowOnly(args, "export", {}, 3);
    if (args.positionals.size() < 3)
        throw CliFailure(kExitUsage, "site export: usage: orbiqa-cli site export NAME FILE.VR3");
    const Site s = FindOrFail(reg.ReadStore(), args.positionals[1], "export");
    if (s.parameters.size() != static_cast<int>(ParameterImage::Size))
        throw CliFailure(kExitUsage, "site export: '" + S(s.name) + "' has no stored set");
    ParameterImage image;
    std::copy(s.parameters.begin(), s.parameters.end(), image.begin());
    SaveImageFile(args.positionals[2], image);
    io.out << "site export: " << S(s.name) << " saved to " << args.positionals[2] << "\n";
    return kExitOk;
}

int Import(sites::SiteRegister& reg, const ParsedArgs& args, Io& io) {
    AllowOnly(args, "import", {}, 3);
    if (args.positionals.size() < 3)
        throw CliFailure(kExitUsage, "site import: usage: orbiqa-cli site import NAME FILE.VR3");
    const std::string& name = args.positionals[1];
    const ParameterImage image = LoadImageFile(args.positionals[2], true);
    const Site s = FindOrFail(reg.ReadStore(), name, "import");
    HistoryEntry e = sites::NewEntry(s.name, sites::HistoryKind::Save, {});
    e.before = s.parameters;
    e.after = SetBytes(image);
    const auto result = reg.Record(e);
    ReportRecord(result, name, io);
    if (result.state == sites::RecordResult::State::Failed)
        throw CliFailure(kExitPort, "site import: " + S(result.why));
    io.out << "site import: " << args.positionals[2] << " stored as the set of " << name << "\n";
    return kExitOk;
}

int Erase(sites::SiteRegister& reg, const ParsedArgs& args, Io& io) {
    AllowOnly(args, "erase", {"--yes"}, 2);
    NeedName(args, "erase");
    if (!args.Flag("--yes"))
        throw CliFailure(kExitUsage, "site erase: this removes the site, its personal data and its history for good; "
                                     "add --yes to do it");
    const std::string& name = args.positionals[1];
    sites::SiteStore& store = reg.Sites();
    FindOrFail(store, name, "erase");
    store.EraseSite(Q(name), sites::NewEntry(Q(name), sites::HistoryKind::Erase, {}));
    io.out << "site erase: " << name << " erased; the erasure is recorded\n";
    return kExitOk;
}

int Report(sites::SiteRegister& reg, const ParsedArgs& args, Io& io) {
    AllowOnly(args, "report", {"--output", "--entry"}, 2);
    NeedName(args, "report");
    return RunSiteReport(reg, args.positionals[1], args, io);
}

int RunSite(const ParsedArgs& args, Io& io) {
    const std::string& sub = args.positionals.at(0);
    using Run = int (*)(sites::SiteRegister&, const ParsedArgs&, Io&);
    const std::pair<const char*, Run> table[] = {
        {"list", List},     {"show", Show},     {"add", Add},       {"edit", Edit},
        {"history", History}, {"export", Export}, {"import", Import}, {"erase", Erase},
        {"report", Report},
    };
    const auto it = std::find_if(std::begin(table), std::end(table), [&](const auto& e) { return sub == e.first; });
    if (it == std::end(table))
        throw CliFailure(kExitUsage, "site: unknown subcommand '" + sub + "' (" + kSubcommands + ")");
    // Looking needs no register file: without one there is nothing to see, and none is made.
    const bool looks = sub == "list" || sub == "show" || sub == "history" || sub == "export";
    auto reg = OpenRegister(args, io, looks);
    if (!reg) {
        if (sub != "list") {
            if (args.positionals.size() < 2) NeedName(args, sub);
            throw CliFailure(kExitUsage, "site " + sub + ": no site named '" + args.positionals[1] + "'");
        }
        AllowOnly(args, "list", {"--json", "--limit"}, 2);
        if (args.Flag("--json")) io.out << "[]\n";
        return kExitOk;
    }
    try {
        return it->second(*reg, args, io);
    } catch (const StoreError& e) {
        ThrowStoreFailure("site " + sub, e);
    }
}

int RunDb(const ParsedArgs& args, Io& io) {
    const std::string& sub = args.positionals.at(0);
    if (sub == "sql") {
        io.out << S(sites::PostgresSetupSql());
        return kExitOk;
    }
    if (sub == "init") {
        const auto url = args.Value("--db");
        const QString chosen = sites::ChooseDatabaseUrl(url ? std::optional<QString>(Q(*url)) : std::nullopt,
                                                        qEnvironmentVariable(sites::kDatabaseEnvironment), {});
        if (chosen.isEmpty())
            throw CliFailure(kExitUsage, "db init: name the shared database: --db postgresql://HOST/DB or $ORBIQA_DB");
        const auto parsed = sites::ParseDatabaseUrl(chosen);
        if (const auto* why = std::get_if<QString>(&parsed)) throw CliFailure(kExitUsage, "db init: " + S(*why));
        try {
            sites::InitializePostgres(std::get<sites::PostgresTarget>(parsed));
        } catch (const StoreError& e) {
            ThrowStoreFailure("db init", e);
        }
        io.out << "db init: " << S(sites::DescribeTarget(std::get<sites::PostgresTarget>(parsed)))
               << " holds the site register; roles orbiqa_technician and orbiqa_office are ready\n";
        return kExitOk;
    }
    if (sub == "sync") {
        auto reg = OpenRegister(args, io);
        if (!reg->HasShared()) throw CliFailure(kExitUsage, "db sync: no shared database is configured");
        try {
            const int sent = reg->SendPending();
            io.out << "db sync: " << sent << " records sent, " << reg->PendingCount() << " waiting\n";
        } catch (const StoreError& e) {
            io.out << "db sync: " << reg->PendingCount() << " records waiting\n";
            ThrowStoreFailure("db sync", e);
        }
        return kExitOk;
    }
    throw CliFailure(kExitUsage, "db: unknown subcommand '" + sub + "' (init, sync, sql)");
}

}  // namespace

CommandDef SiteCommand() {
    return {
        "site",
        "site list|show|add|edit|history|report|export|import|erase [NAME] ...",
        "the site register: sites, their current sets and their history",
        "  site list [TEXT] [--json]       sites whose name, customer or address holds TEXT, or\n"
        "                                  whose PanelID is TEXT\n"
        "  site show NAME [--json]         the site's record\n"
        "  site add NAME [--customer C] [--address A] [--contact P] [--notes N] [--from FILE.VR3]\n"
        "  site edit NAME [--name NEW] [--customer C] [--address A] [--contact P] [--notes N]\n"
        "  site history NAME [--limit N] [--json]\n"
        "                                  newest first, local time, with the changed settings\n"
        "                                  (the GPRS password only as \"changed\")\n"
        "  site report NAME -o FILE.pdf [--entry ID]\n"
        "                                  the service report (PDF) of the newest visit, or of\n"
        "                                  the entry's: one technician's entries of one day\n"
        "  site export NAME FILE.VR3       the site's current set as a parameter file\n"
        "  site import NAME FILE.VR3       a parameter file recorded as the site's set (a save)\n"
        "  site erase NAME --yes           the site, its personal data and history erased; the\n"
        "                                  erasure itself is recorded (the office's right)\n"
        "The register is the SQLite file OrbiqaSites.sqlite in the settings folder; --db URL,\n"
        "$ORBIQA_DB or SitesDatabase= in OrbiqaSites.ini name a shared PostgreSQL database\n"
        "(postgresql://[USER@]HOST[:PORT]/DB[?sslmode=require]; the password goes in ~/.pgpass).\n"
        "When it cannot be reached, lists come from the local copy and edits wait.\n"
        "Exit status 2 for a bad name or value, an unknown site or a refused right; 3 when the\n"
        "database cannot be opened or reached.\n",
        {JsonOption(),
         {"--limit", "N", "at most N sites or entries"},
         {"--name", "NEW", "the site's new name"},
         {"--customer", "TEXT", "the customer"},
         {"--address", "TEXT", "the address"},
         {"--contact", "TEXT", "contact names and phone numbers"},
         {"--notes", "TEXT", "notes"},
         {"--from", "FILE.VR3", "the site's first set"},
         {"--yes", "", "confirm an erasure"},
         SiteReportOptions()[0],
         SiteReportOptions()[1],
         DbOption()},
        1,
        3,
        RunSite};
}

CommandDef DbCommand() {
    return {"db",
            "db init|sync|sql [--db URL]",
            "the shared site database: create it, send waiting records, print its SQL",
            "  db init    run by the database's owner: creates the register's tables, the append-only\n"
            "             history, the erasure function and the roles orbiqa_technician and\n"
            "             orbiqa_office (safe to run again)\n"
            "  db sync    sends the records made while the shared database was out of reach\n"
            "  db sql     prints the SQL of db init, for a database administrator\n",
            {DbOption()},
            1,
            1,
            RunDb};
}

}  // namespace orbiqa::cli
