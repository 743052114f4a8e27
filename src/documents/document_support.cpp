#include "documents/document_support.h"

#include "base/convert.h"
#include "db/record.h"
#include "db/schema.h"

namespace qlnsales::documents {

std::int32_t ReserveLineSerials(Connection& conn, const std::string& table, std::int32_t count) {
  CheckSqlName(table);
  // The table's row in Line_Serial is taken first: a second saver waits on it until the first
  // call ends, and only then reads the largest serial, which by then includes the first's lines.
  conn.ExecuteDeferred(
      "INSERT INTO Line_Serial (Table_Name, Next_No) VALUES (?, ?) ON CONFLICT (Table_Name) DO "
      "UPDATE SET Next_No = Line_Serial.Next_No + excluded.Next_No",
      {Value(table), Value(count)});
  auto rs = conn.Query("SELECT MAX(SL_No) AS MaxNo FROM " + table);
  if (rs.empty() || rs.front().IsNull("MaxNo")) return 1;
  return rs.front().Int32("MaxNo") + 1;
}

void InsertLines(Connection& conn, const std::string& table, std::vector<Record>& lines) {
  if (lines.empty()) return;
  std::int32_t serial = ReserveLineSerials(conn, table, static_cast<std::int32_t>(lines.size()));
  for (auto& line : lines) line.Set("SL_No", serial++).InsertDeferred(conn, table);
}

std::pair<std::string, std::optional<std::string>> SplitUnit(const std::string& text) {
  auto dash = text.find('-');
  if (dash == std::string::npos) return {text, std::nullopt};
  return {text.substr(0, dash), text.substr(dash + 1)};
}

std::string JoinUnit(const std::string& unit, const std::string& period) {
  return period.empty() ? unit : unit + "-" + period;
}

std::optional<std::string> CurrencySymbolOf(Connection& conn, const std::string& code) {
  auto rs =
      conn.Query("SELECT Currency_Symbol FROM Currency_Master WHERE Currency_Code = ?", {code});
  if (rs.empty()) return std::nullopt;
  return convert::Trim(rs.front().Text("Currency_Symbol"));
}

Value Stamp(const std::string& table, const Date& when) {
  return db::KeepsDateText(table, "Last_Update") ? Value(convert::FormatDayMonthName(when))
                                                 : Value(when);
}

bool IsTicked(const std::string& text) {
  try {
    return Value(text).ToBool();
  } catch (const Error&) {
    return false;
  }
}

double NumberOf(const Value& v) {
  return v.kind() == Value::Kind::Text ? convert::Val(v.ToText()) : v.ToDouble();
}

std::string GridNumber(double value) {
  return convert::NumberToText(value);
}

void EnsureRow(Grid& grid, std::int32_t row) {
  if (grid.Rows() <= row) grid.SetRows(row + 1);
}

Grid& RequireGrid(const GridRef& grid, const char* property) {
  if (!grid) throw Error(std::string("Object variable not set: no grid in ") + property);
  return *grid;
}

void RequireColumns(Grid& grid, std::int32_t count) {
  if (grid.Cols() < count)
    throw Error("Subscript out of range: the grid has " + std::to_string(grid.Cols()) +
                " columns and the lines need " + std::to_string(count));
}

Date DayOf(const Date& when) {
  return Date{std::chrono::sys_seconds{std::chrono::floor<std::chrono::days>(when.time)}};
}

}  // namespace qlnsales::documents
