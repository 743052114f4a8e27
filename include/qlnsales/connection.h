// The caller's database connection, and the rows a query returns.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qlnsales/object.h"

namespace qlnsales {

namespace db {
class Driver;
class UnitOfWork;
enum class Engine { Sqlite, Postgres };
}  // namespace db

class ResultSet;

// One row of a ResultSet. Columns are found by name without regard to case; a database null is
// an Empty value. The typed readers convert as the front end does: null gives "", 0, False or
// the zero date; a flag is True when it is not 0.
class Row {
 public:
  Row(const ResultSet& rs, std::size_t index) : rs_(&rs), index_(index) {}
  const Value& operator[](std::string_view column) const;
  bool IsNull(std::string_view column) const { return (*this)[column].IsEmpty(); }
  // A column read without a null guard: null is the front end's conversion error.
  const Value& Required(std::string_view column) const;
  bool Has(std::string_view column) const;
  std::string Text(std::string_view column) const { return (*this)[column].ToText(); }
  double Double(std::string_view column) const { return (*this)[column].ToDouble(); }
  std::int32_t Int32(std::string_view column) const { return (*this)[column].ToInt32(); }
  std::int64_t Int64(std::string_view column) const { return (*this)[column].ToInt64(); }
  bool Flag(std::string_view column) const;
  Date DateValue(std::string_view column) const { return (*this)[column].ToDate(); }

 private:
  const ResultSet* rs_;
  std::size_t index_;
};

class ResultSet {
 public:
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;

  std::size_t size() const { return rows.size(); }
  bool empty() const { return rows.empty(); }
  // Rows refer to their result, so they are taken only from a result that outlives them.
  Row operator[](std::size_t i) const& { return Row(*this, i); }
  Row front() const& { return Row(*this, 0); }
  Row operator[](std::size_t i) && = delete;
  Row front() && = delete;
  // -1 when the result has no such column.
  int ColumnIndex(std::string_view name) const;
};

// An open (State 1) or closed (State 0) connection. Connection strings: "sqlite:PATH",
// "sqlite::memory:", "postgresql://..." or a libpq "key=value ..." string. Every value reaches the
// database as a bound parameter ("?" in the statement text); statements are prepared once per
// connection and reused.
class Connection : public Object {
 public:
  Connection();
  explicit Connection(const std::string& connection_string);  // opens at once
  ~Connection() override;

  std::string ConnectionString;

  std::int32_t State() const;
  void Open(std::optional<std::string> connection_string);
  void Close();
  // Late-bound form: runs one statement without parameters, returns the rows it changed.
  std::int64_t Run(std::string sql);
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();

  ResultSet Query(std::string_view sql, const std::vector<Value>& params = {});
  std::int64_t Execute(std::string_view sql, const std::vector<Value>& params = {});
  db::Engine Engine() const;
  bool InTransaction() const;

  // Within a call (a unit of work is open on the thread) the module writes through these. Outside
  // one they run at once.
  //
  // A write whose result nothing reads: it may be sent later (pipelined on PostgreSQL), and its
  // error then fails the call at the next statement that waits for the server, or at its end.
  void ExecuteDeferred(std::string_view sql, const std::vector<Value>& params = {});
  // One row for `table`: the rows of one table and column list go out together as multi-row
  // INSERTs, before any read and before any write that names the table.
  void InsertDeferred(std::string_view table, const std::vector<std::string>& columns,
                      std::vector<Value> values);
  // Adds `delta` to `column` of the row of `table` whose key columns hold the key values. The sums
  // of a call go out once per row at its end (or before a statement that names the table), in key
  // order, so concurrent calls take such shared rows in one order and queue instead of deadlocking.
  void AddDeferred(std::string_view table, std::string_view column,
                   std::vector<std::pair<std::string, Value>> key, double delta);
  // A read answered once per call: a later write that names one of its tables asks again.
  ResultSet CachedQuery(std::string_view sql, const std::vector<Value>& params = {});

  // The same text for every connection to one database ("" for a private in-memory database).
  const std::string& DatabaseKey() const { return key_; }

  // The private connection of the calling thread for a connection string, opened on first use
  // and kept, so that repeated calls do not reconnect.
  static std::shared_ptr<Connection> Pooled(const std::string& connection_string);
  // Closes the calling thread's pooled connections (tests use it between databases).
  static void ClearPool();

  std::string_view ClassName() const override { return "QLNSales.Connection"; }

 protected:
  const DispatchTable& Dispatch() const override;

 private:
  friend class db::UnitOfWork;
  struct Pending;

  db::Driver& Require() const;
  // The connection that runs a statement of this one within the call in progress.
  Connection& Route(bool write);
  // Sends the batched rows and sums that `sql` may touch; all of them for a read or for "".
  void Flush(std::string_view sql, bool read);
  void ForgetWrites(std::string_view table);
  void Drop();  // closes: the call in progress loses what this connection held
  void ResetPending() noexcept;

  std::unique_ptr<db::Driver> driver_;
  std::unique_ptr<Pending> pending_;
  std::string key_;
};

using ConnectionRef = std::shared_ptr<Connection>;

}  // namespace qlnsales
