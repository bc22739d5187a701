#include "sites/SqlSiteStore.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>
#include <atomic>

namespace orbiqa::sites {

namespace {

constexpr int kSqliteBusyMilliseconds = 10000;
constexpr int kMaxListLimit = 10000;

const QString kSiteColumns = QStringLiteral(
    "id, name, customer, address, contact, notes, module_version, data_version, panel_id, "
    "server_id, last_port, parameters, created, updated");
const QString kHistoryColumns = QStringLiteral(
    "event_id, site_name, kind, time, operator, computer, program_version, key_fingerprint, port, "
    "outcome, outcome_text, before, after, changes, module_version, data_version, signal");

// The columns as a SELECT reads them. Times leave PostgreSQL as UTC text: through ODBC a
// timestamptz arrives as a bare date and time in the session's time zone, which the program would
// take for its own local time (hours off whenever the server's zone is not the computer's).
QString Selected(const QString& columns, Dialect dialect) {
    if (dialect != Dialect::Postgres) return columns;
    QStringList out;
    for (const QString& column : columns.split(QLatin1Char(','))) {
        const QString c = column.trimmed();
        out << (c == QLatin1String("time") || c == QLatin1String("created") || c == QLatin1String("updated")
                    ? QStringLiteral("to_char(%1 AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')").arg(c)
                    : c);
    }
    return out.join(QLatin1String(", "));
}

QString NewConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("orbiqa-sites-%1").arg(++counter);
}

QString TimeText(const QDateTime& t) {
    return t.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime TimeFrom(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QDateTime) return v.toDateTime().toUTC();
    QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
    if (!t.isValid()) t = QDateTime::fromString(v.toString(), Qt::ISODate);
    return t.toUTC();
}

// A null QString binds as SQL NULL; the texts are NOT NULL columns, so an absent text is ''.
QVariant Text(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

QVariant OptionalInt(const std::optional<int>& v) {
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<int>());
}

std::optional<int> IntFrom(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    return v.toInt();
}

QVariant Blob(const QByteArray& bytes) {
    return bytes.isEmpty() ? QVariant(QMetaType::fromType<QByteArray>()) : QVariant(bytes);
}

QString ChangesJson(const std::vector<SettingChange>& changes) {
    QJsonArray array;
    for (const SettingChange& c : changes) {
        QJsonObject o{{"field", c.field}};
        if (c.hidden)
            o.insert(QStringLiteral("hidden"), true);
        else {
            o.insert(QStringLiteral("old"), c.oldValue);
            o.insert(QStringLiteral("new"), c.newValue);
        }
        array.append(o);
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

std::vector<SettingChange> ChangesFrom(const QString& json) {
    std::vector<SettingChange> changes;
    for (const QJsonValue& v : QJsonDocument::fromJson(json.toUtf8()).array()) {
        const QJsonObject o = v.toObject();
        changes.push_back({o.value(QStringLiteral("field")).toString(), o.value(QStringLiteral("old")).toString(),
                           o.value(QStringLiteral("new")).toString(), o.value(QStringLiteral("hidden")).toBool()});
    }
    return changes;
}

// The LIKE pattern for text anywhere, with the pattern's own characters escaped by '!'.
QString ContainsPattern(const QString& text) {
    QString escaped = text.toCaseFolded();
    escaped.replace(QLatin1String("!"), QLatin1String("!!"))
        .replace(QLatin1String("%"), QLatin1String("!%"))
        .replace(QLatin1String("_"), QLatin1String("!_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

// SQLITE_FULL, whichever call met it (a commit reports it as a connection error).
bool DiskFull(const QSqlError& e, Dialect dialect) {
    return dialect == Dialect::Sqlite &&
           (e.nativeErrorCode() == QLatin1String("13") ||
            e.databaseText().contains(QLatin1String("database or disk is full")));
}

StoreError::Kind KindOf(const QSqlError& e, Dialect dialect) {
    const QString code = e.nativeErrorCode();
    if (DiskFull(e, dialect)) return StoreError::Kind::Failed;
    if (e.type() == QSqlError::ConnectionError) return StoreError::Kind::Unreachable;
    if (dialect == Dialect::Sqlite) {
        if (code == QLatin1String("5") || code == QLatin1String("6")) return StoreError::Kind::Busy;
        if (code == QLatin1String("11") || code == QLatin1String("26")) return StoreError::Kind::Corrupt;
        if (code == QLatin1String("19")) {
            return e.databaseText().contains(QLatin1String("append-only")) ? StoreError::Kind::Refused
                                                                            : StoreError::Kind::Invalid;
        }
        return StoreError::Kind::Failed;
    }
    // Qt's ODBC driver gives the driver's own number, not the SQLSTATE: the server's text is
    // all there is (English unless the server is set to another language; then "Failed").
    if (code.size() != 5) {
        const QString text = e.databaseText();
        if (text.contains(QLatin1String("permission denied")) || text.contains(QLatin1String("append-only")))
            return StoreError::Kind::Refused;
        if (text.contains(QLatin1String("violates")) || text.contains(QLatin1String("duplicate key")) ||
            text.contains(QLatin1String("no site named")))
            return StoreError::Kind::Invalid;
        if (text.contains(QLatin1String("connection")) || text.contains(QLatin1String("could not")))
            return StoreError::Kind::Unreachable;
        return StoreError::Kind::Failed;
    }
    if (code == QLatin1String("42501")) return StoreError::Kind::Refused;
    if (code.startsWith(QLatin1String("23")) || code == QLatin1String("P0002")) return StoreError::Kind::Invalid;
    if (code.startsWith(QLatin1String("08")) || code.startsWith(QLatin1String("57P")) || code.isEmpty())
        return StoreError::Kind::Unreachable;
    return StoreError::Kind::Failed;
}

[[noreturn]] void Throw(const QSqlError& e, Dialect dialect, const QString& what) {
    const auto kind = KindOf(e, dialect);
    QString reason = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    if (kind == StoreError::Kind::Refused && reason.contains(QLatin1String("append-only")))
        reason = QStringLiteral("az előzmények nem módosíthatók és nem törölhetők");
    else if (kind == StoreError::Kind::Refused)
        reason = QStringLiteral("nincs hozzá jogosultsága (%1)").arg(reason.trimmed());
    else if (DiskFull(e, dialect))
        reason = QStringLiteral("nincs elég hely a lemezen (%1)").arg(reason.trimmed());
    else if (kind == StoreError::Kind::Unreachable)
        reason = QStringLiteral("az adatbázis nem érhető el (%1)").arg(reason.trimmed());
    throw StoreError(kind, what + QStringLiteral(": ") + reason.trimmed());
}

}  // namespace

QStringList SplitSqlStatements(const QString& script) {
    QStringList statements;
    QString current;
    bool inBody = false;  // between the $$ that quote a function's body
    for (const QString& line : script.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (current.isEmpty() && (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--")))) continue;
        current += line + QLatin1Char('\n');
        if (line.count(QLatin1String("$$")) % 2 == 1) inBody = !inBody;
        if (!inBody && trimmed.endsWith(QLatin1Char(';'))) {
            statements << current.trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty()) statements << current.trimmed();
    return statements;
}

// A transaction that rolls back unless committed; SQLite takes its write lock at once, so that
// two writers queue on the busy time-out instead of failing on a lock upgrade.
class Transaction {
public:
    Transaction(QSqlDatabase db, Dialect dialect, const QString& what) : db_(std::move(db)), dialect_(dialect) {
        QSqlQuery q(db_);
        if (!q.exec(dialect == Dialect::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN")))
            Throw(q.lastError(), dialect, what);
    }
    ~Transaction() {
        if (!done_) QSqlQuery(db_).exec(QStringLiteral("ROLLBACK"));
    }
    void Commit(const QString& what) {
        QSqlQuery q(db_);
        if (!q.exec(QStringLiteral("COMMIT"))) Throw(q.lastError(), dialect_, what);
        done_ = true;
    }

private:
    QSqlDatabase db_;
    Dialect dialect_;
    bool done_ = false;
};

namespace {

Site SiteFrom(const QSqlQuery& q) {
    Site s;
    s.id = QUuid::fromString(q.value(0).toString());
    s.name = q.value(1).toString();
    s.customer = q.value(2).toString();
    s.address = q.value(3).toString();
    s.contact = q.value(4).toString();
    s.notes = q.value(5).toString();
    s.module.versionText = q.value(6).toString();
    s.module.dataVersion = IntFrom(q.value(7));
    s.panelId = IntFrom(q.value(8));
    s.serverId = IntFrom(q.value(9));
    s.lastPort = q.value(10).toString();
    s.parameters = q.value(11).toByteArray();
    s.created = TimeFrom(q.value(12));
    s.updated = TimeFrom(q.value(13));
    return s;
}

HistoryEntry EntryFrom(const QSqlQuery& q) {
    HistoryEntry e;
    e.eventId = QUuid::fromString(q.value(0).toString());
    e.site = q.value(1).toString();
    e.kind = KindFromName(q.value(2).toString()).value_or(HistoryKind::Read);
    e.time = TimeFrom(q.value(3));
    e.operatorName = q.value(4).toString();
    e.computer = q.value(5).toString();
    e.programVersion = q.value(6).toString();
    e.keyFingerprint = q.value(7).toString();
    e.port = q.value(8).toString();
    e.outcome = OutcomeFromName(q.value(9).toString()).value_or(Outcome::Failed);
    e.outcomeText = q.value(10).toString();
    e.before = q.value(11).toByteArray();
    e.after = q.value(12).toByteArray();
    e.changes = ChangesFrom(q.value(13).toString());
    e.module.versionText = q.value(14).toString();
    e.module.dataVersion = IntFrom(q.value(15));
    e.signal = IntFrom(q.value(16));
    return e;
}

bool UpdatesCurrentSet(const HistoryEntry& e) {
    return e.outcome == Outcome::Ok && e.after.size() == kParameterSetBytes &&
           (e.kind == HistoryKind::Read || e.kind == HistoryKind::Write || e.kind == HistoryKind::Provision ||
            e.kind == HistoryKind::Save);
}

void CheckEntry(const HistoryEntry& e) {
    if (e.eventId.isNull()) throw StoreError(StoreError::Kind::Invalid, QStringLiteral("Az eseménynek nincs azonosítója."));
    Site probe;
    probe.name = e.site;
    probe.lastPort = e.port;
    probe.module = e.module;
    if (const auto why = ValidateSite(probe)) throw StoreError(StoreError::Kind::Invalid, *why);
    for (const QString* text : {&e.operatorName, &e.computer, &e.programVersion, &e.keyFingerprint})
        if (text->size() > kMaxFieldLength)
            throw StoreError(StoreError::Kind::Invalid, QStringLiteral("Az esemény egy mezője túl hosszú."));
    if (e.outcomeText.size() > kMaxNotesLength)
        throw StoreError(StoreError::Kind::Invalid, QStringLiteral("Az esemény leírása túl hosszú."));
    for (const QByteArray* set : {&e.before, &e.after})
        if (!set->isEmpty() && set->size() != kParameterSetBytes)
            throw StoreError(StoreError::Kind::Invalid,
                             QStringLiteral("A paraméterkészlet %1 bájt helyett %2 bájt.").arg(kParameterSetBytes).arg(set->size()));
}

}  // namespace

SqlSiteStore::SqlSiteStore(const QString& connectionName, Dialect dialect, QString description)
    : connection_(connectionName), dialect_(dialect), description_(std::move(description)) {}

SqlSiteStore::~SqlSiteStore() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isValid()) db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

QSqlDatabase SqlSiteStore::Database() const { return QSqlDatabase::database(connection_, false); }

int SqlSiteStore::SchemaVersion() {
    QSqlQuery q(Database());
    if (!q.exec(QStringLiteral("SELECT version FROM schema_version")) || !q.next())
        Throw(q.lastError(), dialect_, QStringLiteral("A séma változata nem olvasható"));
    return q.value(0).toInt();
}

std::vector<Site> SqlSiteStore::ListSites(const SiteQuery& query) {
    QSqlQuery q(Database());
    q.setForwardOnly(true);
    QString sql = QStringLiteral("SELECT %1 FROM sites").arg(Selected(kSiteColumns, dialect_));
    const QString text = query.text.trimmed();
    // Digits are also the start of a PanelID, as it is being typed.
    const bool isNumber = !text.isEmpty() && text.size() <= 5 &&
                          std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; });
    if (!text.isEmpty()) {
        sql += QStringLiteral(" WHERE search_text LIKE ? ESCAPE '!'");
        if (isNumber) sql += QStringLiteral(" OR CAST(panel_id AS TEXT) LIKE ?");
    }
    sql += QStringLiteral(" ORDER BY name LIMIT %1").arg(std::clamp(query.limit, 1, kMaxListLimit));
    q.prepare(sql);
    if (!text.isEmpty()) {
        q.addBindValue(ContainsPattern(text));
        if (isNumber) q.addBindValue(text + QLatin1Char('%'));
    }
    if (!q.exec()) Throw(q.lastError(), dialect_, QStringLiteral("A telephelyek nem olvashatók"));
    std::vector<Site> sites;
    while (q.next()) sites.push_back(SiteFrom(q));
    return sites;
}

std::optional<Site> SqlSiteStore::FindSite(const QString& name) {
    QSqlQuery q(Database());
    q.prepare(QStringLiteral("SELECT %1 FROM sites WHERE name = ?").arg(Selected(kSiteColumns, dialect_)));
    q.addBindValue(Text(name));
    if (!q.exec()) Throw(q.lastError(), dialect_, QStringLiteral("A telephely nem olvasható"));
    if (!q.next()) return std::nullopt;
    return SiteFrom(q);
}

Site SqlSiteStore::AddSite(const Site& site) {
    if (const auto why = ValidateSite(site)) throw StoreError(StoreError::Kind::Invalid, *why);
    const QString what = QStringLiteral("A telephely (%1) nem vehető fel").arg(site.name);
    Site s = site;
    if (s.id.isNull()) s.id = QUuid::createUuid();
    s.created = s.updated = QDateTime::currentDateTimeUtc();
    if (!s.parameters.isEmpty()) {
        s.panelId = PanelIdOf(s.parameters);
        s.serverId = ServerIdOf(s.parameters);
    }
    Transaction t(Database(), dialect_, what);
    if (FindSite(s.name))
        throw StoreError(StoreError::Kind::Invalid, QStringLiteral("Már van ilyen nevű telephely: %1").arg(s.name));
    QSqlQuery q(Database());
    const QString cast = dialect_ == Dialect::Postgres ? QStringLiteral("CAST(? AS timestamptz)") : QStringLiteral("?");
    q.prepare(QStringLiteral("INSERT INTO sites (%1, search_text) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, %2, %2, ?)")
                  .arg(kSiteColumns, cast));
    q.addBindValue(s.id.toString(QUuid::WithoutBraces));
    q.addBindValue(Text(s.name));
    q.addBindValue(Text(s.customer));
    q.addBindValue(Text(s.address));
    q.addBindValue(Text(s.contact));
    q.addBindValue(Text(s.notes));
    q.addBindValue(Text(s.module.versionText));
    q.addBindValue(OptionalInt(s.module.dataVersion));
    q.addBindValue(OptionalInt(s.panelId));
    q.addBindValue(OptionalInt(s.serverId));
    q.addBindValue(Text(s.lastPort));
    q.addBindValue(Blob(s.parameters));
    q.addBindValue(TimeText(s.created));
    q.addBindValue(TimeText(s.updated));
    q.addBindValue(SearchTextOf(s.name, s.customer, s.address));
    if (!q.exec()) Throw(q.lastError(), dialect_, what);
    t.Commit(what);
    return s;
}

Site SqlSiteStore::EditSite(const QString& name, const Site& changed) {
    if (const auto why = ValidateSite(changed)) throw StoreError(StoreError::Kind::Invalid, *why);
    const QString what = QStringLiteral("A telephely (%1) nem módosítható").arg(name);
    Transaction t(Database(), dialect_, what);
    auto current = FindSite(name);
    if (!current) throw StoreError(StoreError::Kind::Invalid, QStringLiteral("Nincs ilyen telephely: %1").arg(name));
    if (changed.name != name && FindSite(changed.name))
        throw StoreError(StoreError::Kind::Invalid, QStringLiteral("Már van ilyen nevű telephely: %1").arg(changed.name));
    Site s = *current;
    s.name = changed.name;
    s.customer = changed.customer;
    s.address = changed.address;
    s.contact = changed.contact;
    s.notes = changed.notes;
    s.updated = QDateTime::currentDateTimeUtc();
    QSqlQuery q(Database());
    const QString cast = dialect_ == Dialect::Postgres ? QStringLiteral("CAST(? AS timestamptz)") : QStringLiteral("?");
    q.prepare(QStringLiteral("UPDATE sites SET name = ?, customer = ?, address = ?, contact = ?, notes = ?, "
                             "search_text = ?, updated = %1 WHERE id = ?")
                  .arg(cast));
    q.addBindValue(Text(s.name));
    q.addBindValue(Text(s.customer));
    q.addBindValue(Text(s.address));
    q.addBindValue(Text(s.contact));
    q.addBindValue(Text(s.notes));
    q.addBindValue(SearchTextOf(s.name, s.customer, s.address));
    q.addBindValue(TimeText(s.updated));
    q.addBindValue(s.id.toString(QUuid::WithoutBraces));
    if (!q.exec()) Throw(q.lastError(), dialect_, what);
    t.Commit(what);
    return s;
}

bool SqlSiteStore::AppendEntry(const HistoryEntry& entry) {
    CheckEntry(entry);
    const QString what = QStringLiteral("Az esemény nem rögzíthető (%1)").arg(entry.site);
    const QString id = entry.eventId.toString(QUuid::WithoutBraces);
    const QString cast = dialect_ == Dialect::Postgres ? QStringLiteral("CAST(? AS timestamptz)") : QStringLiteral("?");
    Transaction t(Database(), dialect_, what);

    if (HasEntry(entry.eventId)) return false;

    // An event from before the site's erasure (made offline, sent afterwards) belongs to the
    // erased data: it must not bring the site back.
    if (!FindSite(entry.site)) {
        QSqlQuery erased(Database());
        erased.prepare(QStringLiteral("SELECT 1 FROM history WHERE kind = 'erase' AND site_name = ? AND time >= %1")
                           .arg(cast));
        erased.addBindValue(Text(entry.site));
        erased.addBindValue(TimeText(entry.time));
        if (!erased.exec()) Throw(erased.lastError(), dialect_, what);
        if (erased.next()) return false;
    }

    // The site, made on first record when nobody added it before.
    QSqlQuery ensure(Database());
    ensure.prepare(QStringLiteral("INSERT INTO sites (id, name, created, updated, search_text) VALUES (?, ?, %1, %1, ?) "
                                  "ON CONFLICT (name) DO NOTHING")
                       .arg(cast));
    ensure.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
    ensure.addBindValue(Text(entry.site));
    ensure.addBindValue(TimeText(entry.time));
    ensure.addBindValue(TimeText(entry.time));
    ensure.addBindValue(SearchTextOf(entry.site, {}, {}));
    if (!ensure.exec()) Throw(ensure.lastError(), dialect_, what);
    QSqlQuery find(Database());
    find.prepare(QStringLiteral("SELECT id FROM sites WHERE name = ?"));
    find.addBindValue(Text(entry.site));
    if (!find.exec() || !find.next()) Throw(find.lastError(), dialect_, what);
    const QString siteId = find.value(0).toString();

    QSqlQuery q(Database());
    q.prepare(QStringLiteral("INSERT INTO history (site_id, %1) VALUES (?, ?, ?, ?, %2, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                             "ON CONFLICT (event_id) DO NOTHING")
                  .arg(kHistoryColumns, cast));
    q.addBindValue(siteId);
    q.addBindValue(id);
    q.addBindValue(Text(entry.site));
    q.addBindValue(KindName(entry.kind));
    q.addBindValue(TimeText(entry.time));
    q.addBindValue(Text(entry.operatorName));
    q.addBindValue(Text(entry.computer));
    q.addBindValue(Text(entry.programVersion));
    q.addBindValue(Text(entry.keyFingerprint));
    q.addBindValue(Text(entry.port));
    q.addBindValue(OutcomeName(entry.outcome));
    q.addBindValue(Text(entry.outcomeText));
    q.addBindValue(Blob(entry.before));
    q.addBindValue(Blob(entry.after));
    q.addBindValue(ChangesJson(entry.changes));
    q.addBindValue(Text(entry.module.versionText));
    q.addBindValue(OptionalInt(entry.module.dataVersion));
    q.addBindValue(OptionalInt(entry.signal));
    if (!q.exec()) Throw(q.lastError(), dialect_, what);
    if (q.numRowsAffected() == 0) return false;  // another writer sent the same event meanwhile

    if (entry.outcome == Outcome::Ok) {
        QSqlQuery u(Database());
        QString set = QStringLiteral("last_port = ?, updated = %1").arg(cast);
        const bool newSet = UpdatesCurrentSet(entry);
        const bool identity = !entry.module.versionText.isEmpty();
        if (newSet) set += QStringLiteral(", parameters = ?, panel_id = ?, server_id = ?");
        if (identity) set += QStringLiteral(", module_version = ?, data_version = ?");
        u.prepare(QStringLiteral("UPDATE sites SET %1 WHERE id = ?").arg(set));
        u.addBindValue(Text(entry.port));
        u.addBindValue(TimeText(entry.time));
        if (newSet) {
            u.addBindValue(entry.after);
            u.addBindValue(OptionalInt(PanelIdOf(entry.after)));
            u.addBindValue(OptionalInt(ServerIdOf(entry.after)));
        }
        if (identity) {
            u.addBindValue(Text(entry.module.versionText));
            u.addBindValue(OptionalInt(entry.module.dataVersion));
        }
        u.addBindValue(siteId);
        if (!u.exec()) Throw(u.lastError(), dialect_, what);
    }
    if (queueing_) {
        QSqlQuery o(Database());
        o.prepare(QStringLiteral("INSERT INTO outbox (event_id) VALUES (?) ON CONFLICT DO NOTHING"));
        o.addBindValue(id);
        if (!o.exec()) Throw(o.lastError(), dialect_, what);
    }
    t.Commit(what);
    return true;
}

std::vector<HistoryEntry> SqlSiteStore::History(const QString& name, int limit) {
    QSqlQuery q(Database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM history WHERE site_id = (SELECT id FROM sites WHERE name = ?) "
                             "ORDER BY time DESC, seq DESC LIMIT %2")
                  .arg(Selected(kHistoryColumns, dialect_))
                  .arg(std::clamp(limit, 1, 1000000)));
    q.addBindValue(Text(name));
    if (!q.exec()) Throw(q.lastError(), dialect_, QStringLiteral("Az előzmények nem olvashatók"));
    std::vector<HistoryEntry> entries;
    while (q.next()) entries.push_back(EntryFrom(q));
    return entries;
}

bool SqlSiteStore::HasEntry(const QUuid& eventId) {
    QSqlQuery q(Database());
    q.prepare(QStringLiteral("SELECT 1 FROM history WHERE event_id = ?"));
    q.addBindValue(eventId.toString(QUuid::WithoutBraces));
    if (!q.exec()) Throw(q.lastError(), dialect_, QStringLiteral("Az előzmények nem olvashatók"));
    return q.next();
}

void SqlSiteStore::EraseSite(const QString& name, const HistoryEntry& erasure) {
    const QString what = QStringLiteral("A telephely (%1) nem törölhető").arg(name);
    if (erasure.eventId.isNull()) throw StoreError(StoreError::Kind::Invalid, QStringLiteral("Az eseménynek nincs azonosítója."));
    if (dialect_ == Dialect::Postgres) {
        QSqlQuery q(Database());
        q.prepare(QStringLiteral("SELECT orbiqa_erase_site(?, ?, CAST(? AS timestamptz), ?, ?, ?, ?)"));
        q.addBindValue(Text(name));
        q.addBindValue(erasure.eventId.toString(QUuid::WithoutBraces));
        q.addBindValue(TimeText(erasure.time));
        q.addBindValue(Text(erasure.operatorName));
        q.addBindValue(Text(erasure.computer));
        q.addBindValue(Text(erasure.programVersion));
        q.addBindValue(Text(erasure.keyFingerprint));
        if (!q.exec()) Throw(q.lastError(), dialect_, what);
        return;
    }
    Transaction t(Database(), dialect_, what);
    const auto site = FindSite(name);
    if (!site) throw StoreError(StoreError::Kind::Invalid, QStringLiteral("Nincs ilyen telephely: %1").arg(name));
    const QString siteId = site->id.toString(QUuid::WithoutBraces);
    const QStringList steps{
        QStringLiteral("INSERT INTO erasing (site_id) VALUES (?)"),
        QStringLiteral("DELETE FROM outbox WHERE event_id IN (SELECT event_id FROM history WHERE site_id = ?)"),
        QStringLiteral("DELETE FROM history WHERE site_id = ?"),
        QStringLiteral("DELETE FROM sites WHERE id = ?"),
        QStringLiteral("DELETE FROM erasing WHERE site_id = ?"),
    };
    for (const QString& sql : steps) {
        QSqlQuery q(Database());
        q.prepare(sql);
        q.addBindValue(siteId);
        if (!q.exec()) Throw(q.lastError(), dialect_, what);
    }
    QSqlQuery q(Database());
    q.prepare(QStringLiteral("INSERT INTO history (site_id, %1) VALUES (?, ?, ?, 'erase', ?, ?, ?, ?, ?, '', 'ok', '', "
                             "NULL, NULL, '[]', '', NULL, NULL)")
                  .arg(kHistoryColumns));
    q.addBindValue(siteId);
    q.addBindValue(erasure.eventId.toString(QUuid::WithoutBraces));
    q.addBindValue(Text(name));
    q.addBindValue(TimeText(erasure.time));
    q.addBindValue(Text(erasure.operatorName));
    q.addBindValue(Text(erasure.computer));
    q.addBindValue(Text(erasure.programVersion));
    q.addBindValue(Text(erasure.keyFingerprint));
    if (!q.exec()) Throw(q.lastError(), dialect_, what);
    t.Commit(what);
    // The erased pages still stand in the journal until it is folded into the file: fold it now.
    // A reader that holds an old snapshot can delay that; the next checkpoint then finishes it.
    QSqlQuery(Database()).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

std::vector<HistoryEntry> SqlSiteStore::UnsentEntries(int limit) {
    QSqlQuery q(Database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM history WHERE event_id IN (SELECT event_id FROM outbox) "
                             "ORDER BY seq LIMIT %2")
                  .arg(Selected(kHistoryColumns, dialect_))
                  .arg(std::max(1, limit)));
    if (!q.exec()) Throw(q.lastError(), dialect_, QStringLiteral("A küldésre váró események nem olvashatók"));
    std::vector<HistoryEntry> entries;
    while (q.next()) entries.push_back(EntryFrom(q));
    return entries;
}

void SqlSiteStore::MarkSent(const QUuid& eventId) {
    QSqlQuery q(Database());
    q.prepare(QStringLiteral("DELETE FROM outbox WHERE event_id = ?"));
    q.addBindValue(eventId.toString(QUuid::WithoutBraces));
    if (!q.exec()) Throw(q.lastError(), dialect_, QStringLiteral("Az elküldött esemény nem jelölhető"));
}

int SqlSiteStore::UnsentCount() {
    QSqlQuery q(Database());
    if (!q.exec(QStringLiteral("SELECT count(*) FROM outbox")) || !q.next())
        Throw(q.lastError(), dialect_, QStringLiteral("A küldésre váró események nem olvashatók"));
    return q.value(0).toInt();
}

std::unique_ptr<SiteStore> OpenSqliteStore(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw StoreError(StoreError::Kind::Corrupt, QStringLiteral("Az adatbázis helyén nem fájl áll: %1").arg(path));
    if (!QDir().mkpath(info.absolutePath()))
        throw StoreError(StoreError::Kind::Failed, QStringLiteral("Az adatbázis mappája nem hozható létre: %1").arg(info.absolutePath()));
    const QString name = NewConnectionName();
    auto store = std::make_unique<SqlSiteStore>(name, Dialect::Sqlite, QStringLiteral("SQLite ") + path);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    if (!db.isValid())
        throw StoreError(StoreError::Kind::Failed, QStringLiteral("A Qt SQLite meghajtója (QSQLITE) hiányzik."));
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyMilliseconds));
    if (!db.open()) Throw(db.lastError(), Dialect::Sqlite, QStringLiteral("Az adatbázis nem nyitható meg (%1)").arg(path));
    // The schema check comes first: a file that is not a database fails here with a clear error.
    MigrateSchema(db, Dialect::Sqlite);
    for (const char* pragma : {"PRAGMA journal_mode = WAL", "PRAGMA synchronous = FULL", "PRAGMA foreign_keys = ON",
                              // an erased customer's data must not linger in freed pages
                              "PRAGMA secure_delete = ON"}) {
        QSqlQuery q(db);
        if (!q.exec(QString::fromLatin1(pragma)))
            Throw(q.lastError(), Dialect::Sqlite, QStringLiteral("Az adatbázis nem állítható be (%1)").arg(path));
    }
    return store;
}

std::unique_ptr<SiteStore> OpenPostgresStore(const PostgresTarget& target) {
    const QString name = NewConnectionName();
    auto store = std::make_unique<SqlSiteStore>(name, Dialect::Postgres, QStringLiteral("PostgreSQL ") + DescribeTarget(target));
    QSqlDatabase db = AddPostgresConnection(name, target);
    if (!db.isValid())
        throw StoreError(StoreError::Kind::Failed,
                         QStringLiteral("A Qt PostgreSQL-meghajtója hiányzik (%1).").arg(db.driverName()));
    if (!db.open())
        throw StoreError(StoreError::Kind::Unreachable,
                         QStringLiteral("A közös adatbázis (%1) nem érhető el: %2")
                             .arg(DescribeTarget(target), db.lastError().text().trimmed()));
    MigrateSchema(db, Dialect::Postgres);
    return store;
}

void InitializePostgres(const PostgresTarget& target) {
    const QString name = NewConnectionName();
    {
        SqlSiteStore owner(name, Dialect::Postgres, {});  // removes the connection on the way out
        QSqlDatabase db = AddPostgresConnection(name, target);
        if (!db.open())
            throw StoreError(StoreError::Kind::Unreachable,
                             QStringLiteral("A közös adatbázis (%1) nem érhető el: %2")
                                 .arg(DescribeTarget(target), db.lastError().text().trimmed()));
        // One statement at a time: the ODBC driver takes one per call.
        for (const QString& statement : SplitSqlStatements(PostgresSetupSql())) {
            QSqlQuery q(db);
            if (!q.exec(statement)) {
                QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
                Throw(q.lastError(), Dialect::Postgres, QStringLiteral("A közös adatbázis nem hozható létre"));
            }
        }
    }
}

}  // namespace orbiqa::sites
