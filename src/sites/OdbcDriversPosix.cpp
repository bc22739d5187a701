#include "sites/DatabaseSettings.h"

namespace orbiqa::sites {

// Qt's PostgreSQL driver serves here; unixODBC's own driver list names the driver plainly.
QString PostgresOdbcDriver() { return ChoosePostgresOdbcDriver({}); }

}  // namespace orbiqa::sites
