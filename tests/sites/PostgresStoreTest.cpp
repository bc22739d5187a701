// The shared PostgreSQL store against a real server the tests start: db init and its roles, the
// database's own refusals, two writers, and the outbox across a server that goes away.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTcpServer>
#include <atomic>
#include <memory>
#include <thread>

#include "SitesTestSupport.h"
#include "sites/SiteRegister.h"
#include "sites/SiteStore.h"
#include "sites/SqlSiteStore.h"
#include "support/PostgresServer.h"

using namespace orbiqa::sites;
using namespace orbiqa::sites::test;
using orbiqa::test::PostgresServer;

namespace {

class PostgresStoreTest : public ::testing::Test {
protected:
    static inline std::unique_ptr<PostgresServer> server;
    static inline QString skipReason;
    static inline int databases = 0;
    QString database;
    QTemporaryDir dir;

    static void SetUpTestSuite() {
        skipReason = PostgresServer::Unavailable();
        if (!skipReason.isEmpty()) return;
        try {
            server = std::make_unique<PostgresServer>();
        } catch (const std::exception& e) {
            skipReason = QString::fromLocal8Bit(e.what());
            return;
        }
        for (const char* sql : {"CREATE ROLE orbiqa_technician NOLOGIN", "CREATE ROLE orbiqa_office NOLOGIN",
                                "CREATE ROLE tech1 LOGIN IN ROLE orbiqa_technician",
                                "CREATE ROLE office1 LOGIN IN ROLE orbiqa_office"})
            server->Exec(QString::fromLatin1(sql));
    }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override {
        if (!skipReason.isEmpty()) GTEST_SKIP() << skipReason.toStdString();
        if (!server->Running()) server->Start();
        database = QStringLiteral("sites%1").arg(++databases);
        ASSERT_EQ(server->Exec(QStringLiteral("CREATE DATABASE %1").arg(database)), QString());
        InitializePostgres(As(QString::fromLatin1(PostgresServer::kSuperuser)));
    }

    PostgresTarget As(const QString& user) const {
        PostgresTarget t;
        t.host = server->SocketFolder();
        t.port = server->Port();
        t.database = database;
        t.user = user;
        return t;
    }

    QString Exec(const QString& sql, const QString& user) const { return server->Exec(sql, database, user); }

    int Count(const QString& sql) const {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("count"));
        db.setHostName(server->SocketFolder());
        db.setPort(server->Port());
        db.setDatabaseName(database);
        db.setUserName(QString::fromLatin1(PostgresServer::kSuperuser));
        int n = -1;
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next()) n = q.value(0).toInt();
        }
        db = {};
        QSqlDatabase::removeDatabase(QStringLiteral("count"));
        return n;
    }
};

TEST_F(PostgresStoreTest, InitIsRepeatableAndTheTechnicianRecords) {
    InitializePostgres(As(QString::fromLatin1(PostgresServer::kSuperuser)));  // a second run changes nothing
    auto store = OpenPostgresStore(As(QStringLiteral("tech1")));
    EXPECT_EQ(store->SchemaVersion(), 3);
    Site s;
    s.name = QStringLiteral("Iroda Szeged");
    s.customer = QStringLiteral("Délibáb Zrt.");
    store->AddSite(s);  // a technician may add a site found in the field
    const QByteArray set = SetWith({{"PanelID", "321"}, {"APN", "x"}});
    HistoryEntry e = ReadEntry(s.name, set);
    EXPECT_TRUE(store->AppendEntry(e));
    EXPECT_FALSE(store->AppendEntry(e));
    const auto history = store->History(s.name, 10);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0], e);
    EXPECT_EQ(store->FindSite(s.name)->panelId, 321);
    EXPECT_EQ(store->ListSites({QStringLiteral("délib"), 10}).size(), 1u);
    EXPECT_EQ(store->ListSites({QStringLiteral("321"), 10}).size(), 1u);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM history WHERE db_user = 'tech1'")), 1);
}

