#include "sites/ServiceReport.h"

#include <QBuffer>
#include <QFile>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <algorithm>
#include <functional>
#include <map>

#include "base/FileStore.h"
#include "params/FieldCatalog.h"
#include "sites/SiteChanges.h"

namespace orbiqa::sites {

namespace {

// A site's text may be anything a person (or a broken import) typed: the report prints at most
// this much of each, so that a hostile field cannot make a report of thousands of pages.
constexpr qsizetype kMaxShownText = 400;
constexpr int kResolution = 300;
constexpr qreal kMarginMm = 18;

QString Shown(const QString& text) {
    const QString simplified = text.left(kMaxShownText * 2).simplified();
    if (simplified.isEmpty()) return QStringLiteral("–");
    if (simplified.size() <= kMaxShownText) return simplified.toHtmlEscaped();
    return (simplified.left(kMaxShownText) + QStringLiteral("…")).toHtmlEscaped();
}

QString Shown(const std::string& utf8) {
    return Shown(QString::fromUtf8(utf8.data(), qsizetype(std::min<std::size_t>(utf8.size(), kMaxShownText * 8))));
}

QString LocalTime(const QDateTime& utc) {
    if (!utc.isValid()) return QStringLiteral("–");
    return utc.toLocalTime().toString(QStringLiteral("yyyy.MM.dd. HH:mm"));
}

QString Row(const QString& caption, const QString& value) {
    return QStringLiteral("<tr><td class=\"k\">%1</td><td>%2</td></tr>").arg(caption, value);
}

}  // namespace

QString KindText(HistoryKind kind) {
    switch (kind) {
        case HistoryKind::Read: return QStringLiteral("Beolvasás");
        case HistoryKind::Write: return QStringLiteral("Áttöltés");
        case HistoryKind::Compare: return QStringLiteral("Összehasonlítás");
        case HistoryKind::Provision: return QStringLiteral("Telepítés");
        case HistoryKind::Save: return QStringLiteral("Kézi mentés");
        case HistoryKind::Erase: return QStringLiteral("Törlés");
    }
    return {};
}

QString OutcomeText(const HistoryEntry& entry) {
    QString word;
    switch (entry.outcome) {
        case Outcome::Ok: return QStringLiteral("sikeres");
        case Outcome::Failed: word = QStringLiteral("sikertelen"); break;
        case Outcome::Interrupted: word = QStringLiteral("megszakadt"); break;
    }
    return entry.outcomeText.isEmpty() ? word : word + QStringLiteral(": ") + entry.outcomeText;
}

QString ConcealedValueText() { return QStringLiteral("megváltozott"); }

namespace {
bool Concealed(const SettingChange& change) { return change.hidden || IsSecretField(change.field); }
}  // namespace

QString ShownOldValue(const SettingChange& change) { return Concealed(change) ? QString() : change.oldValue; }

QString ShownNewValue(const SettingChange& change) {
    return Concealed(change) ? ConcealedValueText() : change.newValue;
}

std::vector<SettingChange> MergeChanges(const std::vector<std::vector<SettingChange>>& steps) {
    std::vector<SettingChange> merged;
    std::map<QString, std::size_t> index;
    for (const auto& step : steps)
        for (const SettingChange& change : step) {
            const auto [it, added] = index.emplace(change.field, merged.size());
            if (added) {
                merged.push_back(change);
            } else {
                merged[it->second].newValue = change.newValue;
                merged[it->second].hidden = merged[it->second].hidden || change.hidden;
            }
        }
    std::erase_if(merged, [](const SettingChange& c) { return c.oldValue == c.newValue && !Concealed(c); });
    return merged;
}

ServiceVisit VisitOf(const Site& site, const std::vector<HistoryEntry>& history, const QUuid& entry) {
    ServiceVisit visit;
    visit.site = site.name;
    visit.customer = site.customer;
    visit.address = site.address;
    visit.contact = site.contact;
    visit.moduleIdentity = site.module.versionText;
    if (site.module.dataVersion) visit.dataVersion = QString::number(*site.module.dataVersion);
    if (site.panelId) visit.panelId = QString::number(*site.panelId);
    if (site.serverId) visit.serverId = QString::number(*site.serverId);
    visit.port = site.lastPort;
    if (history.empty()) return visit;

    auto chosen = std::find_if(history.begin(), history.end(), [&](const HistoryEntry& e) { return e.eventId == entry; });
    if (chosen == history.end()) chosen = history.begin();
    const QDate day = chosen->time.toLocalTime().date();
    const QString who = chosen->operatorName;
    // Oldest first, as the visit went.
    std::vector<const HistoryEntry*> entries;
    for (auto it = history.rbegin(); it != history.rend(); ++it)
        if (it->time.toLocalTime().date() == day && it->operatorName == who) entries.push_back(&*it);

    std::vector<std::vector<SettingChange>> changes;
    for (const HistoryEntry* e : entries) {
        visit.steps.push_back({e->time, KindText(e->kind), OutcomeText(*e)});
        if (e->outcome == Outcome::Ok) changes.push_back(e->changes);
        if (e->signal) visit.signal = e->signal;
        if (!e->module.versionText.isEmpty()) visit.moduleIdentity = e->module.versionText;
        if (e->module.dataVersion) visit.dataVersion = QString::number(*e->module.dataVersion);
        if (!e->port.isEmpty()) visit.port = e->port;
        visit.computer = e->computer;
        visit.programVersion = e->programVersion;
    }
    visit.when = entries.back()->time;
    visit.technician = who;
    visit.changes = MergeChanges(changes);
    return visit;
}

QString SuggestedReportName(const ServiceVisit& visit) {
    QString site = visit.site.left(60);
    static const QString forbidden = QStringLiteral("<>:\"/\\|?*");
    for (QChar& c : site)
        if (forbidden.contains(c) || c.unicode() < 0x20) c = QLatin1Char('_');
    const QDate day = (visit.when.isValid() ? visit.when.toLocalTime() : QDateTime::currentDateTime()).date();
    return QStringLiteral("Szervizjelentes-%1-%2.pdf").arg(site.trimmed(), day.toString(Qt::ISODate));
}

QString ServiceReportHtml(const ServiceVisit& visit) {
    QString html;
    html += QStringLiteral(
        "<html><head><style>"
        "body { font-family: sans-serif; font-size: 10pt; }"
        "h1 { font-size: 16pt; } h2 { font-size: 12pt; margin-top: 14px; }"
        "td { padding: 2px 6px; } td.k { font-weight: bold; }"
        "table.c th { background-color: #e6e6e6; text-align: left; padding: 2px 6px; }"
        "</style></head><body>");
    html += QStringLiteral("<h1>Szervizjelentés</h1>");

    html += QStringLiteral("<h2>Telephely</h2><table>");
    html += Row(QStringLiteral("Telephely:"), Shown(visit.site));
    html += Row(QStringLiteral("Ügyfél:"), Shown(visit.customer));
    html += Row(QStringLiteral("Cím:"), Shown(visit.address));
    html += Row(QStringLiteral("Kapcsolattartó:"), Shown(visit.contact));
    html += QStringLiteral("</table>");

    html += QStringLiteral("<h2>Látogatás</h2><table>");
    html += Row(QStringLiteral("Időpont:"), LocalTime(visit.when));
    html += Row(QStringLiteral("Technikus:"), Shown(visit.technician));
    html += Row(QStringLiteral("Számítógép:"), Shown(visit.computer));
    html += Row(QStringLiteral("Port:"), Shown(visit.port));
    html += QStringLiteral("</table>");

    html += QStringLiteral("<h2>Modul</h2><table>");
    html += Row(QStringLiteral("Azonosító:"), Shown(visit.moduleIdentity));
    html += Row(QStringLiteral("Adatverzió:"), Shown(visit.dataVersion));
    html += Row(QStringLiteral("PanelID:"), Shown(visit.panelId));
    html += Row(QStringLiteral("ServerID:"), Shown(visit.serverId));
    html += Row(QStringLiteral("GSM térerő:"),
                visit.signal ? QStringLiteral("%1 (0-31)").arg(*visit.signal)
                             : QStringLiteral("nem mért"));
    html += QStringLiteral("</table>");

    if (!visit.steps.empty()) {
        html += QStringLiteral("<h2>Műveletek</h2><table>");
        for (const ReportStep& step : visit.steps)
            html += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>")
                        .arg(LocalTime(step.when), Shown(step.action), Shown(step.outcome));
        html += QStringLiteral("</table>");
    }

    html += QStringLiteral("<h2>Megváltozott beállítások</h2>");
    if (visit.changes.empty()) {
        html += QStringLiteral("<p>Egyetlen beállítás sem változott.</p>");
    } else {
        html += QStringLiteral(
            "<table class=\"c\" border=\"1\" cellspacing=\"0\" width=\"100%\">"
            "<tr><th>Beállítás</th><th>Régi érték</th><th>Új érték</th></tr>");
        for (const SettingChange& change : visit.changes) {
            // A secret field's values are never even looked at, whatever the caller put there.
            html += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>")
                        .arg(Shown(FieldTitle(change.field.toStdString())),
                             Concealed(change) ? QStringLiteral("–") : Shown(change.oldValue),
                             Concealed(change) ? ConcealedValueText() : Shown(change.newValue));
        }
        html += QStringLiteral("</table>");
    }
    html += QStringLiteral("<p style=\"font-size: 8pt; margin-top: 18px;\">Készült: Orbiqa %1</p>")
                .arg(Shown(visit.programVersion));
    html += QStringLiteral("</body></html>");
    return html;
}

QByteArray RenderServiceReport(const ServiceVisit& visit) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kResolution);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                         QPageLayout::Millimeter));
        writer.setTitle(QStringLiteral("Szervizjelentés – %1").arg(visit.site.left(kMaxShownText)));
        writer.setCreator(QStringLiteral("Orbiqa"));
        QTextDocument document;
        document.setHtml(ServiceReportHtml(visit));
        // Pages come from the document's own pagination, numbered at their foot.
        document.print(&writer);
    }
    return bytes;
}

void SaveServiceReport(const ServiceVisit& visit, const QString& path) {
    const QByteArray pdf = RenderServiceReport(visit);
    SaveFile(QFile::encodeName(path).toStdString(), std::string_view(pdf.constData(), std::size_t(pdf.size())));
}

}  // namespace orbiqa::sites
