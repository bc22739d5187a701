// The site register of the Windows program against a real PostgreSQL server through Qt's ODBC
// driver and the PostgreSQL Unicode ODBC driver. sites-e2e.sh starts the server on the Linux side
// (Wine's odbc32 hands the calls to the host's unixODBC) and names it in ORBIQA_TEST_POSTGRES, as
// its owner, with two login roles of its own making: orbiqa_test_tech and orbiqa_test_office.
// Passwords come from libpq's password file, never from the connection string. Without the
// variable (the plain ctest run) every case skips itself.
#include <gtest/gtest.h>

#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <ostream>
#include <string>
#include <variant>

#include "sites/DatabaseSettings.h"
#include "sites/SiteStore.h"
#include "sites/SqlSiteStore.h"

using namespace orbiqa::sites;

namespace {

const QString kTechnician = QStringLiteral("orbiqa_test_tech");
const QString kOffice = QStringLiteral("orbiqa_test_office");

std::optional<PostgresTarget> Owner() {
    const QString url = qEnvironmentVariable("ORBIQA_TEST_POSTGRES");
    if (url.isEmpty()) return std::nullopt;
    const auto parsed = ParseDatabaseUrl(url);
    if (const QString* why = std::get_if<QString>(&parsed)) {
        ADD_FAILURE() << "ORBIQA_TEST_POSTGRES: " << why->toStdString();
        return std::nullopt;
    }
    return std::get<PostgresTarget>(parsed);
}

PostgresTarget As(PostgresTarget target, const QString& user) {
    target.user = user;
    return target;
}

// A connection of its own, as another program on the same machine would make: the statements a
// technician could type by hand, past the program.
class RawConnection {
public:
    explicit RawConnection(const PostgresTarget& target) {
        static int counter = 0;
        name_ = QStringLiteral("raw-%1").arg(++counter);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name_);
        db.setDatabaseName(OdbcConnectionString(target, PostgresOdbcDriver()));
        opened_ = db.open();
        if (!opened_) error_ = db.lastError().text();
    }
    ~RawConnection() { QSqlDatabase::removeDatabase(name_); }
    bool opened() const { return opened_; }
    const QString& error() const { return error_; }
    /// Whether the statement ran; its error text in error().
    bool Exec(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(name_));
        const bool ok = q.exec(sql);
        error_ = ok ? QString() : q.lastError().text();
        return ok;
    }
    QVariant Value(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(name_));
        if (!q.exec(sql) || !q.next()) {
            error_ = q.lastError().text();
            return {};
        }
        return q.value(0);
    }

private:
    QString name_;
    bool opened_ = false;
    QString error_;
};

}  // namespace

namespace orbiqa::sites {
// Field by field, so that a value the ODBC path changes is named.
void PrintTo(const HistoryEntry& e, std::ostream* os) {
    *os << "{event " << e.eventId.toString().toStdString() << ", site " << e.site.toStdString() << ", kind "
        << KindName(e.kind).toStdString() << ", time " << e.time.toString(Qt::ISODateWithMs).toStdString()
        << ", operator " << e.operatorName.toStdString() << ", computer " << e.computer.toStdString() << ", version "
        << e.programVersion.toStdString() << ", key " << e.keyFingerprint.toStdString() << ", port "
        << e.port.toStdString() << ", outcome " << OutcomeName(e.outcome).toStdString() << " "
        << e.outcomeText.toStdString() << ", before " << e.before.toHex().left(16).toStdString() << "… ("
        << e.before.size() << " bytes), after " << e.after.toHex().left(16).toStdString() << "… (" << e.after.size()
        << " bytes), module " << e.module.versionText.toStdString() << " / "
        << (e.module.dataVersion ? std::to_string(*e.module.dataVersion) : "-") << ", changes " << e.changes.size()
        << ", signal " << (e.signal ? std::to_string(*e.signal) : "-") << "}";
}
}  // namespace orbiqa::sites

