// Rows written column by column, as the business rules list them, and sent as one INSERT or
// UPDATE with every value bound. Table and column names are checked before they reach SQL.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "qlnsales/connection.h"

namespace qlnsales {

// Throws Error unless `name` is a plain SQL name ([A-Za-z_][A-Za-z0-9_]*).
void CheckSqlName(std::string_view name);
bool IsSqlName(std::string_view name);

class Record {
 public:
  // Sets a column (a later Set of the same column replaces the earlier value).
  Record& Set(std::string_view column, Value value);
  // An optional text: empty text is written as null.
  Record& SetOptional(std::string_view column, const std::string& text);

  bool empty() const { return columns_.empty(); }
  void Insert(Connection& conn, std::string_view table) const;
  // Within a call the row joins the table's batch (see Connection::InsertDeferred).
  void InsertDeferred(Connection& conn, std::string_view table) const;
  // UPDATE table SET ... WHERE each column of `where` equals its value; the rows changed.
  std::int64_t Update(Connection& conn, std::string_view table, const Record& where) const;
  // Adds the row, or, when a row with the same `key` column exists, writes every column but those
  // of `new_only` into it (a number and identity written only when the row is added). Deferred:
  // nothing is waited for.
  void SaveDeferred(Connection& conn, std::string_view table, std::string_view key,
                    const std::vector<std::string>& new_only) const;
  // The same as a deferred write that must change at least `rows` rows, else fails the call
  // with `message` (see Connection::ExecuteExpecting).
  void UpdateExpecting(Connection& conn, std::string_view table, const Record& where,
                       std::int64_t rows, std::string message) const;

 private:
  std::string UpdateSql(std::string_view table, const Record& where,
                        std::vector<Value>& params) const;
  std::vector<std::pair<std::string, Value>> columns_;
};

}  // namespace qlnsales
