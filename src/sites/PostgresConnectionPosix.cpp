#include "sites/SqlSiteStore.h"

namespace orbiqa::sites {

QSqlDatabase AddPostgresConnection(const QString& connectionName, const PostgresTarget& target) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setHostName(target.host);
    db.setPort(target.port);
    db.setDatabaseName(target.database);
    db.setUserName(target.user);
    db.setConnectOptions(PsqlConnectOptions(target));
    return db;
}

}  // namespace orbiqa::sites