TEST_F(PostgresStoreTest, TheDatabaseRefusesWhatARoleMayNotDo) {
    {
        auto tech = OpenPostgresStore(As(QStringLiteral("tech1")));
        Site s;
        s.name = QStringLiteral("Bank");
        s.contact = QStringLiteral("+36 1 234 5678");
        tech->AddSite(s);
        tech->AppendEntry(ReadEntry(s.name, SetWith({})));
        try {
            tech->EditSite(s.name, s);
            ADD_FAILURE() << "a technician edited a site";
        } catch (const StoreError& e) {
            EXPECT_EQ(e.kind(), StoreError::Kind::Refused) << e.text().toStdString();
        }
        EXPECT_THROW(tech->EraseSite(s.name, NewEntry(s.name, HistoryKind::Erase, {})), StoreError);
    }
    const QString tech = QStringLiteral("tech1");
    for (const char* forbidden : {"UPDATE history SET operator = 'x'", "DELETE FROM history", "TRUNCATE history",
                                  "UPDATE sites SET customer = 'x'", "DELETE FROM sites",
                                  "SELECT orbiqa_erase_site('Bank', 'e', now(), '', '', '', '')"})
        EXPECT_NE(Exec(QString::fromLatin1(forbidden), tech), QString()) << forbidden;
    // Not even the office or the owner changes history by hand.
    EXPECT_NE(Exec(QStringLiteral("UPDATE history SET operator = 'x'"), QStringLiteral("office1")), QString());
    EXPECT_TRUE(Exec(QStringLiteral("DELETE FROM history"), QString::fromLatin1(PostgresServer::kSuperuser))
                    .contains(QLatin1String("append-only")));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM history")), 1);

    auto office = OpenPostgresStore(As(QStringLiteral("office1")));
    Site edited = *office->FindSite(QStringLiteral("Bank"));
    edited.customer = QStringLiteral("OTP");
    office->EditSite(QStringLiteral("Bank"), edited);
    const HistoryEntry erasure = NewEntry(QStringLiteral("Bank"), HistoryKind::Erase, {});
    office->EraseSite(QStringLiteral("Bank"), erasure);
    EXPECT_FALSE(office->FindSite(QStringLiteral("Bank")));
    EXPECT_TRUE(office->HasEntry(erasure.eventId));
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM history WHERE kind = 'erase' AND db_user = 'office1'")), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM history")), 1);
}

TEST_F(PostgresStoreTest, TwoWritersAtOnceBothLand) {
    constexpr int kEach = 60;
    const auto writer = [&](int w) {
        auto store = OpenPostgresStore(As(QStringLiteral("tech1")));
        for (int i = 0; i < kEach; ++i) {
            HistoryEntry e = ReadEntry(QStringLiteral("Közös"), SetWith({}));
            e.operatorName = QStringLiteral("w%1").arg(w);
            e.outcomeText = QString::number(i);
            store->AppendEntry(e);
        }
    };
    std::thread a(writer, 0), b(writer, 1);
    a.join();
    b.join();
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM sites")), 1);
    auto store = OpenPostgresStore(As(QStringLiteral("tech1")));
    const auto history = store->History(QStringLiteral("Közös"), 1000);
    ASSERT_EQ(history.size(), 2u * kEach);
    int next[2] = {kEach - 1, kEach - 1};
    for (const HistoryEntry& e : history) {
        const int w = e.operatorName == QLatin1String("w1") ? 1 : 0;
        EXPECT_EQ(e.outcomeText.toInt(), next[w]--);
    }
}

