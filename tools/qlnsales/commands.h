#pragma once

#include <string>

namespace qlnsales::cli {

// A plain path means an SQLite file; anything that already names an engine is kept.
std::string ConnectionStringFor(const std::string& db);
int Init(const std::string& db, bool sample);
int Demo(const std::string& db);

}  // namespace qlnsales::cli
