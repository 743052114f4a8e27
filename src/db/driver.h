// The engine drivers behind Connection: thin layers over the SQLite C API and libpq.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "qlnsales/connection.h"

namespace qlnsales::db {

class Driver {
 public:
  virtual ~Driver() = default;
  virtual Engine engine() const = 0;
  virtual ResultSet Query(std::string_view sql, const std::vector<Value>& params) = 0;
  virtual std::int64_t Execute(std::string_view sql, const std::vector<Value>& params) = 0;
  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;
};

// Opens a driver from a connection string; an unknown form or a refused connection is an Error
// with the provider's own text.
std::unique_ptr<Driver> OpenDriver(const std::string& connection_string);
std::unique_ptr<Driver> OpenSqlite(const std::string& path);
std::unique_ptr<Driver> OpenPostgres(const std::string& conninfo);

// Bound values as the drivers send them: dates as "yyyy-mm-dd hh:mm:ss"; a non-finite number
// is refused, so no inf or NaN ever reaches a stored amount.
std::string DateParameter(const Date& d);
void RequireFinite(double v);

}  // namespace qlnsales::db
