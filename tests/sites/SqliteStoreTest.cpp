// The SQLite store against real files: sites, history, the database's own refusals, damaged and
// foreign files, migrations, hostile sizes and two writers at once.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

#include "SitesTestSupport.h"
#include "sites/SiteChanges.h"
#include "sites/SiteRegister.h"
#include "sites/SiteStore.h"
#include "sites/SqlSiteStore.h"

using namespace orbiqa::sites;
using namespace orbiqa::sites::test;

namespace {

class SqliteStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("sub/OrbiqaSites.sqlite"));

    Site Named(const QString& name, const QString& customer = {}, const QString& address = {}) {
        Site s;
        s.name = name;
        s.customer = customer;
        s.address = address;
        return s;
    }

    // A second, raw connection to the file: what another program could try.
    bool RawExec(const QString& sql, QString* error = nullptr) {
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
            db.setDatabaseName(path);
            EXPECT_TRUE(db.open());
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (error) *error = q.lastError().text();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
        return ok;
    }
};

TEST_F(SqliteStoreTest, SitesAreAddedFoundEditedAndSearched) {
    auto store = OpenSqliteStore(path);
    EXPECT_EQ(store->SchemaVersion(), kSchemaVersion);
    Site a = Named(QStringLiteral("Raktár Győr"), QStringLiteral("Árvíztűrő Kft."), QStringLiteral("Győr, Fő u. 1"));
    a.contact = QStringLiteral("+36 30 123 4567");
    a.parameters = SetWith({{"PanelID", "4711"}});
    const Site added = store->AddSite(a);
    EXPECT_FALSE(added.id.isNull());
    EXPECT_EQ(added.panelId, 4711);
    store->AddSite(Named(QStringLiteral("100% iroda"), QStringLiteral("Béta")));
    store->AddSite(Named(QStringLiteral("1000 raktár"), QStringLiteral("Gamma")));

    EXPECT_EQ(store->FindSite(QStringLiteral("Raktár Győr")), added);
    EXPECT_THROW(store->AddSite(Named(QStringLiteral("Raktár Győr"))), StoreError);

    const auto names = [&](const QString& text) {
        QStringList n;
        for (const Site& s : store->ListSites({text, 50})) n << s.name;
        return n.join(QLatin1Char('|'));
    };
    EXPECT_EQ(names(QStringLiteral("ÁRVÍZ")), QStringLiteral("Raktár Győr"));  // case folds accents too
    EXPECT_EQ(names(QStringLiteral("fő u")), QStringLiteral("Raktár Győr"));
    EXPECT_EQ(names(QStringLiteral("4711")), QStringLiteral("Raktár Győr"));  // PanelID
    EXPECT_EQ(names(QStringLiteral("47")), QStringLiteral("Raktár Győr"));    // as it is typed
    EXPECT_EQ(names(QStringLiteral("471")), QStringLiteral("Raktár Győr"));
    EXPECT_EQ(names(QStringLiteral("0%")), QStringLiteral("100% iroda"));      // % is a character
    EXPECT_EQ(names(QStringLiteral("_")), QString());
    EXPECT_EQ(names(QString()), QStringLiteral("100% iroda|1000 raktár|Raktár Győr"));

    Site edit = added;
    edit.name = QStringLiteral("Raktár Győr 2");
    edit.notes = QStringLiteral("kulcs a portán");
    store->EditSite(QStringLiteral("Raktár Győr"), edit);
    EXPECT_FALSE(store->FindSite(QStringLiteral("Raktár Győr")));
    EXPECT_EQ(store->FindSite(QStringLiteral("Raktár Győr 2"))->notes, QStringLiteral("kulcs a portán"));
    EXPECT_EQ(names(QStringLiteral("győr 2")), QStringLiteral("Raktár Győr 2"));
    EXPECT_THROW(store->EditSite(QStringLiteral("Raktár Győr 2"), Named(QStringLiteral("100% iroda"))), StoreError);
    EXPECT_THROW(store->EditSite(QStringLiteral("nincs"), Named(QStringLiteral("x"))), StoreError);
}

