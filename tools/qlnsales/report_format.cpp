// One renderer for every report, in three formats: a table for people (numbers right-aligned with
// the report's decimals, dates as 06/Dec/2026), csv (RFC 4180) and json for programs, both keyed by
// the columns' snake_case names, with numbers rounded to the report's decimals and dates as
// yyyy-mm-dd.
#include <fmt/core.h>

#include <nlohmann/json.hpp>

#include "base/convert.h"
#include "report.h"
#include "report_rows.h"

namespace qlnsales::cli {
namespace {

std::string TableCell(const Value& v, ColumnKind kind, int decimals) {
  if (v.IsEmpty()) return "";
  // A label such as "Total" may stand in any column of the totals line.
  if (v.kind() == Value::Kind::Text) return v.ToText();
  switch (kind) {
    case ColumnKind::Number:
      return fmt::format("{:.{}f}", Rounded(v.ToDouble(), decimals), decimals);
    case ColumnKind::Day:
      return convert::FormatDayMonthName(v.ToDate());
    case ColumnKind::Count:
      return std::to_string(v.ToInt64());
    case ColumnKind::Text:
      break;
  }
  return v.ToText();
}

bool RightAligned(ColumnKind kind) {
  return kind == ColumnKind::Number || kind == ColumnKind::Count;
}

void RenderTable(const Section& s, int decimals, std::ostream& out) {
  out << '\n' << s.title << '\n';
  if (s.rows.empty()) {
    out << "  (none)\n";
    return;
  }
  const std::size_t n = s.columns.size();
  auto cells_of = [&](const std::vector<Value>& row) {
    std::vector<std::string> cells;
    for (std::size_t c = 0; c < n; ++c)
      cells.push_back(TableCell(row[c], s.columns[c].kind, decimals));
    return cells;
  };
  std::vector<std::vector<std::string>> lines;
  for (const auto& row : s.rows) lines.push_back(cells_of(row));
  std::vector<std::string> totals;
  if (!s.totals.empty()) totals = cells_of(s.totals);

  std::vector<std::size_t> width(n);
  for (std::size_t c = 0; c < n; ++c) {
    width[c] = s.columns[c].heading.size();
    for (const auto& line : lines) width[c] = std::max(width[c], line[c].size());
    if (!totals.empty()) width[c] = std::max(width[c], totals[c].size());
  }
  // Headings of number columns sit over the right edge of their numbers.
  auto print = [&](const std::vector<std::string>& line) {
    std::string text = " ";
    for (std::size_t c = 0; c < n; ++c)
      text += RightAligned(s.columns[c].kind) ? fmt::format(" {:>{}}", line[c], width[c])
                                              : fmt::format(" {:<{}}", line[c], width[c]);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out << text << '\n';
  };
  std::vector<std::string> headings, rule;
  for (std::size_t c = 0; c < n; ++c) {
    headings.push_back(s.columns[c].heading);
    rule.emplace_back(width[c], '-');
  }
  print(headings);
  print(rule);
  for (const auto& line : lines) print(line);
  if (!totals.empty()) {
    print(rule);
    print(totals);
  }
}

std::string CsvField(const Value& v, ColumnKind kind, int decimals) {
  if (v.IsEmpty()) return "";
  std::string text;
  switch (kind) {
    case ColumnKind::Number:
      return fmt::format("{:.{}f}", Rounded(v.ToDouble(), decimals), decimals);
    case ColumnKind::Count:
      return std::to_string(v.ToInt64());
    case ColumnKind::Day:
      return convert::FormatIso(v.ToDate());
    case ColumnKind::Text:
      text = v.ToText();
      break;
  }
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char ch : text) {
    if (ch == '"') quoted += '"';
    quoted += ch;
  }
  return quoted + '"';
}

void RenderCsv(const Section& s, int decimals, std::ostream& out) {
  // RFC 4180: records end with CRLF; a field with a comma, a quote or a line break is quoted.
  for (std::size_t c = 0; c < s.columns.size(); ++c) out << (c ? "," : "") << s.columns[c].name;
  out << "\r\n";
  for (const auto& row : s.rows) {
    for (std::size_t c = 0; c < s.columns.size(); ++c)
      out << (c ? "," : "") << CsvField(row[c], s.columns[c].kind, decimals);
    out << "\r\n";
  }
}

nlohmann::ordered_json JsonCell(const Value& v, ColumnKind kind, int decimals) {
  if (v.IsEmpty()) return nullptr;
  switch (kind) {
    case ColumnKind::Number:
      return Rounded(v.ToDouble(), decimals);
    case ColumnKind::Count:
      return v.ToInt64();
    case ColumnKind::Day:
      return convert::FormatIso(v.ToDate());
    case ColumnKind::Text:
      break;
  }
  return v.ToText();
}

nlohmann::ordered_json JsonRows(const Section& s, int decimals) {
  auto rows = nlohmann::ordered_json::array();
  for (const auto& row : s.rows) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (std::size_t c = 0; c < s.columns.size(); ++c)
      object[s.columns[c].name] = JsonCell(row[c], s.columns[c].kind, decimals);
    rows.push_back(std::move(object));
  }
  return rows;
}

}  // namespace

std::optional<ReportFormat> ParseReportFormat(std::string_view text) {
  if (text == "table") return ReportFormat::Table;
  if (text == "csv") return ReportFormat::Csv;
  if (text == "json") return ReportFormat::Json;
  return std::nullopt;
}

void RenderReport(const Report& report, ReportFormat format, std::ostream& out) {
  switch (format) {
    case ReportFormat::Table:
      for (const auto& s : report.sections) RenderTable(s, report.decimals, out);
      return;
    case ReportFormat::Csv:
      // A report of several sections gives one csv table each, an empty line between them.
      for (std::size_t i = 0; i < report.sections.size(); ++i) {
        if (i) out << "\r\n";
        RenderCsv(report.sections[i], report.decimals, out);
      }
      return;
    case ReportFormat::Json: {
      if (report.sections.size() == 1) {
        out << JsonRows(report.sections.front(), report.decimals).dump(2) << '\n';
        return;
      }
      nlohmann::ordered_json object = nlohmann::ordered_json::object();
      for (const auto& s : report.sections) object[s.name] = JsonRows(s, report.decimals);
      out << object.dump(2) << '\n';
      return;
    }
  }
}

}  // namespace qlnsales::cli
