#include "documents/layout.h"

namespace qlnsales::documents {

using convert::Trim;

Value MemberValue(const Value& v, Write write) {
  if (v.kind() != Value::Kind::Text) return v;
  if (write == Write::kNullWhenEmpty && v.ToText().empty()) return Value();
  if (write == Write::kNullWhenBlank && Trim(v.ToText()).empty()) return Value();
  return v;
}

Value TrimmedValue(const Value& v) {
  return v.kind() == Value::Kind::Text ? Value(Trim(v.ToText())) : v;
}

bool IsBlankRow(Grid& grid, std::int32_t row, std::int32_t code_col, std::int32_t name_col) {
  return grid.TextMatrix(row, code_col).empty() && grid.TextMatrix(row, name_col).empty();
}

std::vector<std::int32_t> RowsToSave(Grid& grid, Walk walk, std::int32_t code_col,
                                     std::int32_t name_col, std::int32_t tick_col) {
  std::vector<std::int32_t> rows;
  for (std::int32_t r = 1; r < grid.Rows(); ++r) {
    if (walk == Walk::kTickedToEnd) {
      if (IsTicked(grid.TextMatrix(r, tick_col))) rows.push_back(r);
      continue;
    }
    if (walk == Walk::kUntilBlankCode) {
      if (Trim(grid.TextMatrix(r, code_col)).empty()) break;
      rows.push_back(r);
      continue;
    }
    if (IsBlankRow(grid, r, code_col, name_col)) {
      if (walk == Walk::kSkipBlank) continue;
      break;
    }
    if (walk == Walk::kTickedUntilBlank && !IsTicked(grid.TextMatrix(r, tick_col))) continue;
    rows.push_back(r);
  }
  return rows;
}

void SaveCell(Record& line, const char* column, CellKind kind, Grid& grid, std::int32_t row,
              std::int32_t col, const std::string& company_prefix) {
  const std::string text = grid.TextMatrix(row, col);
  switch (kind) {
    case CellKind::kText:
      line.Set(column, text);
      return;
    case CellKind::kTrimmed:
      line.Set(column, Trim(text));
      return;
    case CellKind::kTrimmedOrNull:
      line.Set(column, Trim(text).empty() ? Value() : Value(Trim(text)));
      return;
    case CellKind::kNumber:
    case CellKind::kFlag:
      line.Set(column, convert::Val(text));
      return;
    case CellKind::kItemCode:
      // A line without an item code stores none, rather than the bare company prefix.
      line.Set(column, Trim(text).empty() ? Value() : Value(company_prefix + Trim(text)));
      return;
    case CellKind::kUnit: {
      auto [unit, period] = SplitUnit(text);
      line.Set(column, unit).Set("Period_Type", period ? Value(*period) : Value());
      return;
    }
  }
}

std::optional<std::string> FillCell(const Row& line, const char* column, CellKind kind,
                                    bool if_set) {
  if (if_set && line.IsNull(column)) return std::nullopt;
  switch (kind) {
    case CellKind::kText:
    case CellKind::kTrimmed:
    case CellKind::kTrimmedOrNull:
      return line.Text(column);
    case CellKind::kNumber:
      return GridNumber(line.Double(column));
    case CellKind::kFlag:
      return line.Double(column) != 0 ? "1" : "0";
    case CellKind::kItemCode:
      // The code as the user knows it, without the company prefix.
      return convert::Mid(line.Text(column), 3);
    case CellKind::kUnit:
      return JoinUnit(line.Text(column), line.Text("Period_Type"));
  }
  return std::nullopt;
}

void InsertDocumentLines(Connection& conn, const std::string& table, Serial serial,
                         std::vector<Record>& lines) {
  if (serial == Serial::kWholeTable) return InsertLines(conn, table, lines);
  // The document's old lines were deleted first, so its serials start again at 1.
  std::int32_t next = 1;
  for (auto& line : lines) line.Set("SL_No", next++).InsertDeferred(conn, table);
}

}  // namespace qlnsales::documents
