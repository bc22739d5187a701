// Field rules of a site, the changed settings of an entry, and the database setting.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "SitesTestSupport.h"
#include "base/FileStore.h"
#include "sites/DatabaseSettings.h"
#include "sites/SiteChanges.h"
#include "sites/SqlSiteStore.h"

using namespace orbiqa::sites;
using namespace orbiqa::sites::test;

TEST(SiteRecords, ValidateRefusesBadNamesOversizedFieldsAndWrongSets) {
    Site s;
    s.name = QStringLiteral("Kovács Kft. raktár");
    EXPECT_FALSE(ValidateSite(s));
    for (const QString& bad : {QString(), QStringLiteral("  "), QStringLiteral(" lead"), QStringLiteral("two\nlines"),
                              QString(kMaxNameLength + 1, QLatin1Char('x'))}) {
        Site b = s;
        b.name = bad;
        EXPECT_TRUE(ValidateSite(b)) << bad.toStdString();
    }
    Site big = s;
    big.customer = QString(kMaxFieldLength + 1, QLatin1Char('x'));
    ASSERT_TRUE(ValidateSite(big));
    EXPECT_TRUE(ValidateSite(big)->contains(QStringLiteral("ügyfél")));
    big = s;
    big.notes = QString(kMaxNotesLength, QLatin1Char('x'));
    EXPECT_FALSE(ValidateSite(big));
    big.notes += QLatin1Char('x');
    EXPECT_TRUE(ValidateSite(big));
    Site wrongSet = s;
    wrongSet.parameters = QByteArray(960, '\xff');
    EXPECT_TRUE(ValidateSite(wrongSet));
}

TEST(SiteRecords, IdentifiersOfASet) {
    const QByteArray set = SetWith({{"PanelID", "4711"}, {"ServerID", "12"}});
    EXPECT_EQ(PanelIdOf(set), 4711);
    EXPECT_EQ(ServerIdOf(set), 12);
    EXPECT_FALSE(PanelIdOf(QByteArray()));
}

TEST(SiteChanges, NamesChangedFieldsAndHidesThePassword) {
    const QByteArray before = SetWith({{"APN", "internet"}, {"PWD", "secret1"}, {"PanelID", "1"}});
    const QByteArray after = SetWith({{"APN", "net.corp"}, {"PWD", "secret2"}, {"PanelID", "1"}});
    const auto changes = ChangedSettings(before, after);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].field, QStringLiteral("APN"));
    EXPECT_EQ(changes[0].oldValue, QStringLiteral("internet"));
    EXPECT_EQ(changes[0].newValue, QStringLiteral("net.corp"));
    EXPECT_EQ(changes[1].field, QStringLiteral("PWD"));
    EXPECT_TRUE(changes[1].hidden);
    EXPECT_TRUE(changes[1].oldValue.isEmpty() && changes[1].newValue.isEmpty());

    EXPECT_TRUE(ChangedSettings({}, after).empty());
    EXPECT_TRUE(ChangedSettings(after, after).empty());
}

TEST(SiteChanges, BytesUnderThePasswordNeverShowItsValue) {
    // A password that loses its terminator shows as a byte run, not as a field value.
    const QByteArray before = SetWith({{"PWD", "abc"}});
    QByteArray after = before;
    const auto pwd = orbiqa::FindField("PWD");
    ASSERT_TRUE(pwd);
    for (std::size_t i = 0; i < pwd->size; ++i) after[static_cast<int>(pwd->offset + i)] = 'Z';
    for (const SettingChange& c : ChangedSettings(before, after)) {
        EXPECT_FALSE(c.oldValue.contains(QLatin1String("abc"))) << c.field.toStdString();
        EXPECT_FALSE(c.newValue.contains(QLatin1String("ZZ"))) << c.field.toStdString();
    }
}

