#pragma once
// The site register measured: what recording a read adds to the read, what recording eight
// provisioned modules adds to the batch, and search as you type and a site's history in a
// register of 10,000 sites and 1,000,000 history entries, on SQLite and on PostgreSQL.

namespace orbiqa::bench {

/// Prints the figures; false when a part failed. withPostgres: also against a PostgreSQL server
/// the benchmark starts itself (skipped, and said, where none can be started).
bool RunSitesBench(bool withPostgres);

}  // namespace orbiqa::bench
