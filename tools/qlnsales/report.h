// Reports on a database's books: what each report holds (its sections, columns and rows) and how
// it is read from the tables. Rendering them as a table, csv or json is report_format's concern,
// so that the demo and `qlnsales report` print the same rows the same way.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "qlnsales/connection.h"

namespace qlnsales::cli {

// The schema keeps no decimal places for a company; amounts are the local currency's, kept to
// three places.
inline constexpr int kDefaultDecimals = 3;

// Number cells are shown with the report's decimals; Count cells are whole numbers.
enum class ColumnKind { Text, Number, Day, Count };

struct Column {
  std::string name;     // stable snake_case name: the csv heading and the json key
  std::string heading;  // what a person reads above the column in the table format
  ColumnKind kind;
};

// Number cells hold doubles, Day cells Dates, Count cells integers, Text cells texts; any cell
// may be Empty (a null).
struct Section {
  std::string name;   // the json key when a report has more than one section
  std::string title;  // the line above the table
  std::vector<Column> columns;
  std::vector<std::vector<Value>> rows;
  // Totals a person wants under the table; csv and json leave them out, a program sums for itself.
  std::vector<Value> totals;
};

struct Report {
  std::string name;
  std::vector<Section> sections;
  int decimals = kDefaultDecimals;
};

struct ReportOptions {
  std::optional<Date> as_of;  // only what is dated on or before this day; aging counts from it
  std::string customer;       // one customer's code, where the report takes one
  int decimals = kDefaultDecimals;
};

enum class CustomerOption { No, Optional, Required };

struct ReportDefinition {
  std::string_view name;
  std::string_view summary;
  bool takes_as_of;
  CustomerOption customer;
  Report (*build)(Connection& conn, const ReportOptions& options);
};

// Every report, in the order `qlnsales report --help` lists them.
const std::vector<ReportDefinition>& ReportDefinitions();
// The definition of `name`, or nullptr.
const ReportDefinition* FindReport(std::string_view name);

Report TrialBalanceReport(Connection& conn, const ReportOptions& options);
Report LedgerReport(Connection& conn, const ReportOptions& options);
Report DocumentsReport(Connection& conn, const ReportOptions& options);
Report StockReport(Connection& conn, const ReportOptions& options);
Report CustomersReport(Connection& conn, const ReportOptions& options);
// One customer's receivable lines in date order with the running balance; throws Error when
// options.customer names no customer.
Report StatementReport(Connection& conn, const ReportOptions& options);
// What each customer owes, aged from options.as_of (default today) by the receivable lines' dates.
Report AgingReport(Connection& conn, const ReportOptions& options);

enum class ReportFormat { Table, Csv, Json };

std::optional<ReportFormat> ParseReportFormat(std::string_view text);
void RenderReport(const Report& report, ReportFormat format, std::ostream& out);

// `qlnsales report`: checks its arguments before it opens anything, never creates a database,
// and throws Error with a message for a person when it cannot run.
struct ReportRequest {
  std::string db;
  std::string name;
  std::string format = "table";
  std::string as_of;
  std::string customer;
};
int RunReport(const ReportRequest& request, std::ostream& out);

// Prints the books check; answers the number of violations.
std::size_t PrintBooksCheck(Connection& conn);

}  // namespace qlnsales::cli
