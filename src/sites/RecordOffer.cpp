#include "sites/RecordOffer.h"

#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "base/FileStore.h"
#include "base/SettingsLocation.h"
#include "sites/SiteRegister.h"
#include "sites/SiteRegisterThread.h"
#include "widgets/Accessibility.h"
#include "widgets/Announcer.h"
#include "widgets/CommandButton.h"

namespace orbiqa::sites {

Q_LOGGING_CATEGORY(lcRecordOffer, "orbiqa.sites.offer", QtInfoMsg)

namespace {

constexpr const char* kPortSitesFile = "OrbiqaSitePorts.ini";
constexpr std::size_t kPortSitesMaxBytes = 1024 * 1024;
constexpr int kOfferedSites = 1000;

QString PortSitesPath() { return QString::fromStdString(SettingsFilePath(kPortSitesFile)); }

// PORT=SITE lines; a port holds no "=", a site's name holds no line break.
QList<std::pair<QString, QString>> ReadPortSites() {
    QList<std::pair<QString, QString>> pairs;
    std::string data;
    try {
        data = ReadFileBounded(QFile::encodeName(PortSitesPath()).toStdString(), kPortSitesMaxBytes, false);
    } catch (const std::exception&) {
        return pairs;  // never saved yet, or unreadable: nothing remembered
    }
    for (const QString& line : QString::fromUtf8(data).split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        pairs.append({line.left(eq), line.mid(eq + 1).remove(QLatin1Char('\r'))});
    }
    return pairs;
}

}  // namespace

QString RememberedSite(const QString& port) {
    for (const auto& [p, site] : ReadPortSites())
        if (p == port) return site;
    return {};
}

bool RememberSite(const QString& port, const QString& site) {
    if (port.isEmpty() || port.contains(QLatin1Char('=')) || port.contains(QLatin1Char('\n')) ||
        site.contains(QLatin1Char('\n')))
        return false;
    QString text;
    for (const auto& [p, s] : ReadPortSites())
        if (p != port) text += p + QLatin1Char('=') + s + QLatin1Char('\n');
    text += port + QLatin1Char('=') + site + QLatin1Char('\n');
    const QByteArray bytes = text.toUtf8();
    try {
        SaveFile(QFile::encodeName(PortSitesPath()).toStdString(), std::string_view(bytes.constData(), bytes.size()));
        return true;
    } catch (const std::exception& e) {
        qCWarning(lcRecordOffer) << "the port's site was not saved:" << e.what();
        return false;
    }
}

TRecordOffer::TRecordOffer(SiteRegisterThread& worker, TransferRecord record, const QString& preferredSite,
                           QWidget* parent)
    : QDialog(parent), worker_(worker), record_(std::move(record)) {
    setObjectName(QStringLiteral("RecordOffer"));
    setWindowTitle(QStringLiteral("Rögzítés telephelyhez"));
    setAccessibleName(windowTitle());

    const QString what = record_.kind == HistoryKind::Write ? QStringLiteral("Az áttöltést") : QStringLiteral("A beolvasást");
    // The offer takes the focus as the transfer ends, and a screen reader drops what the
    // transfer window was saying for it: the outcome is said again as the offer's first words.
    const QString question = QStringLiteral("%1 melyik telephely előzményeihez rögzítsük?").arg(what);
    lbQuestion = new QLabel(record_.said.isEmpty() ? question : record_.said + QStringLiteral(". ") + question, this);
    lbQuestion->setObjectName(QStringLiteral("lbQuestion"));
    lbQuestion->setWordWrap(true);
    cbSite = new QComboBox(this);
    cbSite->setObjectName(QStringLiteral("cbSite"));
    cbSite->setAccessibleName(QStringLiteral("Telephely"));
    cbSite->setAccessibleDescription(QStringLiteral("Válasszon telephelyet, vagy írja be egy új nevét"));
    cbSite->setEditable(true);
    cbSite->setInsertPolicy(QComboBox::NoInsert);
    cbSite->setMinimumWidth(320);
    auto* caption = new QLabel(QStringLiteral("&Telephely:"), this);
    caption->setBuddy(cbSite);
    lbResult = new QLabel(this);
    lbResult->setObjectName(QStringLiteral("lbResult"));
    ExposeShownText(lbResult, QStringLiteral("A rögzítés eredménye"));
    lbResult->setWordWrap(true);
    lbResult->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    btRecord = MakeCommandButton(this, QStringLiteral("btRecord"), QStringLiteral("&Rögzítés"),
                                 {.enter = ButtonEnter::Default});
    btSkip = MakeCommandButton(this, QStringLiteral("btSkip"), QStringLiteral("&Nem most"));

    auto* row = new QHBoxLayout;
    row->addWidget(caption);
    row->addWidget(cbSite, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btRecord);
    buttons->addWidget(btSkip);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbQuestion);
    layout->addLayout(row);
    layout->addWidget(lbResult);
    layout->addLayout(buttons);

