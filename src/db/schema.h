// The whole database of the module and of its default sibling modules, for SQLite and
// PostgreSQL, created by one call and versioned so that later versions migrate older databases.
#pragma once

#include <string>
#include <vector>

#include "qlnsales/connection.h"

namespace qlnsales::db {

constexpr int kSchemaVersion = 5;

// Creates every missing table and index, makes the views again and records the schema version;
// running it again on a current database changes no row. Runs in one transaction of its own.
void CreateSchema(Connection& conn);
// The schema version recorded in the database, 0 when it has none.
int SchemaVersion(Connection& conn);
// True when the column keeps its dates as "dd/MMM/yyyy" text (names compared without case).
bool KeepsDateText(std::string_view table, std::string_view column);
// Every table name the schema defines.
std::vector<std::string> SchemaTables();

}  // namespace qlnsales::db
