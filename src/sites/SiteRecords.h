#pragma once
// The records of the site register: a site (an installed module and where it is) and one entry of
// its history (a transfer, a manual save or an erasure). Texts are QStrings; parameter sets are
// the image's 1088 bytes. No widgets, no database here.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>
#include <optional>
#include <vector>

namespace orbiqa::sites {

/// Bounds of a site's texts, in characters. A field over its bound is refused with a clear error
/// (ValidateSite), never cut silently: nobody types 100 MB into an address.
inline constexpr int kMaxNameLength = 200;
inline constexpr int kMaxFieldLength = 2000;   ///< customer, address, contact, port
inline constexpr int kMaxNotesLength = 64 * 1024;
/// The bytes of a stored parameter set (the program's whole image).
inline constexpr int kParameterSetBytes = 1088;

/// The module's identity as it was last read: the version box's line and the data version.
struct ModuleIdentity {
    QString versionText;          ///< "F1  F2  F4  DataVersion:V"; empty when never read
    std::optional<int> dataVersion;

    bool operator==(const ModuleIdentity&) const = default;
};

struct Site {
    QUuid id;                     ///< made when the site is added; null for a site not yet stored
    QString name;                 ///< unique (letter case counts), 1..kMaxNameLength, one line
    QString customer;
    QString address;
    QString contact;              ///< names and phone numbers: personal data
    QString notes;
    ModuleIdentity module;
    std::optional<int> panelId;   ///< PanelID of the current set
    std::optional<int> serverId;  ///< ServerID of the current set
    QString lastPort;             ///< "COM3", "socket://host:port": where it was last reached
    QByteArray parameters;        ///< the current set: empty or kParameterSetBytes bytes
    QDateTime created;            ///< UTC
    QDateTime updated;            ///< UTC

    bool operator==(const Site&) const = default;
};

enum class HistoryKind { Read, Write, Compare, Provision, Save, Erase };
enum class Outcome { Ok, Failed, Interrupted };

/// "read", "write", ... as stored and printed; the kind of a stored word, or nothing.
QString KindName(HistoryKind kind);
std::optional<HistoryKind> KindFromName(const QString& name);
/// "ok", "failed", "interrupted".
QString OutcomeName(Outcome outcome);
std::optional<Outcome> OutcomeFromName(const QString& name);

/// One changed setting by the field catalog's name. A secret field (the GPRS password) is kept
/// only as changed: both values empty and hidden set.
struct SettingChange {
    QString field;
    QString oldValue;
    QString newValue;
    bool hidden = false;

    bool operator==(const SettingChange&) const = default;
};

struct HistoryEntry {
    QUuid eventId;                ///< made once, where the event happened; the outbox's key
    QString site;                 ///< the site's name when the event happened
    HistoryKind kind = HistoryKind::Read;
    QDateTime time;               ///< UTC
    QString operatorName;         ///< the user who ran the program
    QString computer;
    QString programVersion;
    QString keyFingerprint;       ///< the module key's fingerprint, never the key
    QString port;
    Outcome outcome = Outcome::Ok;
    QString outcomeText;          ///< why it failed or was interrupted; empty when ok
    QByteArray before;            ///< the set before: empty when unknown
    QByteArray after;             ///< the set after: empty when none (a failed read)
    ModuleIdentity module;        ///< the identity seen during the event, if read
    std::vector<SettingChange> changes;
    std::optional<int> signal;    ///< the signal strength seen, if any

    bool operator==(const HistoryEntry&) const = default;
};

/// A new entry of the kind: a fresh event id, the time now (UTC), this user, computer, program
/// version and key fingerprint filled in.
HistoryEntry NewEntry(const QString& site, HistoryKind kind, const QString& port);

/// Why the site cannot be stored (an empty or multi-line name, a field over its bound, a set of
/// the wrong size), in Hungarian for the person; nothing when it can.
std::optional<QString> ValidateSite(const Site& site);

/// The PanelID and ServerID of a stored set (nothing for an empty set).
std::optional<int> PanelIdOf(const QByteArray& set);
std::optional<int> ServerIdOf(const QByteArray& set);

}  // namespace orbiqa::sites
