#include "sites/SitesForm.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>
#include <utility>

#include "params/FieldCatalog.h"
#include "sites/ServiceReport.h"
#include "sites/SiteChanges.h"
#include "sites/SiteRegister.h"
#include "sites/SiteRegisterThread.h"
#include "widgets/Accessibility.h"
#include "widgets/Announcer.h"
#include "widgets/CommandButton.h"

namespace orbiqa::sites {

namespace {

constexpr int kSearchLimit = 200;
// A long value (a 160-character SMS text) is cut in the list; the whole of it is its tooltip.
constexpr int kShownValueLength = 80;

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    return MakeCommandButton(parent, QString::fromLatin1(name), caption, {.enter = ButtonEnter::Never});
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& accessibleName, bool readOnly) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setAccessibleName(accessibleName);
    e->setReadOnly(readOnly);
    return e;
}

QTreeWidget* MakeList(QWidget* parent, const char* name, const QString& accessibleName, const QStringList& headers) {
    auto* t = new QTreeWidget(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setAccessibleName(accessibleName);
    t->setRootIsDecorated(false);
    t->setUniformRowHeights(true);
    t->setAllColumnsShowFocus(true);
    t->setHeaderLabels(headers);
    t->header()->setStretchLastSection(true);
    return t;
}

QString Cut(const QString& text) {
    const QString line = text.simplified();
    return line.size() <= kShownValueLength ? line : line.left(kShownValueLength) + QStringLiteral("…");
}

QString LocalTimeText(const QDateTime& utc) {
    return utc.toLocalTime().toString(QStringLiteral("yyyy.MM.dd. HH:mm:ss"));
}

QString SettingTitle(const QString& field) {
    return QString::fromStdString(FieldTitle(field.toStdString()));
}

// Down in the search field goes to the list, as in a file dialog's name field.
class DownToList : public QObject {
public:
    DownToList(QLineEdit* edit, QTreeWidget* list) : QObject(edit), list_(list) { edit->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down &&
            list_->topLevelItemCount() > 0) {
            list_->setFocus(Qt::TabFocusReason);
            if (!list_->currentItem()) list_->setCurrentItem(list_->topLevelItem(0));
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QTreeWidget* list_;
};

}  // namespace

TSitesForm::TSitesForm(SiteRegisterThread& worker, Hooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window), worker_(worker), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("SitesForm"));
    setWindowTitle(QStringLiteral("Telephelyek"));
    setAccessibleName(windowTitle());
    ExposeAsWindow(this);
    BuildControls();
    searchTimer_.setSingleShot(true);
    searchTimer_.setInterval(kSearchDelayMs);
    connect(&searchTimer_, &QTimer::timeout, this, [this] { StartSearch(); });
    connect(edSearch, &QLineEdit::textEdited, this, [this] { searchTimer_.start(); });
    EnableRecordControls();
}

TSitesForm::~TSitesForm() = default;

