// The sites window and a page of a service report as pictures for the documentation: a register
// in a scratch folder with a few sites of a service office, the window showing one of them.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "params/FieldCatalog.h"
#include "params/ParameterImage.h"
#include "sites/ServiceReport.h"
#include "sites/SiteRegister.h"
#include "sites/SiteRegisterThread.h"
#include "sites/SitesForm.h"

namespace orbiqa::sites {

namespace {

constexpr int kWaitMs = 10000;

bool WaitFor(const std::function<bool()>& done) {
    QDeadlineTimer deadline(kWaitMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QByteArray SetWith(const std::vector<std::pair<const char*, const char*>>& values) {
    ParameterImage image;
        for (const auto& [field, value] : values) SetFieldValue(image, field, value);
    return QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size()));
}

void FillRegister(SiteRegister& reg) {
    struct Example {
        const char* name;
        const char* customer;
        const char* address;
        const char* contact;
    };
    const Example examples[] = {
        {"Kovács Bt. raktár", "Kovács Bt.", "Győr, Ipar utca 4.", "Kovács Péter +36 30 123 4567"},
        {"Duna Pékség", "Duna Pékség Kft.", "Budapest, Váci út 120.", "Nagy Anna +36 20 555 0101"},
        {"Tisza Gyógyszertár", "Tisza Patika Bt.", "Szeged, Kárász utca 9.", "dr. Tóth Eszter"},
        {"Városi Sportcsarnok", "Sportközpont Nonprofit Kft.", "Debrecen, Kassai út 50.", "portás: +36 52 400 400"},
    };
    for (const Example& e : examples) {
        Site s;
        s.name = QString::fromUtf8(e.name);
        s.customer = QString::fromUtf8(e.customer);
        s.address = QString::fromUtf8(e.address);
        s.contact = QString::fromUtf8(e.contact);
        reg.Sites().AddSite(s);
    }
    const QByteArray first = SetWith({{"PanelID", "4711"}, {"ServerID", "815"}, {"APN", "internet"}, {"PWD", "regi"}, {"USER1", "06301112222"}});
    const QByteArray second = SetWith({{"PanelID", "4711"}, {"ServerID", "815"}, {"APN", "net.telekom.hu"}, {"PWD", "uj-jelszo"}, {"USER1", "06309998888"}});
    const QDateTime visit(QDate(2026, 11, 20), QTime(8, 40), Qt::UTC);
    HistoryEntry read = NewEntry(QStringLiteral("Kovács Bt. raktár"), HistoryKind::Read, QStringLiteral("COM33"));
    read.time = visit;
    read.operatorName = QStringLiteral("Szabó Éva");
    read.computer = QStringLiteral("SZERVIZ-07");
    read.after = first;
    read.module = {QStringLiteral("V3GPRS  2.14  HU  DataVersion:7"), 7};
    read.signal = 21;
    reg.Record(read);
    HistoryEntry write = NewEntry(QStringLiteral("Kovács Bt. raktár"), HistoryKind::Write, QStringLiteral("COM33"));
    write.time = visit.addSecs(12 * 60);
    write.operatorName = read.operatorName;
    write.computer = read.computer;
    write.before = first;
    write.after = second;
    write.module = read.module;
    write.signal = 23;
    reg.Record(write);
    HistoryEntry compare = NewEntry(QStringLiteral("Kovács Bt. raktár"), HistoryKind::Compare, QStringLiteral("COM33"));
    compare.time = visit.addSecs(14 * 60);
    compare.operatorName = read.operatorName;
    compare.computer = read.computer;
    compare.outcome = Outcome::Failed;
    compare.outcomeText = QStringLiteral("Nincs válasz (blokk 3)");
    reg.Record(compare);
}

}  // namespace

bool RenderSitesForm(const QString& path, const QString& reportPagePath) {
    QTemporaryDir scratch;
    const QString database = scratch.filePath(QStringLiteral("OrbiqaSites.sqlite"));
    SiteRegisterThread worker([database] {
        RegisterOptions options;
        options.localPath = database;
        return std::make_unique<SiteRegister>(options);
    });
    bool filled = false;
    QString fillError;
    worker.Run(qApp, [](SiteRegister& reg) { FillRegister(reg); }, [&](const QString& error) {
        fillError = error;
        filled = true;
    });
    if (!WaitFor([&] { return filled; }) || !fillError.isEmpty()) return false;

    TSitesForm form(worker, {});
    form.show();
    if (!WaitFor([&] { return !form.Busy(); })) return false;
    form.ShowSite(QStringLiteral("Kovács Bt. raktár"));
    if (!WaitFor([&] { return !form.Busy() && form.CurrentSite(); })) return false;
    // The write, with its changed settings, is the entry the picture shows.
    auto* history = form.findChild<QTreeWidget*>(QStringLiteral("tvHistory"));
    if (history && history->topLevelItemCount() > 1) history->setCurrentItem(history->topLevelItem(1));
    form.ensurePolished();
    if (!form.grab().save(path)) return false;

    if (reportPagePath.isEmpty()) return true;
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty()) return false;
    const ServiceVisit visit = VisitOf(*form.CurrentSite(), form.CurrentHistory(), {});
    const QString pdf = scratch.filePath(QStringLiteral("report.pdf"));
    SaveServiceReport(visit, pdf);
    const QString stem = scratch.filePath(QStringLiteral("page"));
    QProcess process;
    process.start(pdftoppm, {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"), QStringLiteral("-f"),
                             QStringLiteral("1"), QStringLiteral("-singlefile"), pdf, stem});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) return false;
    QFile::remove(reportPagePath);
    return QFile::copy(stem + QStringLiteral(".png"), reportPagePath);
}

}  // namespace orbiqa::sites
