// The sites window and the recording offer, offscreen, against a real SQLite register in a
// temporary settings folder, queried through the register's own thread as the program does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QSemaphore>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <thread>

#include "transfer/FakeModule.h"
#include "support/ChosenSettingsFolder.h"
#include "support/RecordingAnnouncer.h"
#include "base/SettingsLocation.h"
#include "params/FieldCatalog.h"
#include "sites/RecordOffer.h"
#include "sites/SiteRegister.h"
#include "sites/SiteRegisterThread.h"
#include "sites/SitesForm.h"
#include "transfer/DownloadForm.h"

namespace orbiqa::sites {
namespace {

const char* const kPassword = "Titok-8812";

bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QByteArray SetWith(const std::vector<std::pair<const char*, const char*>>& values) {
    ParameterImage image;
        for (const auto& [field, value] : values) EXPECT_FALSE(SetFieldValue(image, field, value)) << field;
    return QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size()));
}

QStringList Column(QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(column);
    return texts;
}

class SitesFormTest : public ::testing::Test {
protected:
    SitesFormTest() {
        database = SettingsFile(QStringLiteral("OrbiqaSites.sqlite"));
        Seed();
        worker = std::make_unique<SiteRegisterThread>([this] {
            RegisterOptions options;
            options.localPath = database;
            return std::make_unique<SiteRegister>(options);
        });
    }

    // Three sites; the first visited twice, the second write changing the APN and the password.
    void Seed() {
        RegisterOptions options;
        options.localPath = database;
        SiteRegister reg(options);
        for (const auto& [name, customer, address] :
             {std::tuple{"Kovács Bt. raktár", "Kovács Bt.", "Győr, Ipar utca 4."},
              std::tuple{"Duna Pékség", "Duna Pékség Kft.", "Budapest, Váci út 120."},
              std::tuple{"Tisza Gyógyszertár", "Tisza Patika Bt.", "Szeged, Kárász utca 9."}}) {
            Site s;
            s.name = QString::fromUtf8(name);
            s.customer = QString::fromUtf8(customer);
            s.address = QString::fromUtf8(address);
            reg.Sites().AddSite(s);
        }
        first = SetWith({{"PanelID", "4711"}, {"APN", "internet"}, {"PWD", "regi-jelszo"}});
        second = SetWith({{"PanelID", "4711"}, {"APN", "net.telekom.hu"}, {"PWD", kPassword}});
        HistoryEntry read = NewEntry(QStringLiteral("Kovács Bt. raktár"), HistoryKind::Read, QStringLiteral("COM33"));
        read.after = first;
        ASSERT_NE(reg.Record(read).state, RecordResult::State::Failed);
        HistoryEntry write = NewEntry(QStringLiteral("Kovács Bt. raktár"), HistoryKind::Write, QStringLiteral("COM33"));
        write.time = read.time.addSecs(60);
        write.before = first;
        write.after = second;
        ASSERT_NE(reg.Record(write).state, RecordResult::State::Failed);
    }

    std::unique_ptr<TSitesForm> MakeForm(TSitesForm::Hooks hooks = {}) {
        auto form = std::make_unique<TSitesForm>(*worker, std::move(hooks));
        form->show();
        EXPECT_TRUE(WaitFor([&] { return !form->Busy(); }));
        return form;
    }

