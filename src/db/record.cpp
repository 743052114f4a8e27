#include "db/record.h"

#include <cctype>

#include "base/convert.h"

namespace qlnsales {

bool IsSqlName(std::string_view name) {
  if (name.empty()) return false;
  auto c0 = static_cast<unsigned char>(name[0]);
  if (!std::isalpha(c0) && c0 != '_') return false;
  for (char c : name) {
    auto u = static_cast<unsigned char>(c);
    if (!std::isalnum(u) && u != '_') return false;
  }
  return true;
}

void CheckSqlName(std::string_view name) {
  if (!IsSqlName(name))
    throw Error("'" + std::string(name) + "' is not a valid table or column name");
}

Record& Record::Set(std::string_view column, Value value) {
  CheckSqlName(column);
  for (auto& [name, v] : columns_)
    if (convert::EqualsNoCase(name, column)) {
      v = std::move(value);
      return *this;
    }
  columns_.emplace_back(std::string(column), std::move(value));
  return *this;
}

Record& Record::SetOptional(std::string_view column, const std::string& text) {
  return Set(column, text.empty() ? Value() : Value(text));
}

void Record::Insert(Connection& conn, std::string_view table) const {
  CheckSqlName(table);
  std::string sql = "INSERT INTO " + std::string(table) + " (";
  std::string marks;
  std::vector<Value> params;
  params.reserve(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    sql += (i ? ", " : "") + columns_[i].first;
    marks += i ? ", ?" : "?";
    params.push_back(columns_[i].second);
  }
  sql += ") VALUES (" + marks + ")";
  conn.Execute(sql, params);
}

void Record::InsertDeferred(Connection& conn, std::string_view table) const {
  CheckSqlName(table);
  std::vector<std::string> columns;
  std::vector<Value> values;
  columns.reserve(columns_.size());
  values.reserve(columns_.size());
  for (const auto& [name, value] : columns_) {
    columns.push_back(name);
    values.push_back(value);
  }
  conn.InsertDeferred(table, columns, std::move(values));
}

void Record::SaveDeferred(Connection& conn, std::string_view table, std::string_view key,
                          const std::vector<std::string>& new_only) const {
  CheckSqlName(table);
  CheckSqlName(key);
  std::string sql = "INSERT INTO " + std::string(table) + " (";
  std::string marks, updates;
  std::vector<Value> params;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const auto& name = columns_[i].first;
    sql += (i ? ", " : "") + name;
    marks += i ? ", ?" : "?";
    params.push_back(columns_[i].second);
    bool keep = convert::EqualsNoCase(name, key);
    for (const auto& n : new_only) keep = keep || convert::EqualsNoCase(name, n);
    if (!keep) updates += (updates.empty() ? "" : ", ") + name + " = excluded." + name;
  }
  sql += ") VALUES (" + marks + ") ON CONFLICT (" + std::string(key) + ") DO ";
  sql += updates.empty() ? "NOTHING" : "UPDATE SET " + updates;
  conn.ExecuteDeferred(sql, params);
}

std::int64_t Record::Update(Connection& conn, std::string_view table, const Record& where) const {
  if (columns_.empty()) return 0;
  std::vector<Value> params;
  std::string sql = UpdateSql(table, where, params);
  return conn.Execute(sql, params);
}

void Record::UpdateExpecting(Connection& conn, std::string_view table, const Record& where,
                             std::int64_t rows, std::string message) const {
  if (columns_.empty()) throw Error("An update needs at least one column");
  std::vector<Value> params;
  std::string sql = UpdateSql(table, where, params);
  conn.ExecuteExpecting(sql, params, rows, std::move(message));
}

std::string Record::UpdateSql(std::string_view table, const Record& where,
                              std::vector<Value>& params) const {
  CheckSqlName(table);
  std::string sql = "UPDATE " + std::string(table) + " SET ";
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    sql += (i ? ", " : "") + columns_[i].first + " = ?";
    params.push_back(columns_[i].second);
  }
  for (std::size_t i = 0; i < where.columns_.size(); ++i) {
    sql += (i ? " AND " : " WHERE ") + where.columns_[i].first + " = ?";
    params.push_back(where.columns_[i].second);
  }
  return sql;
}

}  // namespace qlnsales