TEST_F(PostgresStoreTest, RecordsMadeWhileTheServerIsDownArriveOnceWhenItReturns) {
    SiteRegister reg({dir.filePath(QStringLiteral("local.sqlite")), As(QStringLiteral("tech1"))});
    ASSERT_TRUE(reg.SharedProblem().isEmpty()) << reg.SharedProblem().toStdString();
    EXPECT_EQ(reg.Record(ReadEntry(QStringLiteral("Terep"), SetWith({}))).state, RecordResult::State::Recorded);

    server->Kill();
    QElapsedTimer timer;
    timer.start();
    const RecordResult offline = reg.Record(ReadEntry(QStringLiteral("Terep"), SetWith({{"APN", "a"}})));
    EXPECT_EQ(offline.state, RecordResult::State::Pending);
    EXPECT_FALSE(offline.why.isEmpty());
    const RecordResult second = reg.Record(ReadEntry(QStringLiteral("Terep"), SetWith({{"APN", "b"}})));
    EXPECT_EQ(second.state, RecordResult::State::Pending);
    EXPECT_LT(timer.elapsed(), 15000);
    EXPECT_EQ(reg.PendingCount(), 2);

    server->Start();
    EXPECT_EQ(reg.SendPending(), 2);
    EXPECT_EQ(reg.PendingCount(), 0);
    EXPECT_EQ(reg.SendPending(), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM history")), 3);
    EXPECT_EQ(Count(QStringLiteral("SELECT count(DISTINCT event_id) FROM history")), 3);
    // The newest record's set is the site's.
    auto store = OpenPostgresStore(As(QStringLiteral("tech1")));
    EXPECT_EQ(store->FindSite(QStringLiteral("Terep"))->parameters, SetWith({{"APN", "b"}}));
}

TEST_F(PostgresStoreTest, AServerKilledMidRecordLosesNothingAndDuplicatesNothing) {
    const QString local = dir.filePath(QStringLiteral("local.sqlite"));
    std::atomic<bool> stop{false};
    std::atomic<int> made{0};
    std::thread recorder([&] {
        SiteRegister reg({local, As(QStringLiteral("tech1"))});
        while (!stop) {
            reg.Record(ReadEntry(QStringLiteral("Éles"), SetWith({})));
            ++made;
        }
    });
    while (made < 20) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    server->Kill();
    while (made < 40) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    recorder.join();
    server->Start();

    SiteRegister reg({local, As(QStringLiteral("tech1"))});
    reg.SendPending();
    EXPECT_EQ(reg.PendingCount(), 0);
    const int local_ = static_cast<int>(OpenSqliteStore(local)->History(QStringLiteral("Éles"), 100000).size());
    EXPECT_EQ(local_, made.load());
    EXPECT_EQ(Count(QStringLiteral("SELECT count(*) FROM history")), made.load());
    EXPECT_EQ(Count(QStringLiteral("SELECT count(DISTINCT event_id) FROM history")), made.load());
}

TEST_F(PostgresStoreTest, AnUnreachableServerIsGivenUpOnQuickly) {
    QTcpServer silent;  // accepts the connection and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    PostgresTarget t = As(QStringLiteral("tech1"));
    t.host = QStringLiteral("127.0.0.1");
    t.port = silent.serverPort();
    QElapsedTimer timer;
    timer.start();
    SiteRegister reg({dir.filePath(QStringLiteral("local.sqlite")), t});
    EXPECT_LT(timer.elapsed(), (kConnectTimeoutSeconds + 3) * 1000);
    EXPECT_FALSE(reg.SharedProblem().isEmpty());
    // Later records do not wait for the server again each time.
    timer.restart();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(reg.Record(ReadEntry(QStringLiteral("x"), SetWith({}))).state, RecordResult::State::Pending);
    EXPECT_LT(timer.elapsed(), kConnectTimeoutSeconds * 1000);
    EXPECT_EQ(reg.PendingCount(), 3);
}

TEST_F(PostgresStoreTest, TlsIsUsedWhenOfferedAndRequiredWhenTheSettingSaysSo) {
    // The test server offers no TLS: "prefer" goes on without it, "require" refuses to.
    PostgresTarget t = As(QStringLiteral("tech1"));
    t.host = QStringLiteral("127.0.0.1");
    EXPECT_NO_THROW(OpenPostgresStore(t));
    t.sslmode = QStringLiteral("require");
    try {
        OpenPostgresStore(t);
        ADD_FAILURE() << "connected without TLS";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.kind(), StoreError::Kind::Unreachable);
        EXPECT_TRUE(e.text().contains(QLatin1String("SSL"))) << e.text().toStdString();
    }
}