TEST(DatabaseSettings, UrlFormsAndRefusals) {
    auto t = std::get<PostgresTarget>(ParseDatabaseUrl(QStringLiteral("postgresql://tech@db.office:6543/sites")));
    EXPECT_EQ(t.host, QStringLiteral("db.office"));
    EXPECT_EQ(t.port, 6543);
    EXPECT_EQ(t.user, QStringLiteral("tech"));
    EXPECT_EQ(t.database, QStringLiteral("sites"));
    EXPECT_EQ(t.sslmode, QStringLiteral("prefer"));

    t = std::get<PostgresTarget>(ParseDatabaseUrl(QStringLiteral("postgresql:///sites?host=/tmp/x%20y&sslmode=require")));
    EXPECT_EQ(t.host, QStringLiteral("/tmp/x y"));
    EXPECT_EQ(t.sslmode, QStringLiteral("require"));
    EXPECT_EQ(std::get<PostgresTarget>(ParseDatabaseUrl(DescribeTarget(t))), t);

    for (const char* bad : {"postgresql://tech:pw@db/sites", "postgresql://tech:@db/sites",
                            "postgresql://db/sites?password=x"}) {
        const auto r = ParseDatabaseUrl(QString::fromLatin1(bad));
        ASSERT_TRUE(std::holds_alternative<QString>(r)) << bad;
        EXPECT_TRUE(std::get<QString>(r).contains(QStringLiteral("pgpass"))) << bad;
    }
    for (const char* bad : {"mysql://db/x", "postgresql://db/", "postgresql://db/x?sslmode=maybe",
                            "postgresql://db/x?colour=red", "postgresql://db/x?port=70000"})
        EXPECT_TRUE(std::holds_alternative<QString>(ParseDatabaseUrl(QString::fromLatin1(bad)))) << bad;
}

TEST(DatabaseSettings, DriverConnectionTexts) {
    PostgresTarget t;
    t.host = QStringLiteral("db;evil");
    t.database = QStringLiteral("sites{1}");
    t.user = QStringLiteral("tech");
    t.sslmode = QStringLiteral("require");
    EXPECT_EQ(OdbcConnectionString(t),
              QStringLiteral("Driver={PostgreSQL Unicode};Server={db;evil};Port=5432;Database={sites{1}}};Uid=tech;"
                             "SSLmode=require;ConnSettings={SET application_name='orbiqa'};"));
    EXPECT_TRUE(PsqlConnectOptions(t).contains(QStringLiteral("sslmode=require")));
    EXPECT_TRUE(PsqlConnectOptions(t).contains(QStringLiteral("connect_timeout=")));
}

TEST(DatabaseSettings, PrecedenceAndTheSettingsFile) {
    EXPECT_EQ(ChooseDatabaseUrl(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")), QStringLiteral("a"));
    EXPECT_EQ(ChooseDatabaseUrl(std::nullopt, QStringLiteral("b"), QStringLiteral("c")), QStringLiteral("b"));
    EXPECT_EQ(ChooseDatabaseUrl(std::nullopt, QString(), QStringLiteral("c")), QStringLiteral("c"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(kSitesSettingsFile));
    orbiqa::SaveFile(path.toStdString(), "Other=1\n");
    EXPECT_FALSE(SaveDatabaseSetting(path, QStringLiteral("postgresql://db/sites")));
    EXPECT_EQ(DatabaseSettingFromFile(path), QStringLiteral("postgresql://db/sites"));
    EXPECT_TRUE(SaveDatabaseSetting(path, QStringLiteral("postgresql://u:p@db/sites")));
    EXPECT_FALSE(SaveDatabaseSetting(path, QString()));
    EXPECT_TRUE(DatabaseSettingFromFile(path).isEmpty());
    EXPECT_EQ(orbiqa::ReadFileBounded(path.toStdString(), 1000, true), "Other=1\n");
}

TEST(DatabaseSettings, TheSetUpScriptSplitsIntoWholeStatements) {
    const QStringList statements = SplitSqlStatements(PostgresSetupSql());
    for (const QString& s : statements) {
        EXPECT_TRUE(s.endsWith(QLatin1Char(';'))) << s.toStdString();
        EXPECT_EQ(s.count(QLatin1String("$$")) % 2, 0) << s.toStdString();  // a body stays whole
    }
    EXPECT_EQ(statements.first(), QStringLiteral("SET client_min_messages = warning;"));
    EXPECT_EQ(statements.last(), QStringLiteral("COMMIT;"));
    EXPECT_EQ(SplitSqlStatements(QStringLiteral("-- c\nA;\n\nCREATE F() AS $$\nBEGIN x; y;\nEND $$;\nB")),
              (QStringList{QStringLiteral("A;"), QStringLiteral("CREATE F() AS $$\nBEGIN x; y;\nEND $$;"),
                           QStringLiteral("B")}));
}