    template <class T>
    static T* Child(QObject* parent, const char* name) {
        T* found = parent->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QString SettingsFile(const QString& name) const { return QString::fromStdString(settings.Path()) + '/' + name; }

    testsupport::ChosenSettingsFolder settings;
    QString database;
    QByteArray first, second;
    std::unique_ptr<SiteRegisterThread> worker;
    test::RecordingAnnouncer announcer;
};

TEST_F(SitesFormTest, SearchAsYouTypeFindsByNameCustomerAddressOrPanelIdAndSaysHowMany) {
    auto form = MakeForm();
    auto* sitesList = Child<QTreeWidget>(form.get(), "tvSites");
    EXPECT_EQ(sitesList->topLevelItemCount(), 3);

    auto* search = Child<QLineEdit>(form.get(), "edSearch");
    announcer.Take();
    QTest::keyClicks(search, QStringLiteral("duna"));
    ASSERT_TRUE(WaitFor([&] { return !form->Busy() && sitesList->topLevelItemCount() == 1; }));
    EXPECT_EQ(sitesList->topLevelItem(0)->text(0), QStringLiteral("Duna Pékség"));
    // Typing settles before one search runs; what it found is said once.
    EXPECT_EQ(announcer.Take(), QStringList{QStringLiteral("1 telephely")});

    const std::pair<const char*, const char*> searches[] = {
        {"Szeged", "Tisza Gyógyszertár"},  // address
        {"Kovács Bt.", "Kovács Bt. raktár"},  // customer
        {"4711", "Kovács Bt. raktár"},  // PanelID of the current set
    };
    for (const auto& [text, expected] : searches) {
        form->Search(QString::fromUtf8(text));
        ASSERT_TRUE(WaitFor([&] { return !form->Busy(); }));
        EXPECT_EQ(Column(sitesList, 0), QStringList{QString::fromUtf8(expected)}) << text;
    }
    form->Search(QStringLiteral("nincs ilyen"));
    ASSERT_TRUE(WaitFor([&] { return !form->Busy(); }));
    EXPECT_EQ(sitesList->topLevelItemCount(), 0);
    EXPECT_EQ(form->StatusText(), QStringLiteral("Nincs találat"));
}

TEST_F(SitesFormTest, ASiteShowsItsRecordAndHistoryAndThePasswordOnlyAsChanged) {
    auto form = MakeForm();
    auto* sitesList = Child<QTreeWidget>(form.get(), "tvSites");
    form->Search(QStringLiteral("Kovács"));
    ASSERT_TRUE(WaitFor([&] { return !form->Busy() && sitesList->topLevelItemCount() == 1; }));
    // From the search field the arrow key reaches the list, and the site opens.
    QTest::keyClick(Child<QLineEdit>(form.get(), "edSearch"), Qt::Key_Down);
    ASSERT_TRUE(WaitFor([&] { return !form->Busy() && form->CurrentSite().has_value(); }));

    EXPECT_EQ(Child<QLineEdit>(form.get(), "edCustomer")->text(), QStringLiteral("Kovács Bt."));
    EXPECT_EQ(Child<QLineEdit>(form.get(), "edPanelId")->text(), QStringLiteral("4711"));
    EXPECT_EQ(Child<QLineEdit>(form.get(), "edLastPort")->text(), QStringLiteral("COM33"));
    auto* history = Child<QTreeWidget>(form.get(), "tvHistory");
    EXPECT_EQ(Column(history, 1), (QStringList{QStringLiteral("Áttöltés"), QStringLiteral("Beolvasás")}));
    EXPECT_EQ(Column(history, 2), (QStringList{QStringLiteral("sikeres"), QStringLiteral("sikeres")}));

    // The newest entry is selected: the write's changes, the password without its values.
    auto* changes = Child<QTreeWidget>(form.get(), "tvChanges");
    ASSERT_EQ(changes->topLevelItemCount(), 2);
    EXPECT_EQ(Column(changes, 0), (QStringList{QStringLiteral("APN"), QStringLiteral("Jelszó")}));
    EXPECT_EQ(Column(changes, 1), (QStringList{QStringLiteral("internet"), QString()}));
    EXPECT_EQ(Column(changes, 2), (QStringList{QStringLiteral("net.telekom.hu"), QStringLiteral("megváltozott")}));
    for (QTreeWidget* list : form->findChildren<QTreeWidget*>())
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            for (int c = 0; c < list->columnCount(); ++c) {
                EXPECT_FALSE(list->topLevelItem(i)->text(c).contains(QLatin1String(kPassword)));
                EXPECT_FALSE(list->topLevelItem(i)->toolTip(c).contains(QLatin1String(kPassword)));
            }

    // The read before it: selecting it shows its own changes (none known before the first set).
    history->setCurrentItem(history->topLevelItem(1));
    EXPECT_EQ(changes->topLevelItemCount(), 0);
}

TEST_F(SitesFormTest, StoredSetsGoToTheEditorAndTheModuleThroughTheHooks) {
    QByteArray opened, written, compared;
    TSitesForm::Hooks hooks;
    hooks.openSet = [&](const QByteArray& set) { opened = set; };
    hooks.writeSet = [&](const QByteArray& set, const QString&) { written = set; };
    hooks.compareSet = [&](const QByteArray& set, const QString&) {
        compared = set;
        return CompareOutcome{QStringLiteral("Az adatok eltérnek (első eltérés: blokk 9). Eltérő beállítások: APN"),
                              true, Outcome::Ok, QStringLiteral("COM4")};
    };
    auto form = MakeForm(hooks);
    form->ShowSite(QStringLiteral("Kovács Bt. raktár"));
    ASSERT_TRUE(WaitFor([&] { return !form->Busy() && form->CurrentSite().has_value(); }));

    // The older entry's set opens; writing and comparing take the site's current set.
    auto* history = Child<QTreeWidget>(form.get(), "tvHistory");
    history->setCurrentItem(history->topLevelItem(1));
    Child<QPushButton>(form.get(), "btOpenSet")->click();
    Child<QPushButton>(form.get(), "btWriteSet")->click();
    Child<QPushButton>(form.get(), "btCompareSet")->click();
    EXPECT_EQ(opened, first);
    EXPECT_EQ(written, second);
    EXPECT_EQ(compared, second);
    EXPECT_TRUE(form->StatusText().contains(QStringLiteral("APN")));
    // The compare joins the site's history, what differed as its words.
    ASSERT_TRUE(WaitFor([&] { return !form->Busy() && form->CurrentHistory().size() == 3; }));
    const auto& entries = form->CurrentHistory();
    const auto compare = std::find_if(entries.begin(), entries.end(),
                                      [](const HistoryEntry& e) { return e.kind == HistoryKind::Compare; });
    ASSERT_NE(compare, entries.end());
    EXPECT_EQ(compare->port, QStringLiteral("COM4"));
    EXPECT_TRUE(compare->outcomeText.endsWith(QStringLiteral("Eltérő beállítások: APN")));

    // A site without a set offers neither.
    form->ShowSite(QStringLiteral("Duna Pékség"));
    ASSERT_TRUE(WaitFor([&] { return !form->Busy() && form->CurrentSite()->name == QStringLiteral("Duna Pékség"); }));
    EXPECT_FALSE(Child<QPushButton>(form.get(), "btWriteSet")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(form.get(), "btCompareSet")->isEnabled());
}

TEST_F(SitesFormTest, ANewSiteIsSavedAndAnInvalidNameIsSaidNotStored) {
    auto form = MakeForm();
    Child<QPushButton>(form.get(), "btNewSite")->click();
    Child<QLineEdit>(form.get(), "edName")->setText(QStringLiteral("Új\nsor"));
    Child<QPushButton>(form.get(), "btSaveSite")->click();
    EXPECT_FALSE(form->Busy());
    EXPECT_FALSE(form->StatusText().isEmpty());

    Child<QLineEdit>(form.get(), "edName")->setText(QStringLiteral("Rába Hotel"));
    Child<QLineEdit>(form.get(), "edContact")->setText(QStringLiteral("+36 96 000 111"));
    Child<QPushButton>(form.get(), "btSaveSite")->click();
    ASSERT_TRUE(WaitFor([&] { return !form->Busy() && form->CurrentSite().has_value(); }));
    EXPECT_EQ(form->CurrentSite()->contact, QStringLiteral("+36 96 000 111"));
    // The saving is what is said last: the count of the search that follows would cut it off.
    EXPECT_EQ(announcer.said.last(), QStringLiteral("A telephely adatai mentve: Rába Hotel"));
    auto* sitesList = Child<QTreeWidget>(form.get(), "tvSites");
    EXPECT_EQ(Column(sitesList, 0), QStringList{QStringLiteral("Rába Hotel")});
    ASSERT_NE(sitesList->currentItem(), nullptr);  // the saved site is the one selected
    EXPECT_EQ(sitesList->currentItem()->text(0), QStringLiteral("Rába Hotel"));
}

TEST_F(SitesFormTest, ASlowRegisterHoldsNoWindowAndOnlyTheLastSearchIsShown) {
    // The register is not there until the test lets it be: a shared server taking its time.
    QSemaphore gate;
    worker = std::make_unique<SiteRegisterThread>([this, &gate] {
        gate.acquire();
        RegisterOptions options;
        options.localPath = database;
        return std::make_unique<SiteRegister>(options);
    });
    TSitesForm form(*worker, {});
    form.show();
    auto* search = Child<QLineEdit>(&form, "edSearch");
    auto* sitesList = Child<QTreeWidget>(&form, "tvSites");
    form.Search(QStringLiteral("a"));
    QTest::keyClicks(search, QStringLiteral("x"));  // the window takes keys while it waits
    EXPECT_EQ(search->text(), QStringLiteral("ax"));
    form.Search(QStringLiteral("tisza"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.Busy());
    EXPECT_EQ(sitesList->topLevelItemCount(), 0);

    gate.release();
    ASSERT_TRUE(WaitFor([&] { return !form.Busy(); }));
    EXPECT_EQ(Column(sitesList, 0), QStringList{QStringLiteral("Tisza Gyógyszertár")});
    EXPECT_EQ(announcer.said, QStringList{QStringLiteral("1 telephely")});
}

TEST_F(SitesFormTest, ARecordQueuedWhenTheProgramEndsStillLandsAndQueriesDoNot) {
    QSemaphore slowQuery;
    bool queried = false;
    QObject receiver;
    worker->Run(&receiver, [&](SiteRegister&) { slowQuery.acquire(); }, {});
    worker->Run(&receiver, [&](SiteRegister&) { queried = true; }, {});
    worker->Run(
        &receiver,
        [](SiteRegister& reg) { reg.Record(NewEntry(QStringLiteral("Duna Pékség"), HistoryKind::Read, QStringLiteral("COM2"))); },
        {}, SiteRegisterThread::Kind::Record);
    // The program ends while the first query still holds the register's thread.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        slowQuery.release();
    });
    worker.reset();
    release.join();
    EXPECT_FALSE(queried);
    RegisterOptions options;
    options.localPath = database;
    SiteRegister reg(options);
    EXPECT_EQ(reg.ReadStore().History(QStringLiteral("Duna Pékség")).size(), 1u);
}