// The Windows build reaches the server through Qt's ODBC driver and the PostgreSQL Unicode driver;
// the same pair exists on Linux (unixODBC, odbc-postgresql, libqt6sql6-odbc), so the connection
// string, the set-up one statement at a time and the store's statements are tried here too.
TEST_F(PostgresStoreTest, TheOdbcPathCreatesTheRegisterAndRecords) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        GTEST_SKIP() << "Qt's ODBC driver is not installed (libqt6sql6-odbc)";
    ASSERT_EQ(server->Exec(QStringLiteral("CREATE DATABASE odbc%1").arg(database)), QString());
    const auto connect = [&](const QString& name, const QString& user) {
        PostgresTarget t = As(user);
        t.host = QStringLiteral("127.0.0.1");
        t.database = QStringLiteral("odbc%1").arg(database);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(OdbcConnectionString(t));
        return db.open() ? QString() : db.lastError().text();
    };
    {
        const QString why = connect(QStringLiteral("odbc-owner"), QString::fromLatin1(PostgresServer::kSuperuser));
        if (why.contains(QLatin1String("not found")) || why.contains(QLatin1String("Can't open lib")))
            GTEST_SKIP() << "no PostgreSQL Unicode ODBC driver: " << why.toStdString();
        ASSERT_EQ(why, QString());
        QSqlDatabase owner = QSqlDatabase::database(QStringLiteral("odbc-owner"));
        for (const QString& statement : SplitSqlStatements(PostgresSetupSql())) {
            QSqlQuery q(owner);
            ASSERT_TRUE(q.exec(statement)) << statement.toStdString() << ": " << q.lastError().text().toStdString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("odbc-owner"));

    ASSERT_EQ(connect(QStringLiteral("odbc-tech"), QStringLiteral("tech1")), QString());
    SqlSiteStore store(QStringLiteral("odbc-tech"), Dialect::Postgres, QStringLiteral("ODBC"));
    QSqlDatabase tech = store.Database();
    MigrateSchema(tech, Dialect::Postgres);  // the schema check the store's opening makes
    const QByteArray set = SetWith({{"PanelID", "77"}, {"APN", "odbc"}});
    HistoryEntry e = ReadEntry(QStringLiteral("ODBC telephely"), set);
    e.signal = 21;
    EXPECT_TRUE(store.AppendEntry(e));
    EXPECT_FALSE(store.AppendEntry(e));
    const auto history = store.History(QStringLiteral("ODBC telephely"), 10);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0], e);
    EXPECT_EQ(store.FindSite(QStringLiteral("ODBC telephely"))->parameters, set);
    EXPECT_EQ(store.ListSites({QStringLiteral("odbc tele"), 10}).size(), 1u);
    Site refused = *store.FindSite(QStringLiteral("ODBC telephely"));
    refused.customer = QStringLiteral("x");
    try {
        store.EditSite(refused.name, refused);
        ADD_FAILURE() << "a technician edited a site";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Refused) << error.text().toStdString();
    }
    EXPECT_FALSE(QSqlQuery(tech).exec(QStringLiteral("DELETE FROM history")));
}

TEST_F(PostgresStoreTest, ADatabaseWithoutTheRegisterSaysHowToMakeIt) {
    ASSERT_EQ(server->Exec(QStringLiteral("CREATE DATABASE empty%1").arg(database)), QString());
    PostgresTarget t = As(QStringLiteral("tech1"));
    t.database = QStringLiteral("empty%1").arg(database);
    try {
        OpenPostgresStore(t);
        ADD_FAILURE() << "opened";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.kind(), StoreError::Kind::Corrupt);
        EXPECT_TRUE(e.text().contains(QLatin1String("db init")));
    }
}

}  // namespace
