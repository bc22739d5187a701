#include "sites/SiteRecords.h"

#include <QSysInfo>
#include <QtGlobal>

#include "ModuleKeyFingerprint.h"
#include "params/FieldCatalog.h"
#include "params/ParameterImage.h"

namespace orbiqa::sites {

namespace {

struct KindWord {
    HistoryKind kind;
    const char* word;
};
constexpr KindWord kKinds[] = {
    {HistoryKind::Read, "read"},         {HistoryKind::Write, "write"},
    {HistoryKind::Compare, "compare"},   {HistoryKind::Provision, "provision"},
    {HistoryKind::Save, "save"},         {HistoryKind::Erase, "erase"},
};

struct OutcomeWord {
    Outcome outcome;
    const char* word;
};
constexpr OutcomeWord kOutcomes[] = {
    {Outcome::Ok, "ok"}, {Outcome::Failed, "failed"}, {Outcome::Interrupted, "interrupted"}};

QString OperatorName() {
    for (const char* variable : {"USER", "USERNAME", "LOGNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty()) return name;
    }
    return QStringLiteral("?");
}

bool HasLineBreakOrControl(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return true;
    return false;
}

std::optional<int> WordOf(const QByteArray& set, const char* field) {
    if (set.size() != kParameterSetBytes) return std::nullopt;
    ParameterImage image;
    std::copy(set.begin(), set.end(), image.begin());
    bool ok = false;
    const int value = QString::fromStdString(FieldValueText(image, field)).toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

}  // namespace

QString KindName(HistoryKind kind) {
    for (const auto& k : kKinds)
        if (k.kind == kind) return QString::fromLatin1(k.word);
    return {};
}

std::optional<HistoryKind> KindFromName(const QString& name) {
    for (const auto& k : kKinds)
        if (name == QLatin1String(k.word)) return k.kind;
    return std::nullopt;
}

QString OutcomeName(Outcome outcome) {
    for (const auto& o : kOutcomes)
        if (o.outcome == outcome) return QString::fromLatin1(o.word);
    return {};
}

std::optional<Outcome> OutcomeFromName(const QString& name) {
    for (const auto& o : kOutcomes)
        if (name == QLatin1String(o.word)) return o.outcome;
    return std::nullopt;
}

HistoryEntry NewEntry(const QString& site, HistoryKind kind, const QString& port) {
    HistoryEntry e;
    e.eventId = QUuid::createUuid();
    e.site = site;
    e.kind = kind;
    e.time = QDateTime::currentDateTimeUtc();
    e.operatorName = OperatorName();
    e.computer = QSysInfo::machineHostName();
    e.programVersion = QStringLiteral(ORBIQA_VERSION_TEXT);
    e.keyFingerprint = QString::fromLatin1(kModuleKeyFingerprint);
    e.port = port;
    return e;
}

std::optional<QString> ValidateSite(const Site& site) {
    const QString name = site.name.trimmed();
    if (name.isEmpty()) return QStringLiteral("A telephely neve nem lehet üres.");
    if (site.name.size() > kMaxNameLength)
        return QStringLiteral("A telephely neve legfeljebb %1 karakter lehet.").arg(kMaxNameLength);
    if (name != site.name || HasLineBreakOrControl(site.name))
        return QStringLiteral("A telephely neve egy sor, vezérlőkarakter és szélső szóköz nélkül.");
    const struct {
        const QString& text;
        const char* label;
        int bound;
    } fields[] = {
        {site.customer, "ügyfél", kMaxFieldLength},
        {site.address, "cím", kMaxFieldLength},
        {site.contact, "kapcsolattartó", kMaxFieldLength},
        {site.lastPort, "port", kMaxFieldLength},
        {site.notes, "megjegyzés", kMaxNotesLength},
        {site.module.versionText, "modulverzió", kMaxFieldLength},
    };
    for (const auto& f : fields) {
        if (f.text.size() > f.bound)
            return QStringLiteral("A(z) %1 mező legfeljebb %2 karakter lehet (most %3).")
                .arg(QString::fromUtf8(f.label))
                .arg(f.bound)
                .arg(f.text.size());
        if (f.text.contains(QChar(0)))
            return QStringLiteral("A(z) %1 mező nulla karaktert tartalmaz.").arg(QString::fromUtf8(f.label));
    }
    if (!site.parameters.isEmpty() && site.parameters.size() != kParameterSetBytes)
        return QStringLiteral("A paraméterkészlet %1 bájt helyett %2 bájt.")
            .arg(kParameterSetBytes)
            .arg(site.parameters.size());
    return std::nullopt;
}

std::optional<int> PanelIdOf(const QByteArray& set) { return WordOf(set, "PanelID"); }
std::optional<int> ServerIdOf(const QByteArray& set) { return WordOf(set, "ServerID"); }

}  // namespace orbiqa::sites
