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
  // The rows the statement itself changed, when it answers no columns (an INSERT, UPDATE or
  // DELETE); 0 for any other statement.
  std::int64_t changed = 0;

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
  // The same for a write that must change at least `rows` rows: otherwise the call fails with
  // `message`, possibly only when the answer is read.
  void ExecuteExpecting(std::string_view sql, const std::vector<Value>& params, std::int64_t rows,
                        std::string message);
  // One row for `table`: the rows of one table and column list go out together as multi-row
  // INSERTs, before any read and before any write that names the table.
  void InsertDeferred(std::string_view table, const std::vector<std::string>& columns,
                      std::vector<Value> values);
  // A change to one row named by its key: amounts added to numeric columns and values set in
  // others (a time stamp). Within a call the changes to one row are summed and go out at its end
  // (or before a statement that names the table), the rows of one table in one statement and in
  // key order, so concurrent calls take such shared rows in one order and queue instead of
  // deadlocking. With `insert` values (or `add_missing`) a missing row is added with them and the
  // amounts as its first; otherwise the row must exist (the caller has checked it in this call).
  struct RowChange {
    std::string table;
    std::vector<std::pair<std::string, Value>> key;
    std::vector<std::pair<std::string, double>> add;
    std::vector<std::pair<std::string, Value>> set;
    std::vector<std::pair<std::string, Value>> insert;
    bool add_missing = false;  // add a missing row even with no values of its own
  };
  void ChangeDeferred(RowChange change);
  // The row of `table` whose `key_column` holds `key`, all columns, read once per call (empty
  // when there is none). A write that names the table, or a change to that row, reads it again.
  // With `lock` the row is taken for the call, as PrefetchRows does.
  ResultSet CachedRow(const std::string& table, const std::string& key_column, const Value& key,
                      bool lock = false);
  // Reads the rows of many keys at once into the same cache. With `lock` the rows are taken for
  // the call (FOR UPDATE on PostgreSQL, in key order; SQLite's writer lock holds them anyway).
  void PrefetchRows(const std::string& table, const std::string& key_column,
                    const std::vector<Value>& keys, bool lock);
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
  // Forgets cached reads that a write of `table` may change (only those of `key` when given).
  void ForgetWrites(std::string_view table, const std::string* key = nullptr);
  void Drop();  // closes: the call in progress loses what this connection held
  void ResetPending() noexcept;

  std::unique_ptr<db::Driver> driver_;
  std::unique_ptr<Pending> pending_;
  std::string key_;
};

using ConnectionRef = std::shared_ptr<Connection>;

}  // namespace qlnsales
