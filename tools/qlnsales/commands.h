#pragma once

#include <memory>
#include <string>

#include "qlnsales/connection.h"

namespace qlnsales::cli {

// A plain path means an SQLite file; anything that already names an engine is kept.
std::string ConnectionStringFor(const std::string& db);
// Opens the books of an existing database, for the commands that only read them: a missing SQLite
// file is refused rather than created, and a database without the schema is refused too.
std::unique_ptr<Connection> OpenExisting(const std::string& db);
int Init(const std::string& db, bool sample);
int Demo(const std::string& db);
// Runs the books check; 0 when the books hold, 1 when any violation was printed.
int Check(const std::string& db);
// The automation protocol on FILE, or standard input for "-" or "".
int Run(const std::string& file);

}  // namespace qlnsales::cli
