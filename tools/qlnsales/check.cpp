#include <filesystem>

#include "commands.h"
#include "qlnsales/database.h"
#include "report.h"

namespace qlnsales::cli {
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

int Check(const std::string& db) {
  const std::string cs = ConnectionStringFor(db);
  // Opening a missing SQLite file would create it: a check must leave no empty database behind.
  if (const std::string file = SqliteFile(cs);
      !file.empty() && !std::filesystem::is_regular_file(file))
    throw Error("there is no database at " + file);
  Connection conn(cs);
  if (SchemaVersion(conn) == 0) throw Error(db + " holds no qlnsales database");
  return PrintBooksCheck(conn) == 0 ? 0 : 1;
}

}  // namespace qlnsales::cli
