#pragma once
// The service report of a visit: one PDF to hand to the customer, saying which site was served,
// when and by whom, which module it holds, the signal seen, and every setting changed with its
// old and new value. Qt Gui only (Qt's own PDF writer), so the command line prints it too. The
// GPRS password's value is never printed, whatever the caller hands in.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>
#include <optional>
#include <vector>

#include "sites/SiteRecords.h"

namespace orbiqa::sites {

/// One recorded step of the visit: a read, a write, a compare.
struct ReportStep {
    QDateTime when;   ///< UTC; printed in local time
    QString action;   ///< "Beolvasás", "Áttöltés", ...
    QString outcome;  ///< "sikeres", "megszakadt: ..."
};

/// What a report says. Empty texts are printed as "–".
struct ServiceVisit {
    QString site;
    QString customer;
    QString address;
    QString contact;
    QDateTime when;  ///< the visit's time, UTC; printed in local time
    QString technician;
    QString computer;
    QString programVersion;
    QString moduleIdentity;  ///< the version record's text
    QString dataVersion;
    QString panelId;
    QString serverId;
    QString port;
    std::optional<int> signal;  ///< 0..31, the last reading seen, if any
    std::vector<ReportStep> steps;
    std::vector<SettingChange> changes;
};

/// A history entry's kind and outcome as the window and the report say them ("Beolvasás",
/// "sikeres", "sikertelen: Nincs válasz (blokk 3)").
QString KindText(HistoryKind kind);
QString OutcomeText(const HistoryEntry& entry);
/// The word that stands for a secret value: "megváltozott".
QString ConcealedValueText();
/// A changed setting's values as shown: a secret one (the GPRS password) only as changed.
QString ShownOldValue(const SettingChange& change);
QString ShownNewValue(const SettingChange& change);

/// The changes of several steps as one list: for each field its first old and its last new
/// value, in the order fields first changed; a field that ends where it began is left out (a
/// secret one stays: its values are not known, only that it changed).
std::vector<SettingChange> MergeChanges(const std::vector<std::vector<SettingChange>>& steps);

/// The visit the entry belongs to: the site's entries by the same operator on the same local day
/// (history newest first, as the store gives it). An unknown id means the newest entry.
ServiceVisit VisitOf(const Site& site, const std::vector<HistoryEntry>& history, const QUuid& entry);

/// "Szervizjelentes-<site>-<yyyy-MM-dd>.pdf", with the characters no file name may hold replaced.
QString SuggestedReportName(const ServiceVisit& visit);

/// The report as an HTML document for QTextDocument (every outside text escaped, long values
/// cut), the one source of both the PDF and its tests.
QString ServiceReportHtml(const ServiceVisit& visit);

/// The report as PDF bytes, A4, with page numbers.
QByteArray RenderServiceReport(const ServiceVisit& visit);

/// Renders the report and saves it to path through the program's save routine; raises
/// EFileStoreError when it cannot be written.
void SaveServiceReport(const ServiceVisit& visit, const QString& path);

}  // namespace orbiqa::sites
