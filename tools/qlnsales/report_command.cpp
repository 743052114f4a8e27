// `qlnsales report DB NAME`: every argument is checked before the database is opened, and a path
// that names no file is refused rather than opened, since opening would create an empty database.

#include "base/convert.h"
#include "commands.h"
#include "report.h"

namespace qlnsales::cli {
namespace {

std::string ReportNames() {
  std::string names;
  for (const auto& r : ReportDefinitions())
    names += (names.empty() ? "" : ", ") + std::string(r.name);
  return names;
}

}  // namespace

int RunReport(const ReportRequest& request, std::ostream& out) {
  const ReportDefinition* report = FindReport(request.name);
  if (!report)
    throw Error("there is no report '" + request.name + "'; the reports are " + ReportNames());
  auto format = ParseReportFormat(request.format);
  if (!format)
    throw Error("there is no format '" + request.format + "'; the formats are table, csv, json");

  ReportOptions options;
  if (!request.as_of.empty()) {
    if (!report->takes_as_of)
      throw Error("the " + std::string(report->name) +
                  " report shows the books as they stand; it takes no --as-of");
    auto day = convert::ParseDate(request.as_of);
    if (!day) throw Error("'" + request.as_of + "' is not a date; give --as-of as yyyy-mm-dd");
    options.as_of = *day;
  }
  options.customer = convert::Trim(request.customer);
  if (options.customer.empty() && report->customer == CustomerOption::Required)
    throw Error("the " + std::string(report->name) + " report needs --customer CODE");
  if (!options.customer.empty() && report->customer == CustomerOption::No)
    throw Error("the " + std::string(report->name) + " report takes no --customer");

  auto conn = OpenExisting(request.db);
  RenderReport(report->build(*conn, options), *format, out);
  return 0;
}

}  // namespace qlnsales::cli
