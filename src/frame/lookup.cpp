#include "frame/lookup.h"

#include "base/convert.h"
#include "db/record.h"
#include "db/schema.h"
#include "qlnsales/business_object.h"
#include "qlnsales/shell.h"

namespace qlnsales {
namespace {

Value WhereValue(const std::string& text, bool numeric) {
  return numeric ? Value(convert::TextToDouble(text)) : Value(text);
}

// "<select> FROM table [WHERE a = ? [AND b = ?]]" with its values.
std::string WhereClause(const FieldLookup& q, std::vector<Value>& params) {
  CheckSqlName(q.table);
  std::string sql = " FROM " + q.table;
  if (convert::Trim(q.where_field).empty()) return sql;
  CheckSqlName(q.where_field);
  sql += " WHERE " + q.where_field + " = ?";
  params.push_back(WhereValue(q.where_value, q.where_numeric));
  if (!q.second_where_field.empty()) {
    CheckSqlName(q.second_where_field);
    sql += " AND " + q.second_where_field + " = ?";
    params.push_back(WhereValue(q.second_where_value, q.second_where_numeric));
  }
  return sql;
}

}  // namespace

std::optional<std::string> LookupField(Connection& conn, const FieldLookup& q) {
  CheckSqlName(q.field);
  std::vector<Value> params;
  std::string sql = "SELECT " + q.field + WhereClause(q, params);
  auto rs = conn.Query(sql, params);
  if (rs.empty()) return std::nullopt;
  return rs.rows[0][0].ToText();
}

bool DocumentExists(Connection& conn, const FieldLookup& q) {
  FieldLookup where = q;
  where.where_field = q.field;
  std::vector<Value> params;
  std::string sql = "SELECT 1" + WhereClause(where, params);
  return !conn.Query(sql, params).empty();
}

std::string GetFldValueShowingErrors(Connection& conn, const FieldLookup& q) {
  try {
    return LookupField(conn, q).value_or("");
  } catch (const std::exception& e) {
    CurrentShell().MsgBox(e.what(), kApplicationTitle);
    return "";
  }
}

bool ExistDocumentShowingErrors(Connection& conn, const FieldLookup& q) {
  try {
    return DocumentExists(conn, q);
  } catch (const std::exception& e) {
    CurrentShell().MsgBox(e.what(), kApplicationTitle);
    return false;
  }
}

std::string GetFldValueMethod(const std::string& connection_string, std::string table,
                              std::string field, std::optional<std::string> where_field,
                              std::optional<std::string> where_value,
                              std::optional<bool> where_numeric,
                              std::optional<std::string> second_where_field,
                              std::optional<std::string> second_where_value,
                              std::optional<bool> second_where_numeric) {
  const FieldLookup q{std::move(table),
                      std::move(field),
                      where_field.value_or(""),
                      where_value.value_or(""),
                      where_numeric.value_or(false),
                      second_where_field.value_or(""),
                      second_where_value.value_or(""),
                      second_where_numeric.value_or(false)};
  try {
    return GetFldValueShowingErrors(*connection_rule::StringOnly(connection_string), q);
  } catch (const std::exception& e) {  // a connection string that does not open
    CurrentShell().MsgBox(e.what(), kApplicationTitle);
    return "";
  }
}

bool ExistDocumentMethod(const ConnectionRef& object, std::string table, std::string field,
                         std::string value, std::optional<bool> numeric,
                         std::optional<std::string> second_where_field,
                         std::optional<std::string> second_where_value,
                         std::optional<bool> second_where_numeric) {
  const FieldLookup q{std::move(table),
                      std::move(field),
                      "",
                      std::move(value),
                      numeric.value_or(false),
                      second_where_field.value_or(""),
                      second_where_value.value_or(""),
                      second_where_numeric.value_or(false)};
  return ExistDocumentShowingErrors(*connection_rule::ObjectOnly(object), q);
}

std::int64_t ExecuteChangeCode(Connection& conn, const std::string& table,
                               const std::string& column, const std::string& new_value,
                               const std::string& old_value) {
  CheckSqlName(table);
  CheckSqlName(column);
  Date today = Date::Today();
  Value stamp = db::KeepsDateText(table, "Last_Update") ? Value(convert::FormatDayMonthName(today))
                                                        : Value(today);
  return conn.Execute(
      "UPDATE " + table + " SET " + column + " = ?, Last_Update = ? WHERE " + column + " = ?",
      {Value(new_value), stamp, Value(old_value)});
}

}  // namespace qlnsales
