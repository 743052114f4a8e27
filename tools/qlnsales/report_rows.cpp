#include "report_rows.h"

#include <chrono>

#include "base/convert.h"

namespace qlnsales::cli {

Date DayAfter(const Date& day) {
  auto start = std::chrono::floor<std::chrono::days>(day.time);
  return Date{std::chrono::sys_seconds{start + std::chrono::days{1}}};
}

long DaysBetween(const Date& from, const Date& to) {
  return static_cast<long>((std::chrono::floor<std::chrono::days>(to.time) -
                            std::chrono::floor<std::chrono::days>(from.time))
                               .count());
}

double Rounded(double value, int decimals) {
  double r = convert::RoundHalfEven(value, decimals);
  return r == 0 ? 0.0 : r;
}

Value TypedCell(const Value& v, ColumnKind kind) {
  if (v.IsEmpty()) return v;
  switch (kind) {
    case ColumnKind::Number:
      return Value(v.ToDouble());
    case ColumnKind::Count:
      return Value(v.ToInt64());
    case ColumnKind::Day:
      return Value(v.ToDate());
    case ColumnKind::Text:
      return Value(v.ToText());
  }
  return v;
}

Section SectionFromQuery(std::string name, std::string title, std::vector<Column> columns,
                         const ResultSet& rs) {
  if (rs.columns.size() != columns.size())
    throw Error("report " + name + ": the query gives " + std::to_string(rs.columns.size()) +
                " columns for " + std::to_string(columns.size()));
  Section s{std::move(name), std::move(title), std::move(columns), {}, {}};
  for (const auto& row : rs.rows) {
    std::vector<Value> cells;
    for (std::size_t c = 0; c < row.size(); ++c)
      cells.push_back(TypedCell(row[c], s.columns[c].kind));
    s.rows.push_back(std::move(cells));
  }
  return s;
}

double ColumnSum(const Section& s, std::size_t column) {
  double sum = 0;
  for (const auto& row : s.rows)
    if (!row[column].IsEmpty()) sum += row[column].ToDouble();
  return sum;
}

}  // namespace qlnsales::cli
