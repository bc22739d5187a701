#include "SiteRecording.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <ostream>

#include "base/SettingsLocation.h"
#include "transfer/TransferEngine.h"

namespace orbiqa::cli {

namespace {
SiteRecording* g_active = nullptr;

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string S(const QString& text) { return text.toStdString(); }
}  // namespace

OptionDef DbOption() {
    return {"--db", "URL", "the shared site database (postgresql://HOST/DB); default $ORBIQA_DB"};
}

OptionDef SiteOption() {
    return {"--site", "NAME", "record the transfer to this site's history"};
}

QByteArray SetBytes(const ParameterImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<int>(image.size()));
}

std::unique_ptr<sites::SiteRegister> OpenRegister(const ParsedArgs& args, Io& io, bool onlyExisting) {
    if (SettingsFolder().empty())
        UseSettingsFolder(ChooseSettingsFolder(QCoreApplication::applicationDirPath().toStdString(),
                                               QDir::currentPath().toStdString()));
    const auto url = args.Value("--db");
    auto options = sites::ConfiguredOptions(url ? std::optional<QString>(Q(*url)) : std::nullopt);
    if (const auto* why = std::get_if<QString>(&options)) throw CliFailure(kExitUsage, "database: " + S(*why));
    const auto& chosen = std::get<sites::RegisterOptions>(options);
    if (onlyExisting && !chosen.shared && !QFileInfo::exists(chosen.localPath)) return nullptr;
    auto reg = std::make_unique<sites::SiteRegister>(chosen);
    if (!reg->LocalProblem().isEmpty())
        io.err << "orbiqa-cli: local site database: " << S(reg->LocalProblem()) << "\n";
    if (!reg->SharedProblem().isEmpty())
        io.err << "orbiqa-cli: shared site database unreachable, working from the local copy: "
               << S(reg->SharedProblem()) << "\n";
    return reg;
}

int StoreExitStatus(const sites::StoreError& e) {
    using K = sites::StoreError::Kind;
    switch (e.kind()) {
        case K::Invalid:
        case K::Refused:
            return kExitUsage;
        default:
            return kExitPort;
    }
}

void ThrowStoreFailure(const std::string& command, const sites::StoreError& e) {
    throw CliFailure(StoreExitStatus(e), command + ": " + S(e.text()));
}

void ReportRecord(const sites::RecordResult& result, const std::string& site, Io& io) {
    using State = sites::RecordResult::State;
    if (result.state == State::Pending)
        io.err << "orbiqa-cli: record for site '" << site << "' is pending (kept locally): " << S(result.why) << "\n";
    else if (result.state == State::Failed)
        io.err << "orbiqa-cli: record for site '" << site << "' failed: " << S(result.why) << "\n";
}

SiteRecording::SiteRecording(const ParsedArgs& args, sites::HistoryKind kind, Io& io) : io_(io) {
    const QString site = Q(*args.Value("--site"));
    sites::Site probe;
    probe.name = site;
    if (const auto why = sites::ValidateSite(probe)) throw CliFailure(kExitUsage, "--site: " + S(*why));
    register_ = OpenRegister(args, io);
    // A site the register knows must exist; when no store can be asked, the record goes ahead and
    // makes the site where it lands.
    try {
        const auto found = register_->ReadStore().FindSite(site);
        if (!found)
            throw CliFailure(kExitUsage, "--site: no site named '" + S(site) +
                                             "' (orbiqa-cli site add NAME makes one; site list shows them)");
        siteSet_ = found->parameters;
    } catch (const sites::StoreError&) {
    }
    entry_ = sites::NewEntry(site, kind, {});
    if (const auto port = args.Value("--port")) entry_.port = Q(*port);
    g_active = this;
}

SiteRecording::~SiteRecording() {
    if (g_active == this) g_active = nullptr;
}

void SiteRecording::SetPort(const std::string& port) {
    entry_.port = Q(port);
    reachedPort_ = true;
}

void SiteRecording::SetSets(const QByteArray& before, const QByteArray& after) {
    entry_.before = before;
    entry_.after = after;
}

QByteArray SiteRecording::ModuleSet(const ParameterImage& read) const {
    QByteArray set = SetBytes(read);
    if (siteSet_.size() == set.size())
        set.replace(static_cast<int>(kModuleMemorySize), set.size() - static_cast<int>(kModuleMemorySize),
                    siteSet_.mid(static_cast<int>(kModuleMemorySize)));
    return set;
}

void SiteRecording::Finish(int status, const std::string& message, int okStatus) {
    if (finished_) return;
    finished_ = true;
    // A command line the command refused before it reached the port is no event of the site.
    if (!reachedPort_ && status == kExitUsage) return;
    using sites::Outcome;
    entry_.outcome = status == kExitOk || (okStatus != 0 && status == okStatus) ? Outcome::Ok
                     : status >= 128                                          ? Outcome::Interrupted
                                                                              : Outcome::Failed;
    entry_.outcomeText = Q(message);
    if (entry_.outcome != Outcome::Ok && entry_.kind != sites::HistoryKind::Compare) entry_.changes.clear();
    io_.out.flush();
    ReportRecord(register_->Record(entry_), S(entry_.site), io_);
}

SiteRecording* ActiveRecording() { return g_active; }

CommandDef WithSiteRecording(CommandDef command, sites::HistoryKind kind, int okStatus) {
    command.options.push_back(SiteOption());
    command.options.push_back(DbOption());
    command.details += "\n--site NAME records the transfer (also a failed or interrupted one) to the site's history\n"
                       "in the site register (see \"site --help\"); the transfer's exit status stays its own, and\n"
                       "a record that could not reach the shared database is kept and said on standard error.\n";
    command.run = [inner = command.run, kind, okStatus](const ParsedArgs& args, Io& io) {
        if (!args.Value("--site")) return inner(args, io);
        SiteRecording recording(args, kind, io);
        try {
            const int status = inner(args, io);
            recording.Finish(status, {}, okStatus);
            return status;
        } catch (const CliFailure& f) {
            recording.Finish(f.Status(), f.what(), okStatus);
            throw;
        } catch (const std::exception& e) {
            recording.Finish(kExitPort, e.what(), okStatus);
            throw;
        }
    };
    return command;
}

}  // namespace orbiqa::cli
