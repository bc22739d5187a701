#pragma once
// The site register from the command line: opening it with --db, and recording a transfer to the
// site --site names. A record never changes a transfer's exit status; one that is pending or
// failed is said on standard error.
#include <memory>
#include <optional>
#include <string>

#include "Commands.h"
#include "params/ParameterImage.h"
#include "sites/SiteRegister.h"

namespace orbiqa::cli {

/// "--db URL" and "--site NAME" as the commands that take them define them.
OptionDef DbOption();
OptionDef SiteOption();

/// The register for this run: the local file in the settings folder (as the program chooses it)
/// and the shared server --db, $ORBIQA_DB or the settings file names. CliFailure(kExitUsage) for
/// a setting that cannot be used; a server or file that cannot be reached is said on io.err.
/// With onlyExisting, a register that would have to be made first (no shared database, no local
/// file yet) is not made: null comes back, and nothing is written (a listing, a completion).
std::unique_ptr<sites::SiteRegister> OpenRegister(const ParsedArgs& args, Io& io, bool onlyExisting = false);

/// Exit status for a store's failure: 2 for what the user gave (a name in use, an unknown site,
/// a refused statement), 3 for a database that cannot be opened or reached.
int StoreExitStatus(const sites::StoreError& e);
/// CliFailure with the store's message.
[[noreturn]] void ThrowStoreFailure(const std::string& command, const sites::StoreError& e);

/// One transfer's record to a site, made by the command wrapper of WithSiteRecording.
class SiteRecording {
public:
    SiteRecording(const ParsedArgs& args, sites::HistoryKind kind, Io& io);
    ~SiteRecording();

    /// The site's current set (empty when unknown).
    const QByteArray& SiteSet() const { return siteSet_; }
    /// The port the transfer opened (called once it is open).
    void SetPort(const std::string& port);
    /// The sets before and after the transfer.
    void SetSets(const QByteArray& before, const QByteArray& after);
    /// The module's memory as read: bytes 0..959 over the site's set (or zeros beyond).
    QByteArray ModuleSet(const ParameterImage& read) const;
    /// Ends the record: the outcome by the exit status (0 ok, 128+ interrupted, else failed;
    /// okStatus counts as ok too, as "differs" for compare), with the message.
    void Finish(int status, const std::string& message, int okStatus = 0);

private:
    Io& io_;
    std::unique_ptr<sites::SiteRegister> register_;
    sites::HistoryEntry entry_;
    QByteArray siteSet_;
    bool finished_ = false;
    bool reachedPort_ = false;  ///< the transfer opened its port
};

/// The recording of the running command, or null (read, write and compare fill it in).
SiteRecording* ActiveRecording();

/// The command with --site and --db added: with --site its run is recorded to that site.
CommandDef WithSiteRecording(CommandDef command, sites::HistoryKind kind, int okStatus = 0);

/// Records one finished event to the register and says on io.err when it is pending or failed.
void ReportRecord(const sites::RecordResult& result, const std::string& site, Io& io);

/// An image's bytes as the register keeps them.
QByteArray SetBytes(const ParameterImage& image);

}  // namespace orbiqa::cli