// The transfer window over an in-memory module, its read offering the record as the program wires it.
class RecordOfferTest : public SitesFormTest {
protected:
    RecordOfferTest() {
        for (std::size_t i = 0; i < module.memory.size(); ++i) module.memory[i] = std::uint8_t(i * 7);
        hooks.transferDone = [this](TransferKind kind, const TransferResult& result) {
            TransferRecord record;
            record.kind = kind == TransferKind::Write ? HistoryKind::Write : HistoryKind::Read;
            record.outcome = result.Succeeded() ? Outcome::Ok : Outcome::Failed;
            record.port = QStringLiteral("COM7");
            if (result.Succeeded()) record.after = QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size()));
            offer = OfferRecording(*worker, record, {}, download.get());
        };
        hooks.showMessage = [](const QString&) {};
        download = std::make_unique<TFormDownload>(module, image, hooks);
        module.onSend = [this] { QTimer::singleShot(0, download.get(), [this] { module.Deliver(); }); };
        download->show();
    }

    std::vector<HistoryEntry> History(const QString& site) {
        std::vector<HistoryEntry> entries;
        bool done = false;
        worker->Run(download.get(), [&](SiteRegister& reg) { entries = reg.ReadStore().History(site); },
                    [&](const QString&) { done = true; });
        EXPECT_TRUE(WaitFor([&] { return done; }));
        return entries;
    }

    test::FakeModule module;
    std::array<std::uint8_t, kParameterImageSize> image{};
    TFormDownload::Hooks hooks;
    std::unique_ptr<TFormDownload> download;
    QPointer<TRecordOffer> offer;
};

