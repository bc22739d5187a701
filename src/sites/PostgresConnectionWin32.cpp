#include <QSettings>

#include "sites/SqlSiteStore.h"

namespace orbiqa::sites {

QString PostgresOdbcDriver() {
    // Windows lists the installed ODBC drivers as the values of one key (each "Installed"); a
    // 64-bit program reads the 64-bit drivers' list.
    QSettings drivers(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"),
                      QSettings::NativeFormat);
    return ChoosePostgresOdbcDriver(drivers.childKeys());
}

// The office's PostgreSQL ODBC driver, asked for by the name it is installed under, through the
// connection string alone or the office's data source that the URL's service names; the password
// from the data source or the user's pgpass.conf.
QSqlDatabase AddPostgresConnection(const QString& connectionName, const PostgresTarget& target) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), connectionName);
    db.setDatabaseName(OdbcConnectionString(target, PostgresOdbcDriver()));
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1")
                             .arg(kConnectTimeoutSeconds));
    return db;
}

}  // namespace orbiqa::sites