TEST_F(SqliteStoreTest, EntriesLandOnceAndKeepTheCurrentSet) {
    auto store = OpenSqliteStore(path);
    const QByteArray first = SetWith({{"PanelID", "5"}, {"APN", "a"}});
    const QByteArray second = SetWith({{"PanelID", "6"}, {"APN", "b"}, {"PWD", "titok"}});

    HistoryEntry read = ReadEntry(QStringLiteral("Új telephely"), first);  // the site is made by its first record
    EXPECT_TRUE(store->AppendEntry(read));
    EXPECT_FALSE(store->AppendEntry(read));  // the same event again lands once

    HistoryEntry write = NewEntry(QStringLiteral("Új telephely"), HistoryKind::Write, QStringLiteral("COM4"));
    write.before = first;
    write.after = second;
    write.changes = ChangedSettings(first, second);
    write.signal = 17;
    EXPECT_TRUE(store->AppendEntry(write));

    HistoryEntry failed = NewEntry(QStringLiteral("Új telephely"), HistoryKind::Write, QStringLiteral("COM9"));
    failed.after = first;
    failed.outcome = Outcome::Failed;
    failed.outcomeText = QStringLiteral("A modul nem válaszol.");
    EXPECT_TRUE(store->AppendEntry(failed));

    const Site site = *store->FindSite(QStringLiteral("Új telephely"));
    EXPECT_EQ(site.parameters, second);  // a failed write leaves the set as it was
    EXPECT_EQ(site.panelId, 6);
    EXPECT_EQ(site.lastPort, QStringLiteral("COM4"));
    EXPECT_EQ(site.module.dataVersion, 7);

    const auto history = store->History(QStringLiteral("Új telephely"), 10);
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0], failed);
    EXPECT_EQ(history[1], write);
    EXPECT_EQ(history[2].eventId, read.eventId);
    EXPECT_EQ(history[1].time.timeSpec(), Qt::UTC);
    const auto pwd = std::find_if(history[1].changes.begin(), history[1].changes.end(),
                                  [](const SettingChange& c) { return c.field == QLatin1String("PWD"); });
    ASSERT_NE(pwd, history[1].changes.end());
    EXPECT_TRUE(pwd->hidden);
}

TEST_F(SqliteStoreTest, TheFileItselfRefusesToChangeOrDeleteHistory) {
    {
        auto store = OpenSqliteStore(path);
        store->AppendEntry(ReadEntry(QStringLiteral("A"), SetWith({})));
    }
    QString error;
    EXPECT_FALSE(RawExec(QStringLiteral("UPDATE history SET operator = 'someone else'"), &error));
    EXPECT_TRUE(error.contains(QLatin1String("append-only"))) << error.toStdString();
    EXPECT_FALSE(RawExec(QStringLiteral("DELETE FROM history"), &error));
    EXPECT_FALSE(RawExec(QStringLiteral("INSERT INTO sites (id, name, customer, created, updated) VALUES "
                                        "('x', 'B', printf('%.3000c', 'x'), '', '')"),
                         &error));  // over the bound even past the program
    EXPECT_EQ(OpenSqliteStore(path)->History(QStringLiteral("A")).size(), 1u);
}

TEST_F(SqliteStoreTest, ErasureRemovesTheSiteAndItsHistoryAndIsRecorded) {
    auto store = OpenSqliteStore(path);
    Site s = Named(QStringLiteral("Magánház"), QStringLiteral("Kiss Anna"));
    s.contact = QStringLiteral("+36 1 555 1234");
    store->AddSite(s);
    store->AppendEntry(ReadEntry(s.name, SetWith({{"Phone1", "06301234567"}})));
    store->AddSite(Named(QStringLiteral("Másik")));
    store->AppendEntry(ReadEntry(QStringLiteral("Másik"), SetWith({})));

    const HistoryEntry erasure = NewEntry(s.name, HistoryKind::Erase, {});
    store->EraseSite(s.name, erasure);
    EXPECT_FALSE(store->FindSite(s.name));
    EXPECT_TRUE(store->HasEntry(erasure.eventId));
    EXPECT_EQ(store->History(QStringLiteral("Másik")).size(), 1u);
    EXPECT_THROW(store->EraseSite(s.name, NewEntry(s.name, HistoryKind::Erase, {})), StoreError);

    // A record made before the erasure and sent after it does not bring the site back; a new
    // site of the same name later is a new site.
    HistoryEntry late = ReadEntry(s.name, SetWith({{"Phone1", "06301234567"}}));
    late.time = erasure.time.addSecs(-60);
    EXPECT_FALSE(store->AppendEntry(late));
    EXPECT_FALSE(store->FindSite(s.name));
    HistoryEntry later = ReadEntry(s.name, SetWith({}));
    later.time = erasure.time.addSecs(60);
    EXPECT_TRUE(store->AppendEntry(later));
    EXPECT_EQ(store->History(s.name).size(), 1u);
    store->EraseSite(s.name, NewEntry(s.name, HistoryKind::Erase, {}));

    // Not even in a freed page or the journal, while the register is still open.
    for (const QString& name : {path, path + QStringLiteral("-wal")}) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) continue;
        EXPECT_FALSE(file.readAll().contains("Kiss Anna")) << name.toStdString();
    }
}

