#include "support/table_snapshot.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "base/convert.h"
#include "db/schema.h"

namespace qlnsales::testing {
namespace {

std::string Cell(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Empty:
      return "<null>";
    case Value::Kind::Double: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", v.ToDouble());
      return buf;
    }
    case Value::Kind::Date:
      return convert::FormatIsoDateTime(std::get<Date>(v.storage()));
    default:
      return v.ToText();
  }
}

}  // namespace

TableSnapshot TakeSnapshot(Connection& conn) {
  TableSnapshot snapshot;
  for (const auto& table : db::SchemaTables()) {
    auto rs = conn.Query("SELECT * FROM " + table);
    std::vector<std::string> rows;
    rows.reserve(rs.size());
    for (const auto& row : rs.rows) {
      std::string line;
      for (std::size_t i = 0; i < row.size(); ++i)
        line += (i ? " | " : "") + rs.columns[i] + "=" + Cell(row[i]);
      rows.push_back(std::move(line));
    }
    std::sort(rows.begin(), rows.end());
    snapshot[table] = std::move(rows);
  }
  return snapshot;
}

std::string SnapshotDiff(const TableSnapshot& before, const TableSnapshot& after) {
  std::string out;
  auto rows_of = [](const TableSnapshot& s, const std::string& table) {
    auto it = s.find(table);
    return it == s.end() ? std::vector<std::string>{} : it->second;
  };
  std::vector<std::string> tables;
  for (const auto& [t, rows] : before) tables.push_back(t);
  for (const auto& [t, rows] : after)
    if (!before.contains(t)) tables.push_back(t);
  for (const auto& table : tables) {
    auto a = rows_of(before, table), b = rows_of(after, table);
    if (a == b) continue;
    std::vector<std::string> gone, added;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(gone));
    std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(added));
    out += table + ": " + std::to_string(a.size()) + " rows before, " + std::to_string(b.size()) +
           " after\n";
    for (std::size_t i = 0; i < gone.size() && i < 3; ++i) out += "  - " + gone[i] + "\n";
    for (std::size_t i = 0; i < added.size() && i < 3; ++i) out += "  + " + added[i] + "\n";
  }
  return out;
}

}  // namespace qlnsales::testing
