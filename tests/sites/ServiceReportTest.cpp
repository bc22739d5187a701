// The service report: what the customer reads on the page (through poppler's pdftotext), that
// the GPRS password never reaches it, and that hostile site texts stay text of a bounded size.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "sites/ServiceReport.h"
#include "sites/SiteChanges.h"

namespace orbiqa::sites {
namespace {

const char* const kPassword = "Titok-8812";

ServiceVisit TypicalVisit() {
    ServiceVisit v;
    v.site = QStringLiteral("Kovács Bt. raktár");
    v.customer = QStringLiteral("Kovács Bt.");
    v.address = QStringLiteral("Győr, Ipar utca 4.");
    v.contact = QStringLiteral("+36 30 123 4567");
    v.when = QDateTime(QDate(2026, 3, 14), QTime(9, 30), Qt::UTC);
    v.technician = QStringLiteral("Szabó Éva");
    v.computer = QStringLiteral("SZERVIZ-07");
    v.programVersion = QStringLiteral("1.05");
    v.moduleIdentity = QStringLiteral("V3GPRS  2.14  HU  DataVersion:7");
    v.dataVersion = QStringLiteral("7");
    v.panelId = QStringLiteral("4711");
    v.serverId = QStringLiteral("0815");
    v.port = QStringLiteral("COM33");
    v.signal = 23;
    v.steps = {{v.when, QStringLiteral("Áttöltés"), QStringLiteral("sikeres")}};
    // A caller that hands the password's values in anyway must not get them printed.
    v.changes = {{QStringLiteral("APN"), QStringLiteral("internet"), QStringLiteral("net.telekom.hu")},
                 {QStringLiteral("PWD"), QStringLiteral("regi-jelszo"), QString::fromLatin1(kPassword)},
                 {QStringLiteral("USER1"), QStringLiteral("0630111"), QStringLiteral("0630222")}};
    return v;
}

// The page's text as a reader's tool finds it; empty when poppler is missing.
QString PdfText(const QByteArray& pdf, const QTemporaryDir& dir) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) return {};
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pdf);
    file.close();
    QProcess process;
    process.start(tool, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    EXPECT_TRUE(process.waitForFinished(30000));
    return QString::fromUtf8(process.readAllStandardOutput()).simplified();
}