TEST_F(SqliteStoreTest, DamagedForeignAndNewerFilesGiveAClearError) {
    QDir().mkpath(dir.filePath(QStringLiteral("sub")));
    const auto errorOf = [&] {
        try {
            OpenSqliteStore(path);
        } catch (const StoreError& e) {
            EXPECT_EQ(e.kind(), StoreError::Kind::Corrupt) << e.text().toStdString();
            return e.text();
        }
        return QStringLiteral("opened");
    };
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'G'));
    f.close();
    EXPECT_TRUE(errorOf().contains(QStringLiteral("nem adatbázis")));

    QFile::remove(path);
    ASSERT_TRUE(RawExec(QStringLiteral("CREATE TABLE invoices (n INTEGER)")));
    EXPECT_TRUE(errorOf().contains(QStringLiteral("másik program")));

    QFile::remove(path);
    OpenSqliteStore(path);
    ASSERT_TRUE(RawExec(QStringLiteral("UPDATE schema_version SET version = 99")));
    EXPECT_TRUE(errorOf().contains(QStringLiteral("újabb")));

    // A register on such a file says so, and a record fails without throwing.
    SiteRegister reg({path, std::nullopt});
    EXPECT_FALSE(reg.LocalProblem().isEmpty());
    const RecordResult r = reg.Record(ReadEntry(QStringLiteral("A"), SetWith({})));
    EXPECT_EQ(r.state, RecordResult::State::Failed);
    EXPECT_FALSE(r.why.isEmpty());
}

TEST_F(SqliteStoreTest, EveryEarlierSchemaIsMigratedWithItsData) {
    for (int from = 1; from < kSchemaVersion; ++from) {
        SCOPED_TRACE(from);
        const QString file = dir.filePath(QStringLiteral("v%1.sqlite").arg(from));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
            db.setDatabaseName(file);
            ASSERT_TRUE(db.open());
            MigrateSqlite(db, from);
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(QStringLiteral(
                "INSERT INTO sites (id, name, customer, address, created, updated) VALUES "
                "('11111111-2222-3333-4444-555555555555', 'Régi hely', 'Ügyfél', 'Pécs', "
                "'2025-01-02T03:04:05.000Z', '2025-01-02T03:04:05.000Z')")))
                << q.lastError().text().toStdString();
            ASSERT_TRUE(q.exec(QStringLiteral(
                "INSERT INTO history (event_id, site_id, site_name, kind, time, operator, computer, "
                "program_version, key_fingerprint, port, outcome, outcome_text, changes) VALUES "
                "('aaaaaaaa-2222-3333-4444-555555555555', '11111111-2222-3333-4444-555555555555', "
                "'Régi hely', 'read', '2025-01-02T03:04:05.000Z', 'tech', 'pc', '1.04', 'abcd', 'COM1', "
                "'ok', '', '[]')")))
                << q.lastError().text().toStdString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));

        auto store = OpenSqliteStore(file);
        EXPECT_EQ(store->SchemaVersion(), kSchemaVersion);
        ASSERT_EQ(store->ListSites({QStringLiteral("pécs"), 10}).size(), 1u);
        const auto history = store->History(QStringLiteral("Régi hely"));
        ASSERT_EQ(history.size(), 1u);
        EXPECT_EQ(history[0].time, QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5), Qt::UTC));
        EXPECT_TRUE(store->AppendEntry(ReadEntry(QStringLiteral("Régi hely"), SetWith({}))));
    }
}

