#pragma once
// Which database the register uses, from one setting: `--db URL`, else $ORBIQA_DB, else the key
// in the program's settings file, else the SQLite file in the settings folder. The shared
// database is named by a PostgreSQL URL:
//   postgresql://[user@]host[:port]/database[?sslmode=disable|allow|prefer|require|verify-ca|verify-full]
//   postgresql:///database?host=/run/postgresql   (a Unix socket folder)
//   postgresql:///?service=office                  (a service file entry)
// A password in the URL is refused: passwords live in ~/.pgpass, PGPASSFILE, a service file or
// the ODBC data source, never in a file of ours.
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace orbiqa::sites {

/// The name of the SQLite file in the settings folder.
inline constexpr const char* kLocalDatabaseFile = "OrbiqaSites.sqlite";
/// The environment variable and the settings file's key that name the shared database.
inline constexpr const char* kDatabaseEnvironment = "ORBIQA_DB";
inline constexpr const char* kDatabaseSettingKey = "SitesDatabase";
/// How long a connection to the shared server may take before the program goes on without it.
inline constexpr int kConnectTimeoutSeconds = 3;

struct PostgresTarget {
    QString host;      ///< name, address or socket folder; empty: the driver's default
    int port = 5432;
    QString database;
    QString user;      ///< empty: the driver's default (the login name)
    QString sslmode = QStringLiteral("prefer");
    QString service;   ///< a service file entry, when named

    bool operator==(const PostgresTarget&) const = default;
};

/// The URL parsed, or the reason it cannot be used (Hungarian, with the hint for a password).
std::variant<PostgresTarget, QString> ParseDatabaseUrl(const QString& url);

/// The URL back, without anything secret (for messages and `db` listings).
QString DescribeTarget(const PostgresTarget& target);

/// The connect options of Qt's PostgreSQL driver (QPSQL): "connect_timeout=3;sslmode=prefer;...".
QString PsqlConnectOptions(const PostgresTarget& target);

/// The ODBC connection string for the PostgreSQL Unicode driver (Windows, QODBC):
/// "Driver={PostgreSQL Unicode};Server=…;Port=…;Database=…;Uid=…;SSLmode=…;" — values with
/// ';', '{' or '}' braced as ODBC wants. driver is the name the driver is installed under
/// (PostgresOdbcDriver() on Windows).
QString OdbcConnectionString(const PostgresTarget& target,
                             const QString& driver = QStringLiteral("PostgreSQL Unicode"));

/// The name to ask ODBC for the PostgreSQL Unicode driver by, from the names of the installed
/// drivers: the 64-bit psqlODBC registers itself as "PostgreSQL Unicode(x64)", unixODBC and the
/// 32-bit one as "PostgreSQL Unicode". Without any, "PostgreSQL Unicode" (the driver manager then
/// says that no such driver is installed).
QString ChoosePostgresOdbcDriver(const QStringList& installed);
/// ChoosePostgresOdbcDriver over the ODBC drivers installed on this computer, from Windows'
/// list of ODBC drivers (Windows only: elsewhere Qt's PostgreSQL driver serves).
QString PostgresOdbcDriver();

/// The first non-empty of the command line's value, the environment's and the settings file's;
/// empty when none names one (the local SQLite file alone).
QString ChooseDatabaseUrl(const std::optional<QString>& commandLine, const QString& environment,
                          const QString& settingsFile);

/// The settings file of the register: "OrbiqaSites.ini" in the settings folder, lines of
/// KEY=VALUE (UTF-8). "ZenitSetup.ini" keeps its own table form untouched.
inline constexpr const char* kSitesSettingsFile = "OrbiqaSites.ini";
/// The value of kDatabaseSettingKey in the file; empty when the file or the key is missing.
QString DatabaseSettingFromFile(const QString& settingsFilePath);
/// Writes the key (through the program's save routine), keeping the file's other lines; an empty
/// url removes it. Nothing on success, else why (Hungarian). A URL with a password is refused.
std::optional<QString> SaveDatabaseSetting(const QString& settingsFilePath, const QString& url);

}  // namespace orbiqa::sites
