// The module's database, for a host program: create it, or bring an older one up to date, on
// SQLite or PostgreSQL.
#pragma once

#include "qlnsales/connection.h"

namespace qlnsales {

// Creates every missing table and index of the module and of its default sibling modules, and
// records the schema version; an older database is brought up to date, and running it again on a
// current one changes nothing. Runs in one transaction of its own. Throws Error on a database
// failure, leaving the database as it was.
void CreateSchema(Connection& conn);
// The schema version the database holds; 0 when it has none.
int SchemaVersion(Connection& conn);
// The schema version this library creates.
int CurrentSchemaVersion();

}  // namespace qlnsales