TEST_F(RecordOfferTest, AReadIsOfferedRecordedToTheChosenSiteAndThePortRemembersIt) {
    // A read that never started (no connection) has nothing to record.
    module.connected = false;
    download->btReadClick();
    EXPECT_FALSE(offer);
    module.connected = true;

    download->btReadClick();
    ASSERT_TRUE(offer);
    ASSERT_TRUE(WaitFor([&] { return !offer->Busy(); }));
    auto* site = Child<QComboBox>(offer.data(), "cbSite");
    EXPECT_EQ(site->currentText(), QString());  // the port belongs to no site yet
    EXPECT_EQ(site->count(), 3);
    site->setEditText(QStringLiteral("Duna Pékség"));
    Child<QPushButton>(offer.data(), "btRecord")->click();
    ASSERT_TRUE(WaitFor([&] { return !offer; }));  // recorded: the offer closed itself
    EXPECT_THAT(announcer.said, ::testing::Contains(QStringLiteral("Rögzítve: Duna Pékség")));

    const std::vector<HistoryEntry> entries = History(QStringLiteral("Duna Pékség"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].kind, HistoryKind::Read);
    EXPECT_EQ(entries[0].port, QStringLiteral("COM7"));
    EXPECT_EQ(entries[0].after, QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size())));
    EXPECT_EQ(RememberedSite(QStringLiteral("COM7")), QStringLiteral("Duna Pékség"));

    // The next read on the port offers its site first; a new name typed makes a new site.
    download->btReadClick();
    ASSERT_TRUE(offer);
    EXPECT_EQ(Child<QComboBox>(offer.data(), "cbSite")->currentText(), QStringLiteral("Duna Pékség"));
    ASSERT_TRUE(WaitFor([&] { return !offer->Busy(); }));
    Child<QComboBox>(offer.data(), "cbSite")->setEditText(QStringLiteral("Rába Hotel"));
    Child<QPushButton>(offer.data(), "btRecord")->click();
    ASSERT_TRUE(WaitFor([&] { return !offer; }));
    EXPECT_EQ(History(QStringLiteral("Rába Hotel")).size(), 1u);
    EXPECT_EQ(RememberedSite(QStringLiteral("COM7")), QStringLiteral("Rába Hotel"));
}