void TSitesForm::BuildControls() {
    auto* searchCaption = new QLabel(QStringLiteral("&Keresés:"), this);
    edSearch = MakeEdit(this, "edSearch", QStringLiteral("Keresés"), false);
    edSearch->setAccessibleDescription(QStringLiteral("Név, ügyfél, cím vagy PanelID"));
    edSearch->setPlaceholderText(QStringLiteral("név, ügyfél, cím vagy PanelID"));
    edSearch->setClearButtonEnabled(true);
    searchCaption->setBuddy(edSearch);
    tvSites = MakeList(this, "tvSites", QStringLiteral("Telephelyek listája"),
                       {QStringLiteral("Név"), QStringLiteral("Ügyfél"), QStringLiteral("Cím"), QStringLiteral("PanelID")});
    new DownToList(edSearch, tvSites);
    btNewSite = MakeButton(this, "btNewSite", QStringLiteral("Ú&j telephely"));

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchCaption);
    searchRow->addWidget(edSearch, 1);
    leftLayout->addLayout(searchRow);
    leftLayout->addWidget(tvSites, 1);
    leftLayout->addWidget(btNewSite, 0, Qt::AlignLeft);

    auto* record = new QGroupBox(QStringLiteral("Telephely adatai"), this);
    record->setObjectName(QStringLiteral("gbRecord"));
    auto* form = new QFormLayout(record);
    edName = MakeEdit(record, "edName", QStringLiteral("Név"), false);
    edCustomer = MakeEdit(record, "edCustomer", QStringLiteral("Ügyfél"), false);
    edAddress = MakeEdit(record, "edAddress", QStringLiteral("Cím"), false);
    edContact = MakeEdit(record, "edContact", QStringLiteral("Kapcsolattartó"), false);
    edNotes = new QPlainTextEdit(record);
    edNotes->setObjectName(QStringLiteral("edNotes"));
    edNotes->setAccessibleName(QStringLiteral("Megjegyzés"));
    edNotes->setTabChangesFocus(true);
    edNotes->setFixedHeight(48);
    edModule = MakeEdit(record, "edModule", QStringLiteral("Modul"), true);
    edPanelId = MakeEdit(record, "edPanelId", QStringLiteral("PanelID"), true);
    edServerId = MakeEdit(record, "edServerId", QStringLiteral("ServerID"), true);
    edLastPort = MakeEdit(record, "edLastPort", QStringLiteral("Utolsó port"), true);
    form->addRow(QStringLiteral("&Név:"), edName);
    form->addRow(QStringLiteral("Ü&gyfél:"), edCustomer);
    form->addRow(QStringLiteral("&Cím:"), edAddress);
    form->addRow(QStringLiteral("Kapcsolatt&artó:"), edContact);
    form->addRow(QStringLiteral("&Megjegyzés:"), edNotes);
    form->addRow(QStringLiteral("Modul:"), edModule);
    auto* ids = new QHBoxLayout;
    ids->addWidget(edPanelId);
    auto* serverCaption = new QLabel(QStringLiteral("ServerID:"), record);
    serverCaption->setBuddy(edServerId);
    ids->addWidget(serverCaption);
    ids->addWidget(edServerId);
    form->addRow(QStringLiteral("PanelID:"), ids);
    form->addRow(QStringLiteral("Utolsó port:"), edLastPort);
    btSaveSite = MakeButton(record, "btSaveSite", QStringLiteral("Adatok m&entése"));
    form->addRow(QString(), btSaveSite);

    auto* historyCaption = new QLabel(QStringLiteral("Elő&zmények:"), this);
    tvHistory = MakeList(this, "tvHistory", QStringLiteral("Előzmények"),
                         {QStringLiteral("Időpont"), QStringLiteral("Művelet"), QStringLiteral("Eredmény"),
                          QStringLiteral("Technikus"), QStringLiteral("Számítógép"), QStringLiteral("Port"),
                          QStringLiteral("Változás")});
    historyCaption->setBuddy(tvHistory);
    auto* changesCaption = new QLabel(QStringLiteral("Megváltozott &beállítások:"), this);
    tvChanges = MakeList(this, "tvChanges", QStringLiteral("Megváltozott beállítások"),
                         {QStringLiteral("Beállítás"), QStringLiteral("Régi érték"), QStringLiteral("Új érték")});
    changesCaption->setBuddy(tvChanges);

    btOpenSet = MakeButton(this, "btOpenSet", QStringLiteral("Megnyitás a &szerkesztőben"));
    btWriteSet = MakeButton(this, "btWriteSet", QStringLiteral("Á&ttöltés a modulba"));
    btCompareSet = MakeButton(this, "btCompareSet", QStringLiteral("Össze&hasonlítás a modullal"));
    btReport = MakeButton(this, "btReport", QStringLiteral("Szervizje&lentés…"));
    // Escape closes as well; "b" belongs to the settings list.
    btClose = MakeButton(this, "btClose", QStringLiteral("Bezárás"));

    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    ExposeShownText(lbStatus, QStringLiteral("Állapot"));
    lbStatus->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    lbStatus->setWordWrap(true);

    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(record);
    rightLayout->addWidget(historyCaption);
    rightLayout->addWidget(tvHistory, 2);
    rightLayout->addWidget(changesCaption);
    rightLayout->addWidget(tvChanges, 1);
    auto* actions = new QHBoxLayout;
    for (QPushButton* b : {btOpenSet, btWriteSet, btCompareSet, btReport}) actions->addWidget(b);
    rightLayout->addLayout(actions);

    auto* splitter = new QSplitter(this);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({340, 640});

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lbStatus, 1);
    bottom->addWidget(btClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);
    resize(980, 640);

    connect(tvSites, &QTreeWidget::currentItemChanged, this, &TSitesForm::SiteSelected);
    connect(tvHistory, &QTreeWidget::currentItemChanged, this, &TSitesForm::EntrySelected);
    connect(btNewSite, &QPushButton::clicked, this, &TSitesForm::btNewSiteClick);
    connect(btSaveSite, &QPushButton::clicked, this, &TSitesForm::btSaveSiteClick);
    connect(btOpenSet, &QPushButton::clicked, this, &TSitesForm::btOpenSetClick);
    connect(btWriteSet, &QPushButton::clicked, this, &TSitesForm::btWriteSetClick);
    connect(btCompareSet, &QPushButton::clicked, this, &TSitesForm::btCompareSetClick);
    connect(btReport, &QPushButton::clicked, this, &TSitesForm::btReportClick);
    connect(btClose, &QPushButton::clicked, this, &QWidget::close);
    PressButtonsOnEnter(this);
    CloseOnEscape(this);
}

void TSitesForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The list is filled when the window opens, and fresh each time (others record meanwhile).
    if (!event->spontaneous()) {
        searchTimer_.stop();
        StartSearch();
        edSearch->setFocus(Qt::OtherFocusReason);
    }
}

QString TSitesForm::StatusText() const { return lbStatus->text(); }

void TSitesForm::Say(const QString& text) {
    ShowText(lbStatus, text);
    Announce(this, text);
}

void TSitesForm::Run(std::function<void(SiteRegister&)> job, std::function<void(const QString& error)> done,
                     bool record) {
    ++pending_;
    worker_.Run(
        this, std::move(job),
        [this, done = std::move(done)](const QString& error) {
            --pending_;
            done(error);
        },
        record ? SiteRegisterThread::Kind::Record : SiteRegisterThread::Kind::Query);
}

void TSitesForm::Search(const QString& text) {
    edSearch->setText(text);
    searchTimer_.stop();
    StartSearch();
}

void TSitesForm::StartSearch(const QString& select) {
    const quint64 generation = ++searchGeneration_;
    const QString text = edSearch->text().trimmed();
    const QString keep = !select.isEmpty()          ? select
                         : tvSites->currentItem() ? tvSites->currentItem()->data(0, Qt::UserRole).toString()
                                                  : QString();
    auto found = std::make_shared<std::vector<Site>>();
    auto problem = std::make_shared<QString>();
    Run(
        [found, text, problem](SiteRegister& reg) {
            SiteQuery query;
            query.text = text;
            query.limit = kSearchLimit;
            *found = reg.ReadStore().ListSites(query);
            // A shared server that cannot be reached leaves the local copy to search in.
            const QString local = reg.LocalProblem();
            const QString shared = reg.SharedProblem();
            *problem = !local.isEmpty() ? QStringLiteral("A helyi adatbázis nem használható: %1").arg(local)
                       : !shared.isEmpty() ? QStringLiteral("A központi adatbázis nem érhető el, a helyi másolat látszik: %1").arg(shared)
                                           : QString();
        },
        [this, found, generation, keep, problem](const QString& error) {
            // An answer overtaken by further typing is dropped.
            if (generation != searchGeneration_) return;
            if (!error.isEmpty()) {
                Say(problem->isEmpty() ? QStringLiteral("A keresés nem sikerült: %1").arg(error) : *problem);
                return;
            }
            ShowResults(*found, keep);
            // Said once, where it first shows; the status line keeps it.
            if (!problem->isEmpty() && *problem != saidProblem_) {
                saidProblem_ = *problem;
                Say(*problem);
            }
        });
}