TEST(ServiceReport, SaysTheVisitAndTheChangesButNeverThePassword) {
    QTemporaryDir dir;
    const QByteArray pdf = RenderServiceReport(TypicalVisit());
    ASSERT_TRUE(pdf.startsWith("%PDF"));
    EXPECT_FALSE(pdf.contains(kPassword));
    const QString text = PdfText(pdf, dir);
    if (text.isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    for (const char* expected : {"Szervizjelentés", "Kovács Bt. raktár", "Győr, Ipar utca 4.", "Szabó Éva",
                                 "SZERVIZ-07", "V3GPRS", "4711", "0815", "23 (0-31)", "Áttöltés",
                                 "internet", "net.telekom.hu", "0630111", "0630222", "Jelszó", "megváltozott"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << " missing from: " << text.toStdString();
    // The time is the visit's local time, whatever zone the machine is in.
    const QString local = TypicalVisit().when.toLocalTime().toString(QStringLiteral("yyyy.MM.dd. HH:mm"));
    EXPECT_TRUE(text.contains(local)) << text.toStdString();
    EXPECT_FALSE(text.contains(QString::fromLatin1(kPassword)));
    EXPECT_FALSE(text.contains(QStringLiteral("regi-jelszo")));
}

TEST(ServiceReport, NoSignalReadingAndNoChangesAreSaidSo) {
    ServiceVisit v = TypicalVisit();
    v.signal.reset();
    v.changes.clear();
    const QString html = ServiceReportHtml(v);
    EXPECT_TRUE(html.contains(QStringLiteral("nem mért")));
    EXPECT_TRUE(html.contains(QStringLiteral("Egyetlen beállítás sem változott.")));
}

TEST(ServiceReport, HostileTextStaysTextAndBounded) {
    ServiceVisit v = TypicalVisit();
    v.site = QStringLiteral("<b>X</b>&amp;<img src=\"/etc/passwd\">");
    v.customer = QString(10 * 1024 * 1024, QLatin1Char('A'));
    v.changes.push_back({QStringLiteral("SMS1"), QString(5 * 1024 * 1024, QLatin1Char('z')), QStringLiteral("<script>")});
    const QString html = ServiceReportHtml(v);
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;b&gt;X&lt;/b&gt;&amp;amp;&lt;img")));
    EXPECT_FALSE(html.contains(QStringLiteral("<img")));
    EXPECT_LT(html.size(), 20000);
    const QByteArray pdf = RenderServiceReport(v);
    EXPECT_LT(pdf.size(), 200 * 1024);
}

TEST(ServiceReport, SavedThroughTheSaveRoutine) {
    QTemporaryDir dir;
    // An ASCII name: a test program carries no UTF-8 code-page manifest, so on Windows its
    // 8-bit file names are the ANSI code page's, not the UTF-8 the save routine reads.
    const QString path = dir.filePath(QStringLiteral("jelentes.pdf"));
    SaveServiceReport(TypicalVisit(), path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("%PDF"));
    EXPECT_ANY_THROW(SaveServiceReport(TypicalVisit(), dir.filePath(QStringLiteral("nincs/ilyen/mappa.pdf"))));
}

TEST(ServiceReport, ChangesOfSeveralStepsMergeToFirstOldAndLastNew) {
    const auto change = [](const char* field, const char* from, const char* to, bool hidden = false) {
        return SettingChange{QString::fromLatin1(field), QString::fromLatin1(from), QString::fromLatin1(to), hidden};
    };
    const auto merged = MergeChanges({{change("APN", "a", "b"), change("USER1", "1", "2")},
                                      {change("APN", "b", "c"), change("USER1", "2", "1")},
                                      {change("PWD", "", "", true)}});
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged[0].field, QStringLiteral("APN"));
    EXPECT_EQ(merged[0].oldValue, QStringLiteral("a"));
    EXPECT_EQ(merged[0].newValue, QStringLiteral("c"));
    // A password is kept though its values, never known, look alike: that it changed is known.
    EXPECT_EQ(merged[1].field, QStringLiteral("PWD"));
}

TEST(ServiceReport, AVisitIsTheDaysEntriesOfOneTechnicianOldestFirst) {
    Site site;
    site.name = QStringLiteral("Duna Pékség");
    site.panelId = 12;
    const auto entry = [](const char* who, QDateTime when, HistoryKind kind, std::vector<SettingChange> changes,
                          std::optional<int> signal) {
        HistoryEntry e = NewEntry(QStringLiteral("Duna Pékség"), kind, QStringLiteral("COM3"));
        e.operatorName = QString::fromUtf8(who);
        e.time = when;
        e.changes = std::move(changes);
        e.signal = signal;
        return e;
    };
    const QDateTime morning = QDateTime(QDate(2026, 5, 4), QTime(9, 0)).toUTC();
    const SettingChange apn{QStringLiteral("APN"), QStringLiteral("a"), QStringLiteral("b"), false};
    // Newest first, as the store gives them.
    const std::vector<HistoryEntry> history = {
        entry("Kiss Ádám", morning.addSecs(3600), HistoryKind::Compare, {}, std::nullopt),
        entry("Szabó Éva", morning.addSecs(600), HistoryKind::Write, {apn}, 17),
        entry("Szabó Éva", morning, HistoryKind::Read, {}, 15),
        entry("Szabó Éva", morning.addDays(-1), HistoryKind::Write, {apn}, 9),
    };
    const ServiceVisit visit = VisitOf(site, history, history[1].eventId);
    EXPECT_EQ(visit.technician, QStringLiteral("Szabó Éva"));
    ASSERT_EQ(visit.steps.size(), 2u);
    EXPECT_EQ(visit.steps[0].action, QStringLiteral("Beolvasás"));
    EXPECT_EQ(visit.when, history[1].time);
    EXPECT_EQ(visit.signal, 17);
    EXPECT_EQ(visit.panelId, QStringLiteral("12"));
    ASSERT_EQ(visit.changes.size(), 1u);
    // No id known: the newest entry's visit.
    EXPECT_EQ(VisitOf(site, history, {}).technician, QStringLiteral("Kiss Ádám"));
    EXPECT_EQ(SuggestedReportName(visit), QStringLiteral("Szervizjelentes-Duna Pékség-2026-05-04.pdf"));
}

}  // namespace
}  // namespace orbiqa::sites