namespace {

// Every byte value, so that a set that passes as text or stops at a zero byte shows.
QByteArray EveryByte(char first) {
    QByteArray set(kParameterSetBytes, '\0');
    for (int i = 0; i < set.size(); ++i) set[i] = static_cast<char>(first + i);
    return set;
}

// The 64-bit psqlODBC on Windows is installed as "PostgreSQL Unicode(x64)": asking for the plain
// name finds no driver there.
TEST(PostgresOdbcDriver, TheNameTheDriverIsInstalledUnderIsAskedFor) {
    EXPECT_EQ(ChoosePostgresOdbcDriver({QStringLiteral("SQL Server"), QStringLiteral("PostgreSQL ANSI(x64)"),
                                        QStringLiteral("PostgreSQL Unicode(x64)")}),
              QStringLiteral("PostgreSQL Unicode(x64)"));
    EXPECT_EQ(ChoosePostgresOdbcDriver({QStringLiteral("PostgreSQL Unicode(x64)"), QStringLiteral("PostgreSQL Unicode")}),
              QStringLiteral("PostgreSQL Unicode(x64)"));
    EXPECT_EQ(ChoosePostgresOdbcDriver({QStringLiteral("PostgreSQL ANSI"), QStringLiteral("postgresql unicode")}),
              QStringLiteral("postgresql unicode"));
    EXPECT_EQ(ChoosePostgresOdbcDriver({QStringLiteral("PostgreSQL Unicode 13")}), QStringLiteral("PostgreSQL Unicode 13"));
    EXPECT_EQ(ChoosePostgresOdbcDriver({QStringLiteral("PostgreSQL ANSI(x64)")}), QStringLiteral("PostgreSQL Unicode"));
    PostgresTarget target;
    target.host = QStringLiteral("db");
    target.database = QStringLiteral("sites");
    EXPECT_TRUE(OdbcConnectionString(target, QStringLiteral("PostgreSQL Unicode(x64)"))
                    .startsWith(QLatin1String("Driver={PostgreSQL Unicode(x64)};Server=db;")));
}

// A URL that names a service names the office's ODBC data source, which keeps the server, its TLS
// mode and the password; only what the URL itself says is added.
TEST(PostgresOdbcDriver, AServiceIsTheOfficesDataSource) {
    const auto parsed = ParseDatabaseUrl(QStringLiteral("postgresql:///?service=Orbiqa%20iroda&user=kovacs"));
    ASSERT_TRUE(std::holds_alternative<PostgresTarget>(parsed)) << std::get<QString>(parsed).toStdString();
    EXPECT_EQ(OdbcConnectionString(std::get<PostgresTarget>(parsed)), QStringLiteral("DSN=Orbiqa iroda;Uid=kovacs;"));
    const auto required = ParseDatabaseUrl(QStringLiteral("postgresql:///?service=x;y&sslmode=require"));
    ASSERT_TRUE(std::holds_alternative<PostgresTarget>(required)) << std::get<QString>(required).toStdString();
    EXPECT_EQ(OdbcConnectionString(std::get<PostgresTarget>(required)), QStringLiteral("DSN={x;y};SSLmode=require;"));
}

class SitesPostgresOdbcTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const auto owner = Owner();
        if (!owner) return;
        // `db init` as the database's owner, twice: running it again must change nothing.
        InitializePostgres(*owner);
        InitializePostgres(*owner);
        RawConnection raw(*owner);
        ASSERT_TRUE(raw.opened()) << raw.error().toStdString();
        ASSERT_TRUE(raw.Exec(QStringLiteral("GRANT orbiqa_technician TO %1").arg(kTechnician))) << raw.error().toStdString();
        ASSERT_TRUE(raw.Exec(QStringLiteral("GRANT orbiqa_office TO %1").arg(kOffice))) << raw.error().toStdString();
    }

    void SetUp() override {
        const auto target = Owner();
        if (!target) GTEST_SKIP() << "no PostgreSQL server named in ORBIQA_TEST_POSTGRES";
        owner = *target;
    }

    Site Named(const QString& name) {
        Site s;
        s.name = name;
        s.customer = QStringLiteral("Árvíztűrő Tükörfúrógép Kft.");
        s.address = QStringLiteral("Győr, Őrház u. 1");
        s.contact = QStringLiteral("Kovács Ödön +36 30 123 4567");
        return s;
    }

    PostgresTarget owner;
};

TEST_F(SitesPostgresOdbcTest, TechnicianAddsASiteRecordsHistoryAndReadsItBackUnchanged) {
    auto store = OpenPostgresStore(As(owner, kTechnician));
    EXPECT_EQ(store->SchemaVersion(), kSchemaVersion);
    const Site added = store->AddSite(Named(QStringLiteral("Raktár Győr")));

    HistoryEntry e = NewEntry(added.name, HistoryKind::Write, QStringLiteral("COM5"));
    // A time with milliseconds, far from now, and a set holding every byte value (zeros too).
    e.time = QDateTime(QDate(2026, 7, 1), QTime(23, 30, 15, 250), Qt::UTC);
    e.operatorName = QStringLiteral("Szőke Írisz");
    e.before = EveryByte('\0');
    e.after = EveryByte('\x7f');
    e.module.versionText = QStringLiteral("GSM2  V1.05  1234  DataVersion:7");
    e.module.dataVersion = 7;
    e.changes = {{QStringLiteral("APN"), QStringLiteral("internet"), QStringLiteral("net.telekom.hu"), false},
                 {QStringLiteral("PWD"), {}, {}, true}};
    e.signal = 21;
    EXPECT_TRUE(store->AppendEntry(e));
    EXPECT_FALSE(store->AppendEntry(e)) << "an entry sent twice must land once";

    // Read back through a connection of its own, as the next technician's program would.
    auto other = OpenPostgresStore(As(owner, kOffice));
    const auto history = other->History(added.name);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0], e);
    EXPECT_EQ(history[0].time.toUTC().time(), QTime(23, 30, 15, 250));
    const auto site = other->FindSite(added.name);
    ASSERT_TRUE(site);
    EXPECT_EQ(site->customer, added.customer);
    EXPECT_EQ(site->contact, added.contact);
    EXPECT_EQ(site->parameters, e.after);
    EXPECT_EQ(site->lastPort, QStringLiteral("COM5"));
    EXPECT_EQ(site->module, e.module);
    ASSERT_EQ(other->ListSites({QStringLiteral("tükörfúró"), 10}).size(), 1u) << "search by customer, any case";
}