void TSitesForm::ShowResults(const std::vector<Site>& sites, const QString& keepName) {
    const QSignalBlocker quiet(tvSites);
    tvSites->clear();
    QTreeWidgetItem* keep = nullptr;
    for (const Site& s : sites) {
        auto* item = new QTreeWidgetItem(tvSites, {Cut(s.name), Cut(s.customer), Cut(s.address),
                                                   s.panelId ? QString::number(*s.panelId) : QString()});
        item->setData(0, Qt::UserRole, s.name);
        if (s.name == keepName) keep = item;
    }
    for (int c = 0; c < 3; ++c) tvSites->resizeColumnToContents(c);
    if (keep) tvSites->setCurrentItem(keep);
    QString said = sites.empty() ? QStringLiteral("Nincs találat")
                                 : QStringLiteral("%1 telephely").arg(sites.size());
    if (int(sites.size()) >= kSearchLimit) said += QStringLiteral(" (az első %1)").arg(kSearchLimit);
    // What led to this search (a site saved) is the news; a screen reader would drop it for
    // the count that follows at once.
    Say(sayAfterSearch_.isEmpty() ? said : std::exchange(sayAfterSearch_, QString()));
}

void TSitesForm::ShowSite(const QString& name) {
    edSearch->setText(name);
    searchTimer_.stop();
    StartSearch(name);
    LoadSite(name);
}

void TSitesForm::SiteSelected() {
    QTreeWidgetItem* item = tvSites->currentItem();
    if (!item) return;
    LoadSite(item->data(0, Qt::UserRole).toString());
}

void TSitesForm::LoadSite(const QString& name) {
    const quint64 generation = ++loadGeneration_;
    auto site = std::make_shared<std::optional<Site>>();
    auto history = std::make_shared<std::vector<HistoryEntry>>();
    Run(
        [name, site, history](SiteRegister& reg) {
            SiteStore& store = reg.ReadStore();
            *site = store.FindSite(name);
            if (*site) *history = store.History(name, kHistoryLimit);
        },
        [this, generation, site, history, name](const QString& error) {
            if (generation != loadGeneration_) return;
            if (!error.isEmpty()) {
                Say(QStringLiteral("A telephely nem tölthető be: %1").arg(error));
                return;
            }
            if (!*site) {
                Say(QStringLiteral("Nincs ilyen telephely: %1").arg(name));
                return;
            }
            creating_ = false;
            site_ = std::move(**site);
            history_ = std::move(*history);
            ShowRecord();
            ShowHistory();
            EnableRecordControls();
        });
}

void TSitesForm::ShowRecord() {
    const Site& s = *site_;
    edName->setText(s.name);
    edCustomer->setText(s.customer);
    edAddress->setText(s.address);
    edContact->setText(s.contact);
    edNotes->setPlainText(s.notes);
    QString module = s.module.versionText;
    if (s.module.dataVersion && !module.contains(QStringLiteral("DataVersion")))
        module += QStringLiteral("  DataVersion:%1").arg(*s.module.dataVersion);
    edModule->setText(module);
    edPanelId->setText(s.panelId ? QString::number(*s.panelId) : QString());
    edServerId->setText(s.serverId ? QString::number(*s.serverId) : QString());
    edLastPort->setText(s.lastPort);
    for (QLineEdit* e : {edName, edCustomer, edAddress, edContact, edModule, edPanelId, edServerId, edLastPort})
        e->setCursorPosition(0);
}

