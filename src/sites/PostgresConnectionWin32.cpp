#include "sites/SqlSiteStore.h"

namespace orbiqa::sites {

// The office's PostgreSQL ODBC driver, reached through the connection string alone: no data
// source to set up, and the password from the driver's own store or the user's pgpass.conf.
QSqlDatabase AddPostgresConnection(const QString& connectionName, const PostgresTarget& target) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), connectionName);
    db.setDatabaseName(OdbcConnectionString(target));
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1")
                             .arg(kConnectTimeoutSeconds));
    return db;
}

}  // namespace orbiqa::sites
