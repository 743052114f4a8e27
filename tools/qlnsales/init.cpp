#include <fmt/core.h>

#include "commands.h"
#include "progress.h"
#include "qlnsales/connection.h"
#include "qlnsales/database.h"
#include "sample/sample_company.h"

namespace qlnsales::cli {

std::string ConnectionStringFor(const std::string& db) {
  if (db.starts_with("sqlite:") || db.starts_with("postgresql://") ||
      db.starts_with("postgres://") || db.find('=') != std::string::npos)
    return db;
  return "sqlite:" + db;
}

int Init(const std::string& db, bool sample) {
  Connection conn(ConnectionStringFor(db));
  int before = SchemaVersion(conn);
  CreateSchema(conn);
  if (before == CurrentSchemaVersion())
    fmt::print("Schema is up to date (version {}).\n", CurrentSchemaVersion());
  else
    fmt::print("Schema version {} created.\n", CurrentSchemaVersion());
  if (sample) {
    bool added;
    {  // the progress line is gone before the result is printed
      Progress progress("Adding the sample company", 5);
      added = refdata::AddSampleCompany(
          conn, [&progress](int part, int, const char* name) { progress.Step(part, name); });
    }
    fmt::print("{}\n", added ? "Sample company 01 added." : "Sample company 01 is already there.");
  }
  return 0;
}

}  // namespace qlnsales::cli