TEST_F(SitesPostgresOdbcTest, TheDatabaseRefusesWhatATechnicianMayNotDo) {
    auto office = OpenPostgresStore(As(owner, kOffice));
    office->AddSite(Named(QStringLiteral("Iroda Pécs")));
    HistoryEntry e = NewEntry(QStringLiteral("Iroda Pécs"), HistoryKind::Read, QStringLiteral("COM3"));
    e.after = EveryByte('A');
    ASSERT_TRUE(office->AppendEntry(e));

    auto tech = OpenPostgresStore(As(owner, kTechnician));
    Site changed = *tech->FindSite(QStringLiteral("Iroda Pécs"));
    changed.customer = QStringLiteral("Más Kft.");
    try {
        tech->EditSite(QStringLiteral("Iroda Pécs"), changed);
        ADD_FAILURE() << "a technician edited a site";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Refused) << error.text().toStdString();
    }
    try {
        tech->EraseSite(QStringLiteral("Iroda Pécs"), NewEntry(QStringLiteral("Iroda Pécs"), HistoryKind::Erase, {}));
        ADD_FAILURE() << "a technician erased a site";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Refused) << error.text().toStdString();
    }

    // Past the program: the statements typed by hand.
    RawConnection raw(As(owner, kTechnician));
    ASSERT_TRUE(raw.opened()) << raw.error().toStdString();
    for (const char* sql : {"UPDATE history SET operator = 'senki'", "DELETE FROM history",
                            "UPDATE sites SET customer = 'senki'", "DELETE FROM sites", "TRUNCATE history"}) {
        EXPECT_FALSE(raw.Exec(QString::fromLatin1(sql))) << sql;
        EXPECT_FALSE(raw.error().isEmpty()) << sql;
    }
    // The office may edit sites, but history stays append-only for it, and for the owner too.
    RawConnection officeRaw(As(owner, kOffice));
    EXPECT_FALSE(officeRaw.Exec(QStringLiteral("UPDATE history SET operator = 'senki'")));
    RawConnection ownerRaw(owner);
    EXPECT_FALSE(ownerRaw.Exec(QStringLiteral("UPDATE history SET operator = 'senki'")));
    EXPECT_TRUE(ownerRaw.error().contains(QLatin1String("append-only"))) << ownerRaw.error().toStdString();
    office->EditSite(QStringLiteral("Iroda Pécs"), changed);

    const auto history = office->History(QStringLiteral("Iroda Pécs"));
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0], e);
    EXPECT_EQ(office->FindSite(QStringLiteral("Iroda Pécs"))->customer, QStringLiteral("Más Kft."));
}

// The setting's sslmode reaches the ODBC driver: the test's server offers TLS.
TEST_F(SitesPostgresOdbcTest, TlsIsUsedWhenOfferedAndRefusedOnlyWhenTheSettingSaysSo) {
    for (const auto& [mode, expected] : {std::pair{"prefer", true}, std::pair{"require", true}, std::pair{"disable", false}}) {
        PostgresTarget target = As(owner, kTechnician);
        target.sslmode = QString::fromLatin1(mode);
        RawConnection raw(target);
        ASSERT_TRUE(raw.opened()) << mode << ": " << raw.error().toStdString();
        EXPECT_EQ(raw.Value(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()")).toBool(), expected)
            << mode;
    }
}

TEST_F(SitesPostgresOdbcTest, AServerNobodyListensOnIsUnreachableNotACrash) {
    PostgresTarget target = As(owner, kTechnician);
    target.port = qEnvironmentVariableIntValue("ORBIQA_TEST_POSTGRES_CLOSED_PORT");
    ASSERT_GT(target.port, 0);
    try {
        OpenPostgresStore(target);
        ADD_FAILURE() << "opened a server nobody listens on";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.kind(), StoreError::Kind::Unreachable) << error.text().toStdString();
    }
}

}  // namespace
