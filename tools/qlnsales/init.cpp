#include <fmt/core.h>

#include <filesystem>

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

namespace {

// The SQLite file a connection string names, or "" when it names none (another engine, or a
// private in-memory database).
std::string SqliteFile(const std::string& connection_string) {
  if (!connection_string.starts_with("sqlite:")) return "";
  std::string path = connection_string.substr(7);
  if (path == ":memory:") return "";
  if (path.starts_with("file:")) path = path.substr(5, path.find('?') - 5);
  return path;
}

}  // namespace

std::unique_ptr<Connection> OpenExisting(const std::string& db) {
  const std::string cs = ConnectionStringFor(db);
  // Opening a missing SQLite file would create it: a reader must leave no empty database behind.
  if (const std::string file = SqliteFile(cs);
      !file.empty() && !std::filesystem::is_regular_file(file))
    throw Error("there is no database at " + file);
  auto conn = std::make_unique<Connection>(cs);
  if (SchemaVersion(*conn) == 0)
    throw Error(db + " holds no qlnsales database; create it with qlnsales init");
  return conn;
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