TEST_F(SqliteStoreTest, HostileSizesAreRefusedQuicklyAndCleanly) {
    auto store = OpenSqliteStore(path);
    Site s = Named(QStringLiteral("Támadás"));
    s.address = QString(100 * 1024 * 1024, QChar(0x2603));  // 100 M characters of snowmen
    QElapsedTimer timer;
    timer.start();
    try {
        store->AddSite(s);
        ADD_FAILURE() << "stored";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.kind(), StoreError::Kind::Invalid);
        EXPECT_TRUE(e.text().contains(QStringLiteral("cím")));
    }
    s.address.clear();
    s.notes = QStringLiteral("'); DROP TABLE history; --\x01\x7f");
    s.name = QStringLiteral("Robert'); DROP TABLE sites;--");
    store->AddSite(s);
    EXPECT_EQ(store->FindSite(s.name)->notes, s.notes);

    HistoryEntry e = ReadEntry(QString(kMaxNameLength + 1, QLatin1Char('n')), SetWith({}));
    EXPECT_THROW(store->AppendEntry(e), StoreError);
    e = ReadEntry(QStringLiteral("x"), QByteArray(5, 'x'));
    EXPECT_THROW(store->AppendEntry(e), StoreError);
    EXPECT_EQ(store->ListSites({}).size(), 1u);
}

TEST_F(SqliteStoreTest, TwoWritersAtOnceBothLandInOrder) {
    OpenSqliteStore(path);
    constexpr int kEach = 150;
    std::vector<QUuid> made[2];
    const auto writer = [&](int w) {
        auto store = OpenSqliteStore(path);
        for (int i = 0; i < kEach; ++i) {
            HistoryEntry e = ReadEntry(QStringLiteral("Közös"), SetWith({}));
            e.operatorName = QStringLiteral("w%1").arg(w);
            e.outcomeText = QString::number(i);
            made[w].push_back(e.eventId);
            store->AppendEntry(e);
        }
    };
    std::thread a(writer, 0), b(writer, 1);
    a.join();
    b.join();
    auto store = OpenSqliteStore(path);
    const auto history = store->History(QStringLiteral("Közös"), 1000);
    ASSERT_EQ(history.size(), 2u * kEach);
    EXPECT_EQ(store->ListSites({}).size(), 1u);
    int next[2] = {kEach - 1, kEach - 1};  // newest first: each writer's own count runs down
    for (const HistoryEntry& e : history) {
        const int w = e.operatorName == QLatin1String("w1") ? 1 : 0;
        EXPECT_EQ(e.outcomeText.toInt(), next[w]--);
    }
}

TEST_F(SqliteStoreTest, AFileLockedForAMomentByAnotherProgramDelaysTheRecordOnly) {
    SiteRegister reg({path, std::nullopt});
    std::atomic<bool> locked{false};
    std::thread other([&] {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        locked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        q.exec(QStringLiteral("COMMIT"));
        q = QSqlQuery();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    });
    while (!locked) std::this_thread::yield();
    const RecordResult r = reg.Record(ReadEntry(QStringLiteral("Zárolt"), SetWith({})));
    other.join();
    EXPECT_EQ(r.state, RecordResult::State::Recorded) << r.why.toStdString();
    EXPECT_EQ(reg.ReadStore().History(QStringLiteral("Zárolt")).size(), 1u);
}

TEST_F(SqliteStoreTest, RegisterWithAnUnreachableServerKeepsRecordsPending) {
    // Nothing listens on this socket folder: the server is down at start-up.
    PostgresTarget down;
    down.host = dir.filePath(QStringLiteral("nosocket"));
    down.database = QStringLiteral("sites");
    QElapsedTimer timer;
    timer.start();
    SiteRegister reg({path, down});
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_TRUE(reg.LocalProblem().isEmpty());
    EXPECT_FALSE(reg.SharedProblem().isEmpty());

    const RecordResult r = reg.Record(ReadEntry(QStringLiteral("Terep"), SetWith({})));
    EXPECT_EQ(r.state, RecordResult::State::Pending);
    EXPECT_FALSE(r.why.isEmpty());
    EXPECT_EQ(reg.PendingCount(), 1);
    EXPECT_EQ(reg.ReadStore().History(QStringLiteral("Terep")).size(), 1u);  // read from the local copy
    EXPECT_THROW(reg.Sites(), StoreError);  // editing waits for the office
    EXPECT_THROW(reg.SendPending(), StoreError);
}

}  // namespace
