#include "qlnsales/database.h"

#include "db/schema.h"

namespace qlnsales {

void CreateSchema(Connection& conn) {
  db::CreateSchema(conn);
}

int SchemaVersion(Connection& conn) {
  return db::SchemaVersion(conn);
}

int CurrentSchemaVersion() {
  return db::kSchemaVersion;
}

}  // namespace qlnsales