TEST_F(RecordOfferTest, ARecordThatFailsIsSaidAndTheReadStaysSuccessful) {
    // The register's file is a folder: nothing can be stored.
    worker.reset();
    const QString unusable = SettingsFile(QStringLiteral("folder.sqlite"));
    ASSERT_TRUE(QDir().mkpath(unusable));
    worker = std::make_unique<SiteRegisterThread>([unusable] {
        RegisterOptions options;
        options.localPath = unusable;
        return std::make_unique<SiteRegister>(options);
    });
    download->btReadClick();
    ASSERT_TRUE(offer);
    ASSERT_TRUE(WaitFor([&] { return !offer->Busy(); }));
    Child<QComboBox>(offer.data(), "cbSite")->setEditText(QStringLiteral("Duna Pékség"));
    Child<QPushButton>(offer.data(), "btRecord")->click();
    ASSERT_TRUE(WaitFor([&] { return !offer->Busy(); }));
    ASSERT_TRUE(offer);  // stays open to say why
    EXPECT_TRUE(offer->ResultText().startsWith(QStringLiteral("A bejegyzés nem rögzült"))) << offer->ResultText().toStdString();
    EXPECT_TRUE(announcer.said.contains(offer->ResultText()));
    auto* progress = download->findChild<QProgressBar*>(QStringLiteral("Progress"));
    EXPECT_EQ(progress->accessibleDescription(), QStringLiteral("Beolvasás kész"));
    EXPECT_EQ(download->Colour(), BarColour::Green);
    EXPECT_EQ(RememberedSite(QStringLiteral("COM7")), QString());
}

TEST_F(RecordOfferTest, ComparingWithASiteSetLeavesWhatTheModuleWasGiven) {
    download->btReadClick();
    ASSERT_TRUE(offer);
    offer->close();
    const ModuleCopyBytes given = download->Engine().ModuleCopy();
    ParameterImage changed;
    std::copy(image.begin(), image.end(), changed.begin());
    ASSERT_FALSE(SetFieldValue(changed, "APN", "masik.apn"));
    const QString said = download->CompareWithSet(std::span<const std::uint8_t, kParameterImageSize>(changed.data(), kParameterImageSize));
    EXPECT_TRUE(said.contains(QStringLiteral("APN"))) << said.toStdString();
    EXPECT_EQ(download->Engine().ModuleCopy(), given);
}

}  // namespace
}  // namespace orbiqa::sites
