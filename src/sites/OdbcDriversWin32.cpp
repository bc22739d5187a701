#include <QSettings>

#include "sites/DatabaseSettings.h"

namespace orbiqa::sites {

QString PostgresOdbcDriver() {
    // Windows lists the installed ODBC drivers as the values of one key (each "Installed"); a
    // 64-bit program reads the 64-bit drivers' list.
    QSettings drivers(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"),
                      QSettings::NativeFormat);
    return ChoosePostgresOdbcDriver(drivers.childKeys());
}

}  // namespace orbiqa::sites