    connect(btRecord, &QPushButton::clicked, this, &TRecordOffer::btRecordClick);
    connect(btSkip, &QPushButton::clicked, this, &QDialog::reject);
    PressButtonsOnEnter(this);

    const QString offered = preferredSite.isEmpty() ? RememberedSite(record_.port) : preferredSite;
    cbSite->setEditText(offered);
    cbSite->lineEdit()->selectAll();
    cbSite->setFocus(Qt::OtherFocusReason);

    auto names = std::make_shared<QStringList>();
    ++pending_;
    worker_.Run(
        this,
        [names](SiteRegister& reg) {
            SiteQuery query;
            query.limit = kOfferedSites;
            for (const Site& s : reg.ReadStore().ListSites(query)) *names << s.name;
        },
        [this, names](const QString& error) {
            --pending_;
            if (!error.isEmpty()) {
                Say(QStringLiteral("A telephelyek nem olvashatók: %1").arg(error));
                return;
            }
            // The typed or offered text stays; the list only adds choices under it.
            const QString typed = cbSite->currentText();
            const QSignalBlocker quiet(cbSite);
            cbSite->addItems(*names);
            cbSite->setEditText(typed);
        });
}

QString TRecordOffer::ResultText() const { return lbResult->text(); }

void TRecordOffer::Say(const QString& text) {
    ShowText(lbResult, text);
    Announce(this, text);
}

void TRecordOffer::btRecordClick() {
    const QString name = cbSite->currentText().trimmed();
    Site probe;
    probe.name = name;
    if (const std::optional<QString> why = ValidateSite(probe)) {
        Say(*why);
        return;
    }
    btRecord->setEnabled(false);
    cbSite->setEnabled(false);
    ShowText(lbResult, QStringLiteral("Rögzítés…"));
    auto result = std::make_shared<RecordResult>();
    const TransferRecord record = record_;
    ++pending_;
    worker_.Run(
        this,
        [name, record, result](SiteRegister& reg) {
            HistoryEntry entry = NewEntry(name, record.kind, record.port);
            entry.outcome = record.outcome;
            entry.outcomeText = record.outcomeText;
            entry.after = record.after;
            entry.before = record.before;
            entry.module = record.module;
            entry.signal = record.signal;
            if (entry.before.isEmpty()) {
                // The changes are counted from what the register last knew of the site.
                try {
                    if (const std::optional<Site> site = reg.ReadStore().FindSite(name)) entry.before = site->parameters;
                } catch (const StoreError& e) {
                    qCInfo(lcRecordOffer) << "the site's set before is unknown:" << e.text();
                }
            }
            *result = reg.Record(std::move(entry));
        },
        [this, name, result](const QString& error) {
            --pending_;
            if (!error.isEmpty()) *result = {RecordResult::State::Failed, error};
            if (result->state != RecordResult::State::Failed) {
                RememberSite(record_.port, name);
                emit Recorded(name);
            }
            switch (result->state) {
                case RecordResult::State::Recorded:
                    Say(QStringLiteral("Rögzítve: %1").arg(name));
                    accept();
                    return;
                case RecordResult::State::Pending:
                    Say(QStringLiteral("A bejegyzés függőben (a központi adatbázis később kapja meg): %1").arg(result->why));
                    break;
                case RecordResult::State::Failed:
                    Say(QStringLiteral("A bejegyzés nem rögzült: %1").arg(result->why));
                    break;
            }
            btSkip->setText(QStringLiteral("&Bezárás"));
            btSkip->setAccessibleName(QStringLiteral("Bezárás"));
            btSkip->setFocus(Qt::OtherFocusReason);
        },
        SiteRegisterThread::Kind::Record);
}

TRecordOffer* OfferRecording(SiteRegisterThread& worker, TransferRecord record, const QString& preferredSite,
                             QWidget* parent) {
    auto* offer = new TRecordOffer(worker, std::move(record), preferredSite, parent);
    offer->setAttribute(Qt::WA_DeleteOnClose);
    offer->open();
    return offer;
}

}  // namespace orbiqa::sites
