// The engine drivers behind Connection: thin layers over the SQLite C API and libpq.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "qlnsales/connection.h"

namespace qlnsales::db {

// The rows a deferred write must change, and the failure when it changes fewer.
struct WriteExpect {
  std::int64_t rows = 0;
  std::string message;
};

class Driver {
 public:
  virtual ~Driver() = default;
  virtual Engine engine() const = 0;
  virtual ResultSet Query(std::string_view sql, const std::vector<Value>& params) = 0;
  virtual std::int64_t Execute(std::string_view sql, const std::vector<Value>& params) = 0;
  // A write whose result is not read; PostgreSQL sends it pipelined within a unit of work. When
  // it changes fewer than `expect.rows` rows, it fails with `expect.message` (at once on SQLite,
  // when its answer is read on PostgreSQL).
  using Expect = WriteExpect;
  virtual void ExecuteDeferred(std::string_view sql, const std::vector<Value>& params,
                               const Expect& expect = {}) = 0;
  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;

  // The unit of work of a call: a transaction, or a savepoint inside the caller's. Ending it waits
  // for every deferred write and throws the first one's error.
  virtual void BeginUnit(bool savepoint) = 0;
  // Waits for the deferred writes sent so far and throws the first one's error: all of them with
  // `all`, else only when one of them must change rows, so that no such check is ever made after
  // the commit it should have prevented.
  virtual void Verify(bool all) = 0;
  virtual void CommitUnit(bool savepoint) = 0;
  virtual void RollbackUnit(bool savepoint) noexcept = 0;
  // Names the database, the same for every connection to it; "" when it cannot be shared.
  virtual std::string DatabaseKey() const = 0;
};

// The savepoint a call sets inside the caller's own transaction.
inline constexpr const char* kCallSavepoint = "qlnsales_call";

// Opens a driver from a connection string; an unknown form or a refused connection is an Error
// with the provider's own text.
std::unique_ptr<Driver> OpenDriver(const std::string& connection_string);

// Wraps every driver opened from now on (null: none). Tests put a driver between the module and
// the engine with it, to fail a chosen statement.
using DriverWrapper = std::function<std::unique_ptr<Driver>(std::unique_ptr<Driver>)>;
void SetDriverWrapper(DriverWrapper wrapper);
std::unique_ptr<Driver> OpenSqlite(const std::string& path);
std::unique_ptr<Driver> OpenPostgres(const std::string& conninfo);

// Bound values as the drivers send them: dates as "yyyy-mm-dd hh:mm:ss" (years 1 to 9999); a
// non-finite number is refused, so no inf or NaN ever reaches a stored amount.
std::string DateParameter(const Date& d);
void RequireFinite(double v);
// A NUL character in a bound text, or in a statement's text, is refused on both engines.
void RequireNoNul(std::string_view text);

}  // namespace qlnsales::db