void TSitesForm::ShowHistory() {
    {
        const QSignalBlocker quiet(tvHistory);
        tvHistory->clear();
        for (std::size_t i = 0; i < history_.size(); ++i) {
            const HistoryEntry& e = history_[i];
            auto* item = new QTreeWidgetItem(
                tvHistory, {LocalTimeText(e.time), KindText(e.kind), Cut(OutcomeText(e)), Cut(e.operatorName),
                            Cut(e.computer), Cut(e.port),
                            e.changes.empty() ? QString() : QStringLiteral("%1 beállítás").arg(e.changes.size())});
            item->setData(0, Qt::UserRole, qulonglong(i));
            item->setToolTip(2, OutcomeText(e));
        }
        for (int c = 0; c < 6; ++c) tvHistory->resizeColumnToContents(c);
        if (tvHistory->topLevelItemCount() > 0) tvHistory->setCurrentItem(tvHistory->topLevelItem(0));
    }
    EntrySelected();
}

const HistoryEntry* TSitesForm::SelectedEntry() const {
    QTreeWidgetItem* item = tvHistory->currentItem();
    if (!item) return nullptr;
    const auto index = std::size_t(item->data(0, Qt::UserRole).toULongLong());
    return index < history_.size() ? &history_[index] : nullptr;
}

void TSitesForm::EntrySelected() {
    tvChanges->clear();
    const HistoryEntry* entry = SelectedEntry();
    if (entry) {
        for (const SettingChange& c : entry->changes) {
            auto* item = new QTreeWidgetItem(tvChanges, {SettingTitle(c.field), Cut(ShownOldValue(c)), Cut(ShownNewValue(c))});
            item->setToolTip(1, ShownOldValue(c));
            item->setToolTip(2, ShownNewValue(c));
        }
        tvChanges->resizeColumnToContents(0);
        tvChanges->resizeColumnToContents(1);
    }
    EnableRecordControls();
}

void TSitesForm::EnableRecordControls() {
    const bool shown = site_.has_value() || creating_;
    for (QWidget* w : std::initializer_list<QWidget*>{edName, edCustomer, edAddress, edContact, edNotes, btSaveSite})
        w->setEnabled(shown);
    const bool hasSet = site_ && site_->parameters.size() == kParameterSetBytes && !creating_;
    btOpenSet->setEnabled(!ChosenSet().isEmpty() && !creating_);
    btWriteSet->setEnabled(hasSet);
    btCompareSet->setEnabled(hasSet);
    btReport->setEnabled(site_.has_value() && !creating_ && !history_.empty());
}

QByteArray TSitesForm::ChosenSet() const {
    if (const HistoryEntry* entry = SelectedEntry()) {
        if (entry->after.size() == kParameterSetBytes) return entry->after;
        if (entry->before.size() == kParameterSetBytes) return entry->before;
    }
    if (site_ && site_->parameters.size() == kParameterSetBytes) return site_->parameters;
    return {};
}

Site TSitesForm::EditedSite() const {
    Site s = site_ && !creating_ ? *site_ : Site{};
    s.name = edName->text().trimmed();
    s.customer = edCustomer->text();
    s.address = edAddress->text();
    s.contact = edContact->text();
    s.notes = edNotes->toPlainText();
    return s;
}

void TSitesForm::btNewSiteClick() {
    creating_ = true;
    site_.reset();
    history_.clear();
    for (QLineEdit* e : {edName, edCustomer, edAddress, edContact, edModule, edPanelId, edServerId, edLastPort})
        e->clear();
    edNotes->clear();
    tvHistory->clear();
    tvChanges->clear();
    EnableRecordControls();
    edName->setFocus(Qt::OtherFocusReason);
    Say(QStringLiteral("Új telephely: adja meg a nevét és adatait, majd mentse"));
}

void TSitesForm::btSaveSiteClick() {
    const Site edited = EditedSite();
    if (const std::optional<QString> why = ValidateSite(edited)) {
        Say(*why);
        return;
    }
    const bool adding = creating_;
    const QString oldName = site_ ? site_->name : QString();
    auto refused = std::make_shared<bool>(false);
    Run(
        [edited, adding, oldName, refused](SiteRegister& reg) {
            try {
                if (adding)
                    reg.Sites().AddSite(edited);
                else
                    reg.Sites().EditSite(oldName, edited);
            } catch (const StoreError& e) {
                *refused = e.kind() == StoreError::Kind::Refused;
                throw;
            }
        },
        [this, edited, refused](const QString& error) {
            if (!error.isEmpty()) {
                if (*refused) {
                    // The database keeps the sites' own texts for the office: say so once and
                    // leave the fields for reading.
                    for (QLineEdit* e : {edName, edCustomer, edAddress, edContact}) e->setReadOnly(true);
                    edNotes->setReadOnly(true);
                    Say(QStringLiteral("Nincs joga a telephely adatainak módosításához: %1").arg(error));
                } else {
                    Say(QStringLiteral("A mentés nem sikerült: %1").arg(error));
                }
                return;
            }
            creating_ = false;
            sayAfterSearch_ = QStringLiteral("A telephely adatai mentve: %1").arg(edited.name);
            ShowSite(edited.name);
        },
        true);
}

void TSitesForm::btOpenSetClick() {
    const QByteArray set = ChosenSet();
    if (set.isEmpty() || !hooks_.openSet) return;
    hooks_.openSet(set);
}

void TSitesForm::btWriteSetClick() {
    if (!site_ || site_->parameters.size() != kParameterSetBytes || !hooks_.writeSet) return;
    hooks_.writeSet(site_->parameters, site_->name);
}

void TSitesForm::btCompareSetClick() {
    if (!site_ || site_->parameters.size() != kParameterSetBytes || !hooks_.compareSet) return;
    const QString name = site_->name;
    const CompareOutcome compared = hooks_.compareSet(site_->parameters, name);
    // The transfer window has said the outcome already; here it stays readable.
    if (!compared.said.isEmpty()) ShowText(lbStatus, compared.said);
    if (!compared.reached) return;
    // The compare goes into the site's history, with what differed as its outcome's words.
    HistoryEntry entry = NewEntry(name, HistoryKind::Compare, compared.port);
    entry.outcome = compared.outcome;
    entry.outcomeText = compared.said;
    auto result = std::make_shared<RecordResult>();
    Run([entry, result](SiteRegister& reg) { *result = reg.Record(entry); },
        [this, result, name](const QString& error) {
            if (!error.isEmpty()) *result = {RecordResult::State::Failed, error};
            if (result->state == RecordResult::State::Failed)
                Say(QStringLiteral("Az összehasonlítás bejegyzése nem rögzült: %1").arg(result->why));
            else if (result->state == RecordResult::State::Pending)
                Say(QStringLiteral("Az összehasonlítás bejegyzése függőben: %1").arg(result->why));
            if (site_ && site_->name == name) LoadSite(name);
        },
        true);
}

void TSitesForm::btReportClick() {
    if (!site_ || history_.empty()) return;
    const HistoryEntry* chosen = SelectedEntry();
    if (!chosen) chosen = &history_.front();
    ServiceVisit visit = VisitOf(*site_, history_, chosen->eventId);
    if (!visit.signal && hooks_.lastSignal && visit.when.toLocalTime().date() == QDate::currentDate())
        visit.signal = hooks_.lastSignal();
    const QString suggested = SuggestedReportName(visit);
    const QString path = hooks_.chooseReportFile ? hooks_.chooseReportFile(suggested) : QString();
    if (path.isEmpty()) return;
    try {
        SaveServiceReport(visit, path);
        Say(QStringLiteral("A szervizjelentés elkészült: %1").arg(path));
    } catch (const std::exception& e) {
        Say(QStringLiteral("A szervizjelentés nem menthető: %1").arg(QString::fromUtf8(e.what())));
    }
}

}  // namespace orbiqa::sites
